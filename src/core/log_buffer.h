#pragma once
// The log of one operation (a load, a check, a conversion).
#include <cstddef>
#include <functional>
#include <string>

namespace mixora {

inline constexpr std::size_t kLogBufferSize = 65536;
inline constexpr std::size_t kLogAppendLimit = 64512;

struct LogBuffer {
  std::string text;
  // Called with each appended line (without its CR LF) so a front end can show
  // the log as it grows. Optional.
  std::function<void(const std::string&)> echo;
};

// Formats one line printf-style, appends it with CR LF. Once the text holds
// more than 64512 characters nothing more is appended. The formatted line is
// cut so the text never exceeds 65535 characters.
void LogAppend(LogBuffer& log, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void LogClear(LogBuffer& log);

// Writes the text to a file, bytes as held (CR LF line ends). Returns 1 or 0.
int SaveLog(const LogBuffer& log, const std::string& path);

}  // namespace mixora
