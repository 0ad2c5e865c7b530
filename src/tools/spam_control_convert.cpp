#include "tools/spam_control_convert.h"

#include <filesystem>

#include "core/log_buffer.h"
#include "core/paths.h"
#include "input/baseline_reader.h"
#include "input/control.h"
#include "input/control_blocks.h"
#include "input/control_keywords.h"
#include "input/data_checks.h"
#include "input/mixture_reader.h"
#include "input/text_control_writer.h"

namespace mixora {

namespace {

std::string CompletedPath(const std::string& controlPath, const std::string& value) {
  if (value.empty()) return value;
  std::error_code ec;
  std::filesystem::path full =
      std::filesystem::absolute(ResolveBesideControlFile(controlPath, value), ec);
  return ec ? ResolveBesideControlFile(controlPath, value) : full.lexically_normal().string();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  auto pa = std::filesystem::weakly_canonical(a, ec);
  auto pb = std::filesystem::weakly_canonical(b, ec);
  return !ec && pa == pb;
}

}  // namespace

int ConvertSpamControlFile(const std::string& ctlPath, const std::string& outPath,
                           const Interaction& ui) {
  Control control;
  InitControl(control);
  control.controlKind = kControlSpam;
  RunSettings& settings = *control.settings;
  LogBuffer& log = control.log;
  SetField(settings.ControlFilePath, ctlPath);
  SetDefaultSettings(settings);

  ErrorFlags flags = ParseKeywords(ctlPath, kControlSpam, settings, log);
  settings.NumberOfChains = 4;
  SetField(settings.Title, "SPAM Conversion");
  // A SPAM control file names no species, but the text control file requires
  // one: without it the converted file could not be loaded.
  if (GetField(settings.Species).empty()) SetField(settings.Species, "Unknown");

  std::string mixture = CompletedPath(ctlPath, GetField(settings.MixtureFile));
  std::string baseline = CompletedPath(ctlPath, GetField(settings.BaselineFile));
  // A completed path that does not fit its field would name another file.
  if (mixture.size() >= sizeof settings.MixtureFile ||
      baseline.size() >= sizeof settings.BaselineFile) {
    LogAppend(log, "File path longer than %d characters: %s",
              static_cast<int>(sizeof settings.MixtureFile) - 1,
              (mixture.size() >= sizeof settings.MixtureFile ? mixture : baseline).c_str());
    flags |= kErrValueOutOfRange;
  } else {
    SetField(settings.MixtureFile, mixture);
    SetField(settings.BaselineFile, baseline);
  }
  control.mixtureFormat = ClassifyMixtureFile(GetField(settings.MixtureFile));
  control.baselineFormat = ClassifyBaselineFile(GetField(settings.BaselineFile));

  flags |= ParseCharacterBlock(ctlPath, kControlSpam, *control.characters, log);
  flags |= CheckCharacterCount(control);
  ErrorFlags stockFlags = ParseStockBlock(ctlPath, kControlSpam, settings, *control.stocks, log);
  flags |= stockFlags;
  settings.Levels = control.stocks->levelCount;
  if (control.stocks->count > 0) settings.StartStock[0] = control.stocks->stockId[0];
  flags |= CheckStockCount(control);
  flags |= ParseGroupBlock(ctlPath, kControlSpam, *control.groups, log);
  flags |= CheckGrouping(control);

  LogAppend(log, "\r\nControl File Load %s!!", flags == 0 ? "SUCCESS" : "FAIL");
  int result = static_cast<int>(flags);
  if (flags == 0 && !WriteTextControlFile(outPath, control)) {
    LogAppend(log, "Cannot write to %s", outPath.c_str());
    result = 1;
  }
  // The whole log, not cut to the length of a formatted message.
  if (ui.message) ui.message(uint32_t{kMbOk} | kMbIconInformation, log.text);
  ReleaseControl(control);
  return result;
}

std::string SpamConversionOutputName(const std::string& file, const std::string& outFolder) {
  return JoinPath(outFolder, ReplaceExtension(FileNameOf(file), "Tcf"));
}

int ConvertSpamControlFiles(const std::vector<std::string>& files, const std::string& outFolder,
                            const Interaction& ui) {
  int converted = 0;
  for (const std::string& file : files) {
    std::string out = SpamConversionOutputName(file, outFolder);
    if (SameFile(file, out)) {
      ShowMessage(ui, uint32_t{kMbOk} | kMbIconWarning, "Cannot write to %s: it is the input file",
                  out.c_str());
      continue;
    }
    if (FileExists(out)) {
      int answer =
          ShowMessage(ui, uint32_t{kMbYesNo} | kMbIconQuestion, "Overwrite %s", out.c_str());
      if (answer != kIdYes && answer != kIdYesToAll) continue;
    }
    if (ConvertSpamControlFile(file, out, ui) == 0) ++converted;
  }
  ShowMessage(ui, uint32_t{kMbOk} | kMbIconInformation, "%d fil%s converted", converted,
              converted == 1 ? "e" : "es");
  return converted;
}

}  // namespace mixora
