#include "input/stock_names.h"

#include <cctype>

namespace mixora {

namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t kShortestCompared = 5;

}  // namespace

bool NamesDifferOnlyInCase(const std::string& a, const std::string& b) {
  return a != b && Lower(a) == Lower(b);
}

bool NamesOneCharacterApart(const std::string& a, const std::string& b) {
  std::string x = Lower(a), y = Lower(b);
  if (x.size() > y.size()) std::swap(x, y);
  if (x.size() < kShortestCompared || y.size() - x.size() > 1 || x == y) return false;
  std::size_t i = 0;
  while (i < x.size() && x[i] == y[i]) ++i;
  if (x.size() == y.size()) {
    if (x.compare(i + 1, std::string::npos, y, i + 1, std::string::npos) != 0) return false;
    return !(IsDigit(x[i]) && IsDigit(y[i]));
  }
  // y is x with y[i] added.
  if (x.compare(i, std::string::npos, y, i + 1, std::string::npos) != 0) return false;
  return !IsDigit(y[i]);
}

std::vector<std::string> SimilarNameNotes(const std::vector<std::string>& names, const std::string& kind) {
  std::vector<std::string> notes;
  for (std::size_t i = 0; i < names.size(); ++i)
    for (std::size_t k = i + 1; k < names.size(); ++k) {
      const char* how = NamesDifferOnlyInCase(names[i], names[k])   ? "only in case"
                        : NamesOneCharacterApart(names[i], names[k]) ? "in one character"
                                                                     : nullptr;
      if (how == nullptr) continue;
      notes.push_back("Info: " + kind + " names " + names[i] + " and " + names[k] + " differ " + how +
                      "; if they are one " + kind + ", write its name the same way everywhere");
    }
  return notes;
}

std::vector<std::string> FewFishNotes(const std::vector<std::string>& names, const std::vector<int32_t>& fish,
                                      const std::string& kind, const std::string& counted) {
  std::vector<std::string> notes;
  for (std::size_t s = 0; s < names.size() && s < fish.size(); ++s) {
    if (fish[s] >= kFewBaselineFish) continue;
    notes.push_back("Info: " + kind + " " + names[s] + " has " + std::to_string(fish[s]) + " " + counted +
                    ", fewer than " + std::to_string(kFewBaselineFish) +
                    "; its allele frequencies rest on few fish");
  }
  return notes;
}

}  // namespace mixora
