#pragma once
// Reading numbers and words from a line the way "%d", "%lf" and "%s" do,
// without their undefined behaviour on numbers too large for the field.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mixora {

enum ScanResult : int32_t {
  kScanNone = 0,      // no number at this place; `at` is unchanged
  kScanOk = 1,
  kScanTooLarge = 2,  // a number beyond 32 bits, clamped to the nearest end
};

// Skips white space, then reads an optionally signed decimal integer. On
// success `at` is just past its last digit.
ScanResult ScanInt(const std::string& text, std::size_t& at, int32_t& value);

// Skips white space, then reads a floating-point number as strtod does.
bool ScanReal(const std::string& text, std::size_t& at, double& value);

// Skips white space, then reads one word (a run of non-white characters).
bool ScanWord(const std::string& text, std::size_t& at, std::string& word);

// True for a blank, tab, CR, LF, form feed or vertical tab.
bool IsWhite(char c);

// The words of a line separated by blanks and tabs, at most `limit` of them;
// `total` receives how many there are in all.
std::vector<std::string> SplitWords(const std::string& text, std::size_t limit,
                                    std::size_t& total);

}  // namespace mixora
