#pragma once
// Stocks that look like mistakes: two names that are one name written two
// ways (a collection relabelled with a typo becomes a stock of its own), and
// stocks of so few baseline fish that their allele frequencies are guesses.
// Both are told as "Info:" lines; neither fails a load.
#include <cstdint>
#include <string>
#include <vector>

namespace mixora {

// Fewer baseline fish than this make a stock worth a word.
inline constexpr int32_t kFewBaselineFish = 10;

// Whether two names differ only in case ("Butte_Cr_fa", "Butte_Cr_Fa").
bool NamesDifferOnlyInCase(const std::string& a, const std::string& b);

// Whether two names, case aside, differ in one character (one replaced,
// added or dropped). Numbered names ("Stock_1", "Stock_2", "Stock_10")
// differ in digits only and do not count, nor do names shorter than 5
// characters, where one character is most of the name.
bool NamesOneCharacterApart(const std::string& a, const std::string& b);

// One "Info:" line for each two of `names` that differ only in case or in
// one character; `kind` is the word for a name ("stock", "collection").
std::vector<std::string> SimilarNameNotes(const std::vector<std::string>& names, const std::string& kind);

// One "Info:" line for each stock whose `fish[s]` is below kFewBaselineFish;
// `counted` says what the number counts ("reference fish").
std::vector<std::string> FewFishNotes(const std::vector<std::string>& names, const std::vector<int32_t>& fish,
                                      const std::string& kind, const std::string& counted);

}  // namespace mixora
