#include "input/control_file_kind.h"

#include "core/lookups.h"
#include "core/text_file.h"
#include "input/control.h"

namespace mixora {

int32_t ClassifyControlFile(const std::string& path, std::string* problem) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (problem) problem->clear();
  if (status == TextFileStatus::kCannotOpen) return kFormatNotFound;
  if (status != TextFileStatus::kOk) {
    if (problem) *problem = message;
    return kControlUnknown;
  }
  int first = FirstDataLine(file);
  if (first < 0) {
    if (problem) *problem = path + " is not a control file: it holds no data line";
    return kControlUnknown;
  }
  std::string line = TrimLine(file.lines[first]);
  if (line.size() >= 6 && NamesEqual(line.substr(0, 6), "MIXORA")) return kControlMixora;
  if (line[0] == '*') return kControlSpam;
  return kControlUnknown;
}

}  // namespace mixora
