#include "core/log_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace mixora {

void LogAppend(LogBuffer& log, const char* format, ...) {
  if (log.text.size() > kLogAppendLimit) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    line.assign(buffer.data(), static_cast<std::size_t>(needed));
  }
  va_end(args);
  std::size_t room = kLogBufferSize - 1 - log.text.size();
  std::string appended = line + "\r\n";
  if (appended.size() > room) appended.resize(room);
  log.text += appended;
  if (log.echo) log.echo(line);
}

void LogClear(LogBuffer& log) { log.text.clear(); }

int SaveLog(const LogBuffer& log, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  bool ok = std::fwrite(log.text.data(), 1, log.text.size(), file) == log.text.size();
  ok = (std::fclose(file) == 0) && ok;
  return ok ? 1 : 0;
}

}  // namespace mixora
