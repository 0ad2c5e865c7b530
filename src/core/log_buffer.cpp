#include "core/log_buffer.h"

#include "core/atomic_file.h"
#include "core/string_format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace mixora {

void LogAppend(LogBuffer& log, const char* format, ...) {
  if (log.text.size() > kLogAppendLimit) return;
  va_list args;
  va_start(args, format);
  std::string line = FormatVa(format, args);
  va_end(args);
  std::size_t room = kLogBufferSize - 1 - log.text.size();
  std::string appended = line + "\r\n";
  if (appended.size() > room) appended.resize(room);
  log.text += appended;
  if (log.echo) log.echo(line);
}

void LogClear(LogBuffer& log) { log.text.clear(); }

int SaveLog(const LogBuffer& log, const std::string& path) {
  return WriteWholeFile(path, log.text);
}

}  // namespace mixora
