#pragma once
// Keyword tables: settings are read, range-checked, shown and written through
// a fixed array of rows, one per keyword. The run settings use two tables
// (control_keywords.h); any other settings record may bring a table of its own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/text_file.h"

namespace mixora {

enum KeywordType : int32_t {
  kKeywordInteger = 1,
  kKeywordBoolean = 2,
  kKeywordReal = 3,
  kKeywordText = 4,
};

// What a parser reports. kValueTooLarge: the value was read but does not fit
// its field (a text longer than the field, an integer beyond 32 bits); the
// field then holds the value cut to fit, and the reader refuses the file.
enum KeywordParse : int32_t {
  kParseFailed = 0,
  kParseOk = 1,
  kValueTooLarge = 2,
};

// Parses value text into the field at `field` of `capacity` bytes.
using KeywordParser = KeywordParse (*)(const std::string& value, char* field,
                                       std::size_t capacity);
// Turns the field back into text.
using KeywordFormatter = std::string (*)(const char* field);

struct KeywordSpec {
  const char* name;
  KeywordType type;
  bool required;
  bool path;             // the value names a file or folder
  int32_t min;           // inclusive range; none when min == max;
  int32_t max;           // reals in thousandths (1 means 0.001)
  std::size_t offset;    // of the receiving field within the settings record
  std::size_t capacity;  // bytes of the receiving field
  KeywordParser parser;
  int32_t display;       // the summary slot that shows the value
  KeywordFormatter formatter;
};

// Parsers.
// "%d": leading blanks, a decimal integer, anything after it ignored.
KeywordParse ParseIntegerValue(const std::string& value, char* field, std::size_t capacity);
// True exactly when the first character, upper-cased, is T, 1 or Y.
KeywordParse ParseBooleanValue(const std::string& value, char* field, std::size_t capacity);
// "%lf": leading blanks, a number, anything after it ignored.
KeywordParse ParseRealValue(const std::string& value, char* field, std::size_t capacity);
// The text up to the first "!", trimmed.
KeywordParse ParseTextValue(const std::string& value, char* field, std::size_t capacity);
// Up to four int32 stock IDs separated by blanks, commas or "/"; the rest -1.
KeywordParse ParseStockListValue(const std::string& value, char* field, std::size_t capacity);
// "RandLib" gives 0 and "MT19937" 1, without regard to case.
KeywordParse ParseGeneratorValue(const std::string& value, char* field, std::size_t capacity);

// Formatters.
std::string FormatIntegerValue(const char* field);    // "%d"
std::string FormatBooleanValue(const char* field);    // "T" above 0, else "F"
std::string FormatRealValue(const char* field);       // 2 decimals, or 3 when needed
std::string FormatTextValue(const char* field);       // the text itself
std::string FormatStockListValue(const char* field);  // "3/7" up to the first -1
std::string FormatGeneratorValue(const char* field);  // "RandLib", "MT19937", "ERROR"

// The formatted value of one row of a record.
std::string FormatKeyword(const KeywordSpec& row, const void* record);

// Whether the row's field in record lies within the row's range: "" when it
// does (or the row has no range), else the problem as the log words it:
// "%s not %d - %d", "%s not %.3f - %.3f" (NaN is never in range), "Missing
// %s" for an empty text, "%s not terminated" for a text that fills its field.
// Booleans are always in range.
std::string KeywordRangeProblem(const KeywordSpec& row, const void* record);

// Reads the keyword lines of a file into a record: every trimmed line holding
// the separator is matched against the rows (case-insensitively over the
// row's name, first row in table order wins) and its value parsed; a keyword
// given twice keeps its last value. Then logs "Missing %s" for each required
// keyword not found and, when none is missing, checks the ranges of the found
// ones ("%s not %d - %d", "%s not %.3f - %.3f", empty text "Missing %s").
// Returns the error flags; kErrCannotParseLine alone, with nothing logged,
// when no value at all could be parsed. A value too large for its field logs
// a line naming the file and line and sets kErrValueOutOfRange.
ErrorFlags ApplyKeywordLines(const TextFile& file, char separator, const KeywordSpec* rows,
                             std::size_t rowCount, void* record, LogBuffer& log);

}  // namespace mixora
