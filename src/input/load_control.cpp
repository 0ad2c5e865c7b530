#include "input/load_control.h"

#include "core/log_buffer.h"
#include "core/paths.h"
#include "input/baseline_reader.h"
#include "input/control_blocks.h"
#include "input/control_keywords.h"
#include "input/data_checks.h"
#include "input/mixture_reader.h"

namespace mixora {

namespace {

// Stores a path into a fixed settings field, refusing one that would not fit
// rather than cutting it into the name of some other file.
template <std::size_t N>
bool StorePath(char (&field)[N], const std::string& path, const char* what, LogBuffer& log) {
  if (path.size() >= N) {
    LogAppend(log, "%s path longer than %d characters: %s", what, static_cast<int>(N) - 1,
              path.c_str());
    return false;
  }
  SetField(field, path);
  return true;
}

ErrorFlags ReadControlFile(const std::string& path, Control& control) {
  RunSettings& settings = *control.settings;
  LogBuffer& log = control.log;
  const bool spam = control.controlKind != kControlMixora;

  if (!StorePath(settings.ControlFilePath, path, "Control file", log)) return kErrValueOutOfRange;
  SetDefaultSettings(settings);

  ErrorFlags flags = ParseKeywords(path, spam ? kControlSpam : kControlMixora, settings, log);
  if (spam) {
    settings.NumberOfChains = 4;
    SetField(settings.Title, "SPAM Conversion");
  }
  if (flags != 0) return flags;

  std::string mixture = ResolveBesideControlFile(path, GetField(settings.MixtureFile));
  std::string baseline = ResolveBesideControlFile(path, GetField(settings.BaselineFile));
  if (!StorePath(settings.MixtureFile, mixture, "MixtureFile", log) ||
      !StorePath(settings.BaselineFile, baseline, "BaselineFile", log)) {
    return kErrValueOutOfRange;
  }
  control.mixtureFormat = ClassifyMixtureFile(mixture);
  control.baselineFormat = ClassifyBaselineFile(baseline);

  const int32_t layout = spam ? kControlSpam : kControlMixora;
  flags = ParseCharacterBlock(path, layout, *control.characters, log);
  if (flags == 0) flags = CheckCharacterCount(control);
  if (flags != 0) return flags;

  flags = ParseStockBlock(path, layout, settings, *control.stocks, log);
  if (spam && flags == 0) {
    settings.Levels = control.stocks->levelCount;
    if (control.stocks->count > 0) settings.StartStock[0] = control.stocks->stockId[0];
  }
  if (flags == 0) flags = CheckStockCount(control);
  if (flags != 0) return flags;

  flags = ParseGroupBlock(path, layout, *control.groups, log);
  if (flags == 0) flags = CheckGrouping(control);
  if (flags != 0) return flags;

  if (control.baselineFormat == kFormatNotFound) {
    LogAppend(log, "Cannot open %s", settings.BaselineFile);
    flags = kErrFatal;
  }
  if (control.mixtureFormat == kFormatNotFound) {
    LogAppend(log, "Cannot open %s", settings.MixtureFile);
    flags = kErrFatal;
  }
  return flags;
}

}  // namespace

ErrorFlags LoadControlFile(const std::string& path, Control& control) {
  if (!InitControl(control)) return kErrMemoryFailure;
  ErrorFlags flags = ReadControlFile(path, control);
  LogAppend(control.log, "\r\nControl File Load %s!!", flags == 0 ? "SUCCESS" : "FAIL");
  return flags;
}

}  // namespace mixora
