#pragma once
// Whether a mixture's alleles are written in the baseline's codes. A few
// alleles the baseline never shows are scoring errors or rare alleles; a
// large share of them means the two files code their alleles differently
// (letters against numbers, 2-digit against 3-digit codes), and erasing them
// one by one would leave most of the mixture missing without a word.
#include <cstdint>
#include <string>
#include <vector>

namespace mixora {

// More than this share of the scored gene copies unseen stops a load...
inline constexpr double kMiscodedShare = 0.05;
// ...once at least this many copies are unseen, so one stray allele in a
// handful of fish is still only erased.
inline constexpr int64_t kMiscodedFloor = 10;

// The scored gene copies of one locus of a mixture and those of them that
// are alleles the baseline never shows.
struct LocusStray {
  std::string locus;
  int64_t scoredCopies = 0;
  int64_t unseenCopies = 0;
  std::vector<std::string> unseenCodes;    // distinct
  std::vector<std::string> expectedCodes;  // the codes the baseline shows
};

// Adds one scored gene copy of `code` to `stray`, unseen unless `known`.
void CountCopy(LocusStray& stray, const std::string& code, bool known);

// Empty when the unseen copies are few enough to be erased one by one;
// otherwise one line that says how many of the scored copies of all loci
// are unseen, names the loci worst hit with the codes seen there and the
// codes the baseline shows, and what to do. The caller puts the file in
// front.
std::string MiscodedAlleles(std::vector<LocusStray> loci);

}  // namespace mixora
