#pragma once
// Lookup helpers shared by every reader and check.
#include <cstdint>
#include <string>
#include <vector>

namespace mixora {

// Index of the first element equal to value, -1 when absent.
int FindValue(const std::vector<int32_t>& values, int32_t value);
int FindValue(const int32_t* values, int count, int32_t value);

// Index of a name compared without regard to case, -1 when absent.
int FindName(const std::vector<std::string>& names, const std::string& name);

// Appends value unless present; returns its index.
int AddValueUnlessPresent(std::vector<int32_t>& values, int32_t value);

// Appends name (cut to width characters) unless present, case-insensitively;
// returns its index.
int AddNameUnlessPresent(std::vector<std::string>& names, const std::string& name, int width);

// Largest value (0 for an empty array), sum of values, longest name length.
int32_t LargestValue(const int32_t* values, int count);
int32_t LargestValue(const std::vector<int32_t>& values);
int64_t SumValues(const int32_t* values, int count);
int LongestName(const std::vector<std::string>& names);

// Case-insensitive comparison of two names.
bool NamesEqual(const std::string& a, const std::string& b);

// Name slot size for a name width W: (W + 4) rounded down to a multiple of 4.
inline int NameSlotSize(int width) { return (width + 4) / 4 * 4; }

}  // namespace mixora
