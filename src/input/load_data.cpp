#include "input/load_data.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/log_buffer.h"
#include "core/text_file.h"
#include "input/baseline_reader.h"
#include "input/input_file.h"
#include "input/mixture_reader.h"
#include "input/genepop_convert.h"

namespace mixora {

namespace {

bool HasMembers(const Control& control) {
  return control.settings && control.mixture && control.characters && control.baseline &&
         control.stocks && control.groups;
}

// A format the readers do not take: say why, naming the file, and fail.
ErrorFlags RefuseFormat(Control& control, const std::string& path, const char* label,
                        int32_t format, const char* formatName) {
  if (format == kFormatNotFound) {
    LogAppend(control.log, "Cannot open %s", path.c_str());
    return kErrFatal;
  }
  // The file was readable when it was classified as unknown; reading it
  // again names the line that makes it no text file, if that is the cause.
  TextFile file;
  if (ErrorFlags open = OpenInputFile(path, label, control.log, file)) return open;
  if (FirstDataLine(file) < 0) LogAppend(control.log, "%s: no data lines", path.c_str());
  else LogAppend(control.log, "%s: %s file format %s is not read", path.c_str(), label, formatName);
  return kErrCannotParseLine;
}

// Converts the Genepop baseline (and the mixture, when given) beside their
// inputs. Returns the converter's status.
int ConvertGenepop(Control& control, const std::string& mixtureIn) {
  const RunSettings& settings = *control.settings;
  std::string baselinePath = GetField(settings.BaselineFile);
  std::string mixturePath = GetField(settings.MixtureFile);
  std::string baselineOut = GenepopOutputName(baselinePath);
  std::string mixtureOut = GenepopOutputName(mixturePath);
  // The converter keeps its outputs off its own inputs; the control file
  // that named them must be spared as well ("run.gen" beside "run_Mixora.gen").
  std::string controlPath = GetField(settings.ControlFilePath);
  for (const std::string& output : {baselineOut, mixtureIn.empty() ? std::string() : mixtureOut}) {
    std::error_code ec;
    if (!output.empty() && std::filesystem::equivalent(output, controlPath, ec)) {
      LogAppend(control.log, "Cannot write to %s: it is the control file", output.c_str());
      return output == baselineOut ? kGenepopBaselineFailed : kGenepopMixtureFailed;
    }
  }
  return ConvertGenepopLabel(baselinePath, mixtureIn, baselineOut, mixtureOut, "", control.log);
}

// A label mixture is read from its converted copy, but a fish the checks
// name must be found in the file the user wrote. The copy keeps the fish in
// order, so the n-th individual of one is the n-th of the other; when the
// names do not pair up the copy's lines stand.
void PointFishAtLabelFile(const std::string& path, MixtureData& mixture) {
  TextFile file;
  int badLine = 0;
  std::string message;
  if (ReadTextFile(path, file, badLine, message) != TextFileStatus::kOk) return;
  std::vector<int32_t> lines;
  bool inSamples = false;
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    const std::string trimmed = TrimLine(file.lines[i]);
    if (trimmed.empty() || trimmed[0] == '\\') continue;
    if (IsPopLine(trimmed)) {
      inSamples = true;
      continue;
    }
    if (!inSamples) continue;
    const std::size_t comma = trimmed.find(',');
    if (comma == std::string::npos || lines.size() >= mixture.fishNames.size() ||
        TrimLine(trimmed.substr(0, comma)) != mixture.fishNames[lines.size()])
      return;
    lines.push_back(static_cast<int32_t>(i) + 1);
  }
  if (lines.size() != mixture.fishNames.size()) return;
  mixture.file = path;
  mixture.fishLines = std::move(lines);
}

}  // namespace

