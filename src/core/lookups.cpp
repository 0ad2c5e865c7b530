#include "core/lookups.h"

#include <algorithm>
#include <cctype>

#include "core/c_locale.h"

namespace mixora {

int FindValue(const int32_t* values, int count, int32_t value) {
  for (int i = 0; i < count; ++i)
    if (values[i] == value) return i;
  return -1;
}

int FindValue(const std::vector<int32_t>& values, int32_t value) {
  return FindValue(values.data(), static_cast<int>(values.size()), value);
}

bool NamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

int FindName(const std::vector<std::string>& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (NamesEqual(names[i], name)) return static_cast<int>(i);
  return -1;
}

int AddValueUnlessPresent(std::vector<int32_t>& values, int32_t value) {
  int index = FindValue(values, value);
  if (index >= 0) return index;
  values.push_back(value);
  return static_cast<int>(values.size()) - 1;
}

int AddNameUnlessPresent(std::vector<std::string>& names, const std::string& name, int width) {
  std::string cut = name.substr(0, static_cast<std::size_t>(std::max(width, 0)));
  int index = FindName(names, cut);
  if (index >= 0) return index;
  names.push_back(cut);
  return static_cast<int>(names.size()) - 1;
}

int32_t LargestValue(const int32_t* values, int count) {
  if (count <= 0) return 0;
  int32_t best = values[0];
  for (int i = 1; i < count; ++i) best = std::max(best, values[i]);
  return best;
}

int32_t LargestValue(const std::vector<int32_t>& values) {
  return LargestValue(values.data(), static_cast<int>(values.size()));
}

int64_t SumValues(const int32_t* values, int count) {
  int64_t sum = 0;
  for (int i = 0; i < count; ++i) sum += values[i];
  return sum;
}

int LongestName(const std::vector<std::string>& names) {
  std::size_t longest = 0;
  for (const auto& name : names) longest = std::max(longest, name.size());
  return static_cast<int>(longest);
}

}  // namespace mixora
