#include "input/data_fields.h"

#include <cctype>

#include "core/c_locale.h"
#include "core/error_flags.h"

namespace mixora {

std::vector<std::string_view> SplitFields(std::string_view line, std::string_view separators) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t begin = line.find_first_not_of(separators, at);
    if (begin == std::string_view::npos) break;
    std::size_t end = line.find_first_of(separators, begin);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(begin, end - begin));
    at = end;
  }
  return fields;
}

NumberRead ReadLeadingInt(std::string_view field, int32_t& value) {
  value = 0;
  std::size_t at = 0;
  bool negative = false;
  if (at < field.size() && (field[at] == '+' || field[at] == '-')) {
    negative = field[at] == '-';
    ++at;
  }
  if (at >= field.size() || !std::isdigit(static_cast<unsigned char>(field[at])))
    return NumberRead::kNotANumber;
  int64_t magnitude = 0;
  for (; at < field.size() && std::isdigit(static_cast<unsigned char>(field[at])); ++at) {
    magnitude = magnitude * 10 + (field[at] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return NumberRead::kOutOfRange;
  }
  int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX || signedValue < INT32_MIN) return NumberRead::kOutOfRange;
  value = static_cast<int32_t>(signedValue);
  return NumberRead::kNumber;
}

bool AllDigits(std::string_view field) {
  if (field.empty()) return false;
  for (char c : field)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

void LogLineRefusal(LogBuffer& log, const std::string& path, int lineNumber,
                    const std::string& problem, uint32_t flags) {
  LogAppend(log, "%s, line %d: %s", path.c_str(), lineNumber, problem.c_str());
  LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

}  // namespace mixora
