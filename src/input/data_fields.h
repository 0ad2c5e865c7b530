#pragma once
// Small text helpers shared by the baseline and mixture readers: splitting a
// line into fields and reading decimal numbers without overflow.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/log_buffer.h"
#include "core/run_limits.h"

namespace mixora {

// Held maxima of the data files.
inline constexpr int kMaxDataStocks = 1000;
inline constexpr int kMaxDataCharacters = kMaxCharacters;
inline constexpr int kMaxAllelePositions = 256;
inline constexpr int kMaxDataNameLength = 49;
// Largest allele count a baseline line may hold: 256 of them still sum to a
// 32-bit total.
inline constexpr int32_t kMaxBaselineCount = INT32_MAX / kMaxAllelePositions;

// Splits at any of the separator characters; empty fields are dropped.
std::vector<std::string_view> SplitFields(std::string_view line, std::string_view separators);

enum class NumberRead { kNumber, kNotANumber, kOutOfRange };

// Reads a decimal integer at the start of the field (optional sign, digits);
// what follows the digits is ignored, as a scanf "%d" does. A field that does
// not start with a number gives kNotANumber and 0; one that does not fit in 32
// bits gives kOutOfRange.
NumberRead ReadLeadingInt(std::string_view field, int32_t& value);

// True when the field is made of decimal digits only (at least one).
bool AllDigits(std::string_view field);

// Logs a refusal of one line: "<path>, line <n>: <problem>" and, below it,
// the text of the flags.
void LogLineRefusal(LogBuffer& log, const std::string& path, int lineNumber,
                    const std::string& problem, uint32_t flags);

// Case-insensitive test that text begins with prefix.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace mixora
