#include "core/interaction.h"

#include <cstdarg>
#include <cstdio>

namespace mixora {

namespace {
std::string FormatText(std::size_t limit, const char* format, va_list args) {
  std::string text(limit + 1, '\0');
  int n = std::vsnprintf(text.data(), text.size(), format, args);
  if (n < 0) n = 0;
  text.resize(static_cast<std::size_t>(n) < limit ? static_cast<std::size_t>(n) : limit);
  return text;
}
}  // namespace

int DefaultAnswer(uint32_t type) {
  switch (type & 0xF) {
    case kMbOk: return kIdOk;
    case kMbOkCancel: return kIdCancel;
    case kMbAbortRetryIgnore: return kIdAbort;
    case kMbYesNoCancel: return kIdCancel;
    case kMbYesNo: return kIdNo;
    case kMbRetryCancel: return kIdCancel;
    case kMbNewRunUseRunCancel: return kIdCancel;
    case kMbYesToAllYesNo: return kIdNo;
    default: return kIdCancel;
  }
}

int ShowMessage(const Interaction& ui, uint32_t type, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatText(4095, format, args);
  va_end(args);
  if (!ui.message) return DefaultAnswer(type);
  return ui.message(type, text);
}

void SetStatus(const Interaction& ui, int part, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatText(511, format, args);
  va_end(args);
  if (ui.status) ui.status(part, text);
}

void ReportProgress(const Interaction& ui, const std::string& caption, int64_t done,
                    int64_t total) {
  if (ui.progress) ui.progress(caption, done, total);
}

bool AskOverwrite(const Interaction& ui, const std::string& path, bool& yesToAll) {
  if (yesToAll) return true;
  int answer = ShowMessage(ui, uint32_t{kMbYesToAllYesNo} | kMbIconQuestion, "Overwrite %s", path.c_str());
  if (answer == kIdYesToAll) {
    yesToAll = true;
    return true;
  }
  return answer == kIdYes;
}

}  // namespace mixora
