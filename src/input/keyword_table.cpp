#include "input/keyword_table.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/c_locale.h"
#include "core/lookups.h"
#include "input/line_scanner.h"

namespace mixora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsSpaceChar(char c) { return IsWhite(c); }

int32_t ReadInt32(const char* field) {
  int32_t value;
  std::memcpy(&value, field, sizeof value);
  return value;
}

void WriteInt32(char* field, int32_t value) { std::memcpy(field, &value, sizeof value); }

double ReadDouble(const char* field) {
  double value;
  std::memcpy(&value, field, sizeof value);
  return value;
}

bool ReadDecimal(const std::string& text, std::size_t& at, int32_t& value, bool& tooLarge) {
  ScanResult result = ScanInt(text, at, value);
  tooLarge = result == kScanTooLarge;
  return result != kScanNone;
}

std::string CutComment(const std::string& value) {
  std::size_t bang = value.find('!');
  return TrimLine(bang == std::string::npos ? value : value.substr(0, bang));
}

bool NameMatchesLineStart(const char* name, const std::string& line) {
  std::size_t length = std::strlen(name);
  return line.size() >= length && NamesEqual(line.substr(0, length), name);
}

}  // namespace

KeywordParse ParseIntegerValue(const std::string& value, char* field, std::size_t) {
  std::size_t at = 0;
  int32_t number = 0;
  bool tooLarge = false;
  if (!ReadDecimal(value, at, number, tooLarge)) return kParseFailed;
  WriteInt32(field, number);
  return tooLarge ? kValueTooLarge : kParseOk;
}

KeywordParse ParseBooleanValue(const std::string& value, char* field, std::size_t) {
  if (value.empty()) return kParseFailed;
  char first = AsciiUpper(value[0]);
  WriteInt32(field, (first == 'T' || first == '1' || first == 'Y') ? 1 : 0);
  return kParseOk;
}

KeywordParse ParseRealValue(const std::string& value, char* field, std::size_t) {
  const char* start = value.c_str();
  char* end = nullptr;
  double number = StrtodC(start, &end);
  if (end == start) return kParseFailed;
  std::memcpy(field, &number, sizeof number);
  return kParseOk;
}

KeywordParse ParseTextValue(const std::string& value, char* field, std::size_t capacity) {
  if (value.empty()) return kParseFailed;
  std::string text = CutComment(value);
  bool fits = text.size() < capacity;
  std::size_t n = fits ? text.size() : capacity - 1;
  std::memset(field, 0, capacity);
  std::memcpy(field, text.data(), n);
  return fits ? kParseOk : kValueTooLarge;
}

KeywordParse ParseStockListValue(const std::string& value, char* field, std::size_t) {
  int32_t ids[4] = {-1, -1, -1, -1};
  int read = 0;
  bool anyTooLarge = false;
  std::size_t at = 0;
  // The list formatter joins IDs with "/", so "/" separates here too: a list
  // written out reads back whole.
  auto isSeparator = [](char c) { return IsSpaceChar(c) || c == ',' || c == '/'; };
  while (read < 4) {
    while (at < value.size() && isSeparator(value[at])) ++at;
    if (at >= value.size()) break;
    std::size_t tokenEnd = at;
    while (tokenEnd < value.size() && !isSeparator(value[tokenEnd])) ++tokenEnd;
    std::string token = value.substr(at, tokenEnd - at);
    std::size_t tokenAt = 0;
    bool tooLarge = false;
    if (!ReadDecimal(token, tokenAt, ids[read], tooLarge)) break;
    anyTooLarge = anyTooLarge || tooLarge;
    ++read;
    at = tokenEnd;
  }
  if (read == 0) return kParseFailed;
  for (int i = 0; i < 4; ++i) WriteInt32(field + 4 * i, ids[i]);
  return anyTooLarge ? kValueTooLarge : kParseOk;
}

KeywordParse ParseGeneratorValue(const std::string& value, char* field, std::size_t) {
  if (value.empty()) return kParseFailed;
  std::string name = CutComment(value);
  if (NamesEqual(name, "RandLib")) {
    WriteInt32(field, 0);
  } else if (NamesEqual(name, "MT19937")) {
    WriteInt32(field, 1);
  } else {
    return kParseFailed;
  }
  return kParseOk;
}

std::string FormatIntegerValue(const char* field) { return std::to_string(ReadInt32(field)); }

std::string FormatBooleanValue(const char* field) { return ReadInt32(field) > 0 ? "T" : "F"; }

std::string FormatRealValue(const char* field) {
  double value = ReadDouble(field);
  double thousandths = std::nearbyint(value * 1000.0);
  bool twoDecimals = std::isfinite(thousandths) && std::fabs(thousandths) < 1e15 &&
                     static_cast<int64_t>(thousandths) % 10 == 0;
  char text[400];
  std::snprintf(text, sizeof text, twoDecimals ? "%.2f" : "%.3f", value);
  return text;
}

