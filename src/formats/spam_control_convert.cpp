#include "formats/spam_control_convert.h"

#include <cerrno>
#include <filesystem>

#include "core/log_buffer.h"
#include "core/paths.h"
#include "core/system_error.h"
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

// The flags' text and the first log line that points at a line of a file
// or names what is missing, so a failure can be found without the log.
std::string ConversionFailure(const std::string& log, ErrorFlags flags) {
  std::string detail;
  std::size_t at = 0;
  while (at < log.size() && detail.empty()) {
    std::size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    if (line.find(", line ") != std::string::npos || line.rfind("Missing ", 0) == 0 ||
        line.rfind("Cannot ", 0) == 0 || line.find(" mismatch. ") != std::string::npos ||
        line.find(" not found") != std::string::npos || line.find(" not ") != std::string::npos)
      detail = line;
    at = end + 2;
  }
  std::string text = flags == 0 ? std::string("the text control file could not be written")
                                : DescribeErrorFlags(flags);
  return detail.empty() ? text : text + ": " + detail;
}

}  // namespace

int ConvertSpamControlFile(const std::string& ctlPath, const std::string& outPath,
                           const Interaction& ui, std::string* why) {
  Control control;
  InitControl(control);
  control.controlKind = kControlSpam;
  RunSettings& settings = *control.settings;
  LogBuffer& log = control.log;
  SetField(settings.ControlFilePath, ctlPath);
  SetDefaultSettings(settings);

  ErrorFlags flags = ParseKeywords(ctlPath, kControlSpam, settings, log);
  settings.NumberOfChains = 4;
  // Chains on the same seeds couple within a few iterations; a generated run
  // should give independent chains from the start.
  settings.ChangeSeeds = 1;
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
    LogAppend(log, "Cannot write to %s: %s", outPath.c_str(), SystemErrorText(errno).c_str());
    result = 1;
  }
  if (why != nullptr && result != 0) *why = ConversionFailure(log.text, flags);
  // The whole log, not cut to the length of a formatted message.
  if (ui.message) ui.message(uint32_t{kMbOk} | kMbIconInformation, log.text);
  ReleaseControl(control);
  return result;
}

std::string SpamConversionOutputName(const std::string& file, const std::string& outFolder) {
  return JoinPath(outFolder, ReplaceExtension(FileNameOf(file), "Tcf"));
}

int ConvertSpamControlFiles(const std::vector<std::string>& files, const std::string& outFolder,
                            const Interaction& ui, std::vector<std::string>* failures) {
  int converted = 0;
  auto fail = [failures](const std::string& file, const std::string& why) {
    if (failures != nullptr) failures->push_back(file + ": " + why);
  };
  for (const std::string& file : files) {
    std::string out = SpamConversionOutputName(file, outFolder);
    if (SameFile(file, out)) {
      ShowMessage(ui, uint32_t{kMbOk} | kMbIconWarning, "Cannot write to %s: it is the input file",
                  out.c_str());
      fail(file, "its text control file " + out + " would replace it");
      continue;
    }
    if (FileExists(out)) {
      int answer =
          ShowMessage(ui, uint32_t{kMbYesNo} | kMbIconQuestion, "Overwrite %s", out.c_str());
      if (answer != kIdYes && answer != kIdYesToAll) {
        fail(file, out + " exists and was not replaced");
        continue;
      }
    }
    std::string why;
    if (ConvertSpamControlFile(file, out, ui, &why) == 0)
      ++converted;
    else
      fail(file, why);
  }
  ShowMessage(ui, uint32_t{kMbOk} | kMbIconInformation, "%d fil%s converted", converted,
              converted == 1 ? "e" : "es");
  return converted;
}

}  // namespace mixora
