#include "input/allele_coding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mixora {

namespace {

constexpr std::size_t kWorstLoci = 3;
constexpr std::size_t kCodesShown = 8;

bool IsWholeNumber(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numbers in numeric order, anything else after them in text order.
bool CodeBefore(const std::string& a, const std::string& b) {
  const bool na = IsWholeNumber(a), nb = IsWholeNumber(b);
  if (na && nb) return std::atol(a.c_str()) < std::atol(b.c_str());
  if (na != nb) return na;
  return a < b;
}

std::string CodeList(std::vector<std::string> codes) {
  if (codes.empty()) return "none";
  std::sort(codes.begin(), codes.end(), CodeBefore);
  std::string text;
  for (std::size_t k = 0; k < codes.size() && k < kCodesShown; ++k) text += (k ? ", " : "") + codes[k];
  if (codes.size() > kCodesShown) text += " and " + std::to_string(codes.size() - kCodesShown) + " more";
  return text;
}

}  // namespace

void CountCopy(LocusStray& stray, const std::string& code, bool known) {
  ++stray.scoredCopies;
  if (known) return;
  ++stray.unseenCopies;
  if (std::find(stray.unseenCodes.begin(), stray.unseenCodes.end(), code) == stray.unseenCodes.end())
    stray.unseenCodes.push_back(code);
}

std::string MiscodedAlleles(std::vector<LocusStray> loci) {
  int64_t unseen = 0, scoredCopies = 0;
  for (const LocusStray& locus : loci) {
    unseen += locus.unseenCopies;
    scoredCopies += locus.scoredCopies;
  }
  if (scoredCopies <= 0 || unseen < kMiscodedFloor ||
      static_cast<double>(unseen) <= kMiscodedShare * static_cast<double>(scoredCopies))
    return "";
  std::stable_sort(loci.begin(), loci.end(), [](const LocusStray& a, const LocusStray& b) {
    return a.unseenCopies > b.unseenCopies;
  });
  char head[160];
  std::snprintf(head, sizeof head,
                "%lld of the %lld scored gene copies (%.1f%%) are alleles the baseline never shows",
                static_cast<long long>(unseen), static_cast<long long>(scoredCopies),
                100.0 * static_cast<double>(unseen) / static_cast<double>(scoredCopies));
  std::string text = head;
  text += "; worst hit: ";
  for (std::size_t k = 0; k < loci.size() && k < kWorstLoci && loci[k].unseenCopies > 0; ++k) {
    if (k) text += ", ";
    text += "locus " + loci[k].locus + " (" + std::to_string(loci[k].unseenCopies) + " copies, codes seen " +
            CodeList(loci[k].unseenCodes) + ", baseline codes " + CodeList(loci[k].expectedCodes) + ")";
  }
  text += "; write the mixture's alleles in the baseline's codes";
  return text;
}

}  // namespace mixora