std::string FormatTextValue(const char* field) { return field; }

std::string FormatStockListValue(const char* field) {
  std::string text = std::to_string(ReadInt32(field));
  for (int i = 1; i < 4; ++i) {
    int32_t id = ReadInt32(field + 4 * i);
    if (id == -1) break;
    text += "/" + std::to_string(id);
  }
  return text;
}

std::string FormatGeneratorValue(const char* field) {
  switch (ReadInt32(field)) {
    case 0: return "RandLib";
    case 1: return "MT19937";
    default: return "ERROR";
  }
}

std::string FormatKeyword(const KeywordSpec& row, const void* record) {
  const char* base = static_cast<const char*>(record) + row.offset;
  if (row.type == kKeywordText) {
    // A text field is zero-terminated within its capacity; never read past it.
    const void* end = std::memchr(base, 0, row.capacity);
    std::size_t length = end ? static_cast<const char*>(end) - base : row.capacity;
    return std::string(base, length);
  }
  return row.formatter(base);
}

std::string KeywordRangeProblem(const KeywordSpec& row, const void* record) {
  const char* field = static_cast<const char*>(record) + row.offset;
  char text[400];
  switch (row.type) {
    case kKeywordInteger: {
      int32_t value = ReadInt32(field);
      if (row.min == row.max || (value >= row.min && value <= row.max)) return {};
      std::snprintf(text, sizeof text, "%s not %d - %d", row.name, row.min, row.max);
      return text;
    }
    case kKeywordReal: {
      double value = ReadDouble(field);
      double low = row.min / 1000.0, high = row.max / 1000.0;
      // Written so that a NaN value fails the check too.
      if (row.min == row.max || (value >= low && value <= high)) return {};
      std::snprintf(text, sizeof text, "%s not %.3f - %.3f", row.name, low, high);
      return text;
    }
    case kKeywordText:
      if (std::memchr(field, 0, row.capacity) == nullptr) return std::string(row.name) + " not terminated";
      if (field[0] == '\0') return std::string("Missing ") + row.name;
      return {};
    case kKeywordBoolean:
      return {};
  }
  return {};
}

ErrorFlags ApplyKeywordLines(const TextFile& file, char separator, const KeywordSpec* rows,
                             std::size_t rowCount, void* record, LogBuffer& log) {
  char* base = static_cast<char*>(record);
  std::vector<bool> found(rowCount, false);
  int parsed = 0;
  ErrorFlags tooLarge = 0;

  for (std::size_t lineIndex = 0; lineIndex < file.lines.size(); ++lineIndex) {
    std::string line = TrimLine(file.lines[lineIndex]);
    std::size_t sep = line.find(separator);
    if (sep == std::string::npos) continue;
    std::size_t r = 0;
    while (r < rowCount && !NameMatchesLineStart(rows[r].name, line)) ++r;
    if (r == rowCount) continue;
    const KeywordSpec& row = rows[r];
    std::size_t at = sep + 1;
    while (at < line.size() && IsBlank(line[at])) ++at;
    found[r] = row.required;
    KeywordParse result = row.parser(line.substr(at), base + row.offset, row.capacity);
    if (result == kParseFailed) continue;
    found[r] = true;
    ++parsed;
    if (result == kValueTooLarge) {
      int lineNumber = static_cast<int>(lineIndex) + 1;
      if (row.type == kKeywordText) {
        LogAppend(log, "%s, line %d: %s longer than %d characters", file.path.c_str(), lineNumber,
                  row.name, static_cast<int>(row.capacity) - 1);
      } else {
        LogAppend(log, "%s, line %d: %s beyond the 32-bit integer range", file.path.c_str(),
                  lineNumber, row.name);
      }
      tooLarge |= kErrValueOutOfRange;
    }
  }

  if (parsed == 0) return kErrCannotParseLine;

  ErrorFlags flags = 0;
  for (std::size_t r = 0; r < rowCount; ++r) {
    if (!found[r] && rows[r].required) {
      LogAppend(log, "Missing %s", rows[r].name);
      flags |= kErrMissingKeywords;
    }
  }
  if (flags != 0) return flags | tooLarge;

  for (std::size_t r = 0; r < rowCount; ++r) {
    if (!found[r]) continue;
    const std::string problem = KeywordRangeProblem(rows[r], record);
    if (problem.empty()) continue;
    LogAppend(log, "%s", problem.c_str());
    flags |= rows[r].type == kKeywordText ? kErrMissingKeywords : kErrValueOutOfRange;
  }
  return flags | tooLarge;
}

}  // namespace mixora
