#include "core/string_format.h"

#include <cstdio>
#include <vector>

namespace mixora {

std::string FormatVa(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
  va_copy(copy, args);
  std::vsnprintf(buffer.data(), buffer.size(), format, copy);
  va_end(copy);
  return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

void AppendFormat(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  out += FormatVa(format, args);
  va_end(args);
}

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatVa(format, args);
  va_end(args);
  return text;
}

std::string FormatSizeText(uint64_t bytes) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(bytes));
    return text;
  }
  static const struct {
    uint64_t unit;
    const char* name;
  } units[] = {{1ull << 40, "TB"}, {1ull << 30, "GB"}, {1ull << 20, "MB"}, {1ull << 10, "KB"}};
  for (const auto& u : units) {
    if (bytes >= u.unit) {
      std::snprintf(text, sizeof text, "%.2lf%s",
                    static_cast<double>(bytes) / static_cast<double>(u.unit), u.name);
      break;
    }
  }
  return text;
}

}  // namespace mixora
