#include "input/input_file.h"

namespace mixora {

ErrorFlags OpenInputFile(const std::string& path, const char* label, LogBuffer& log,
                         TextFile& file) {
  LogAppend(log, "Reading %s file: %s", label, path.c_str());
  int badLine = 0;
  std::string message;
  switch (ReadTextFile(path, file, badLine, message)) {
    case TextFileStatus::kOk:
      return 0;
    case TextFileStatus::kCannotOpen:
      LogAppend(log, "Cannot open file");
      return kErrFatal;
    case TextFileStatus::kLineTooLong:
    case TextFileStatus::kBinary:
      break;
  }
  LogAppend(log, "%s", message.c_str());
  return kErrCannotParseLine;
}

}  // namespace mixora