ErrorFlags LoadBaseline(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  std::string path = GetField(control.settings->BaselineFile);
  ErrorFlags result = 0;
  switch (control.baselineFormat) {
    case kBaselineTalmo:
      result = ReadTalmoBaseline(path, *control.baseline, control.log);
      break;
    case kBaselineSpam:
      result = ReadSpamBaseline(path, *control.baseline, control.log);
      break;
    case kBaselineGenepop:
    case kBaselineGenepopLabel:
      if (ConvertGenepop(control, "") != kGenepopOk) {
        *control.baseline = BaselineData{};
        result = kErrFatal;
      } else {
        result = ReadSpamBaseline(GenepopOutputName(path), *control.baseline, control.log);
      }
      break;
    default:
      *control.baseline = BaselineData{};
      result = RefuseFormat(control, path, "Baseline", control.baselineFormat,
                            BaselineFormatName(control.baselineFormat));
      break;
  }
  if (result == 0) SumBaselineTotals(*control.baseline);
  LogAppend(control.log, "\r\nBaseline Load %s!!", result == 0 ? "SUCCESS" : "FAIL");
  return result;
}

ErrorFlags LoadMixture(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  const RunSettings& settings = *control.settings;
  std::string path = GetField(settings.MixtureFile);
  MixtureData& mixture = *control.mixture;
  ErrorFlags result = 0;
  switch (control.mixtureFormat) {
    case kMixtureSpam:
      result = ReadSpamMixture(path, mixture, control.log);
      result |= ResolveMixtureCharacters(mixture, *control.characters, control.log, kMixtureSpam);
      break;
    case kMixtureGenepop:
      result = ReadGenepopMixture(path, mixture, control.log);
      if (result == 0)
        result = ResolveMixtureCharacters(mixture, *control.characters, control.log, kMixtureGenepop);
      break;
    case kMixtureGenepopLabel:
      if (ConvertGenepop(control, path) != kGenepopOk) {
        mixture = MixtureData{};
        result = kErrFatal;
        break;
      }
      result = ReadGenepopMixture(GenepopOutputName(path), mixture, control.log);
      if (result == 0) {
        PointFishAtLabelFile(path, mixture);
        result = ResolveMixtureCharacters(mixture, *control.characters, control.log,
                                          kMixtureGenepopLabel);
      }
      break;
    default:
      mixture = MixtureData{};
      result = RefuseFormat(control, path, "Mixture", control.mixtureFormat,
                            MixtureFormatName(control.mixtureFormat));
      break;
  }
  LogAppend(control.log, "\r\nMixture Load %s!!", result == 0 ? "SUCCESS" : "FAIL");
  return result;
}

std::string FormatBaselineSummary(const Control& control) {
  if (!control.baseline) return "";
  const BaselineData& base = *control.baseline;
  const std::size_t S = static_cast<std::size_t>(std::max(base.stockCount, 0));
  const std::size_t C = static_cast<std::size_t>(std::max(base.charCount, 0));
  const std::size_t A = static_cast<std::size_t>(std::max(base.maxAlleles, 0));
  int highest = 0;
  for (std::size_t at = 0; at < S * C * A && at < base.counts.size(); ++at)
    if (base.counts[at] != 0) highest = std::max(highest, static_cast<int>(at % A) + 1);
  char text[256];
  std::snprintf(text, sizeof text,
                "Baseline stocks:        %d\n"
                "Baseline characters:    %d\n"
                "Max alleles:            %d\n"
                "Highest allele counted: %d\n",
                base.stockCount, base.charCount, base.maxAlleles, highest);
  return text;
}

std::string FormatMixtureSummary(Control& control) {
  if (!control.mixture) return "";
  MixtureData& mix = *control.mixture;
  int32_t bad = 0;
  for (int32_t flags : mix.fishFlags)
    if (!TakesPart(flags)) ++bad;
  mix.badCount = bad;
  int32_t largestStored = 0;
  for (int32_t allele : mix.genotypes) largestStored = std::max(largestStored, allele);
  char text[256];
  std::snprintf(text, sizeof text,
                "Mixture fish:           %d\n"
                "Bad fish:               %d\n"
                "Mixture characters:     %d\n"
                "Largest position:       %d\n"
                "Highest allele stored:  %d\n",
                mix.fishCount, mix.badCount, mix.charCount, mix.maxPositions, largestStored);
  return text;
}

}  // namespace mixora
