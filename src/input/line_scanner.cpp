#include "input/line_scanner.h"

#include <cstdlib>
#include <limits>

#include "core/c_locale.h"

namespace mixora {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

ScanResult ScanInt(const std::string& text, std::size_t& at, int32_t& value) {
  std::size_t i = at;
  while (i < text.size() && IsWhite(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t digitsStart = i;
  int64_t magnitude = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    // Past 2^32 the exact value no longer matters, only that it is too large.
    if (magnitude <= (int64_t{1} << 32)) magnitude = magnitude * 10 + (text[i] - '0');
    ++i;
  }
  if (i == digitsStart) return kScanNone;
  int64_t signedValue = negative ? -magnitude : magnitude;
  ScanResult result = kScanOk;
  if (signedValue > std::numeric_limits<int32_t>::max()) {
    signedValue = std::numeric_limits<int32_t>::max();
    result = kScanTooLarge;
  } else if (signedValue < std::numeric_limits<int32_t>::min()) {
    signedValue = std::numeric_limits<int32_t>::min();
    result = kScanTooLarge;
  }
  value = static_cast<int32_t>(signedValue);
  at = i;
  return result;
}

bool ScanReal(const std::string& text, std::size_t& at, double& value) {
  if (at >= text.size()) return false;
  const char* start = text.c_str() + at;
  char* end = nullptr;
  double number = StrtodC(start, &end);
  if (end == start) return false;
  value = number;
  at += static_cast<std::size_t>(end - start);
  return true;
}

bool ScanWord(const std::string& text, std::size_t& at, std::string& word) {
  std::size_t i = at;
  while (i < text.size() && IsWhite(text[i])) ++i;
  std::size_t start = i;
  while (i < text.size() && !IsWhite(text[i])) ++i;
  if (i == start) return false;
  word = text.substr(start, i - start);
  at = i;
  return true;
}

std::vector<std::string> SplitWords(const std::string& text, std::size_t limit,
                                    std::size_t& total) {
  std::vector<std::string> words;
  total = 0;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    ++total;
    if (words.size() < limit) words.push_back(text.substr(start, i - start));
  }
  return words;
}

}  // namespace mixora
