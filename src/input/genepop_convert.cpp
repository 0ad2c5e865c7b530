#include "input/genepop_convert.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "input/genepop_label.h"

namespace mixora {

namespace {

// The baseline's loci and, per locus, the allele codes it holds, ascending:
// what the mixture conversion needs to turn codes into positions.
struct LocusTable {
  std::vector<std::string> names;
  std::vector<std::vector<int32_t>> alleles;
};

LocusTable BuildLocusTable(const GenepopSet& set) {
  LocusTable table;
  table.names = set.locusNames;
  table.alleles.resize(set.locusNames.size());
  for (std::size_t l = 0; l < set.locusNames.size(); ++l)
    for (int code = 1; code < kGenepopCodeLimit; ++code)
      if (set.alleleTable[l * kGenepopCodeLimit + code] != 0) table.alleles[l].push_back(code);
  return table;
}

// 1-based position of code in the list, 0 when absent.
int32_t PositionOf(const std::vector<int32_t>& list, int32_t code) {
  int index = FindValue(list, code);
  return index < 0 ? 0 : index + 1;
}

// Moves the pending output into place; false (and the output discarded) when
// any byte did not reach it.
bool Finish(PendingFile& out) { return CommitPendingFile(out) == 1; }

// A name beside the control file is written bare so the control file keeps
// working when the folder is moved; any other name is written as given.
std::string NameForControlFile(const std::string& controlPath, const std::string& name) {
  std::string controlFolder = FolderOf(controlPath);
  std::string nameFolder = FolderOf(name);
  if (SameFile(controlFolder.empty() ? "." : controlFolder, nameFolder.empty() ? "." : nameFolder))
    return FileNameOf(name);
  return name;
}

void CopyLog(const LogBuffer& from, LogBuffer& to) {
  std::size_t start = 0;
  while (start < from.text.size()) {
    std::size_t end = from.text.find("\r\n", start);
    if (end == std::string::npos) end = from.text.size();
    LogAppend(to, "%s", from.text.substr(start, end - start).c_str());
    start = end + 2;
  }
}

}  // namespace

int WriteSpamBaselineOfSet(const GenepopSet& set, const std::string& path) {
  PendingFile pending;
  std::FILE* out = OpenPendingFile(pending, path);
  if (!out) return 0;
  const std::size_t loci = set.locusNames.size();
  std::vector<int32_t> counts(loci * kGenepopCodeLimit, 0);
  auto finishPopulation = [&]() {
    for (std::size_t l = 0; l < loci; ++l) {
      std::fprintf(out, "%-*s", set.locusNameWidth, set.locusNames[l].c_str());
      for (int code = 1; code < kGenepopCodeLimit; ++code) {
        if (set.alleleTable[l * kGenepopCodeLimit + code] == 0) continue;
        // A blank always leads the count, so counts of five digits and more
        // stay separate fields.
        std::fprintf(out, " %4d", counts[l * kGenepopCodeLimit + code]);
      }
      std::fprintf(out, "\r\n");
    }
  };
  int current = -1;
  for (int f = 0; f < set.individualCount; ++f) {
    int population = set.individualPopulation[f];
    if (population != current) {
      if (current >= 0) finishPopulation();
      current = population;
      std::fprintf(out, "#%03d %s\r\n", set.stockNumbers[population],
                   set.stockNames[population].c_str());
      std::fill(counts.begin(), counts.end(), 0);
    }
    for (std::size_t l = 0; l < loci; ++l)
      for (int j = 0; j < 2; ++j)
        ++counts[l * kGenepopCodeLimit + set.codes[(f * loci + l) * 2 + j]];
  }
  if (current >= 0) finishPopulation();
  return Finish(pending) ? 1 : 0;
}

namespace {

// The title line of the converted mixture. A title that holds no letter, or
// that starts with "Label", would make the converted file look like another
// format to the file classification, so it is prefixed.
std::string ConvertedMixtureTitle(const std::string& title) {
  std::size_t start = 0;
  while (start < title.size() && (std::isspace(static_cast<unsigned char>(title[start])) ||
                                  std::ispunct(static_cast<unsigned char>(title[start]))))
    ++start;
  std::string text = title.substr(start);
  bool hasLetter = false;
  for (char c : text) hasLetter = hasLetter || std::isalpha(static_cast<unsigned char>(c));
  bool looksLabel = text.size() >= 5 && NamesEqual(text.substr(0, 5), "Label");
  if (!hasLetter || looksLabel)
    text = "Converted from Genepop Label format" + (text.empty() ? "" : " " + text);
  return text;
}

int ConvertMixture(const std::string& path, const std::string& outPath, const LocusTable& table,
                   LogBuffer& log) {
  GenepopLabelFile file;
  if (OpenGenepopLabelFile(path, "Mixture",
                           "Not a Genepop Label Mixturee file(No 'Label'):\r\n%s", file, log) != 0)
    return -1;
  const std::vector<std::string>& lines = file.text.lines;
  const int loci = static_cast<int>(file.locusNames.size());
  int individuals = 0;
  std::string name, problem;
  for (std::size_t i = static_cast<std::size_t>(file.populationStart); i < lines.size(); ++i) {
    std::string trimmed = TrimLine(lines[i]);
    if (IsGenepopSkippedLine(trimmed) || IsGenepopPopLine(trimmed)) continue;
    ErrorFlags flags = ParseGenepopIndividual(trimmed, loci, name, nullptr, problem);
    if (flags != 0) {
      LogAppend(log, "Fatal Error in Line %d of %s: %s", static_cast<int>(i) + 1, path.c_str(),
                problem.c_str());
      LogAppend(log, "%s", trimmed.c_str());
      LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
      return static_cast<int>(flags);
    }
    ++individuals;
  }
  // A mixture without a single fish (no "POP" line, or only empty samples)
  // would be written as a file the mixture reader refuses or an empty run;
  // the conversion must not report that as a success.
  if (individuals == 0) {
    LogAppend(log, "No individuals in %s", path.c_str());
    return -1;
  }
  PositionedMixture mixture;
  mixture.title = ConvertedMixtureTitle(file.title);
  mixture.locusNames = file.locusNames;
  // The generated control file lists the baseline's loci; a mixture locus
  // under another name would be refused by the first check of the run, so
  // the conversion fails now, naming it, instead of reporting success.
  std::vector<int> baselineLocus(static_cast<std::size_t>(loci));
  for (int l = 0; l < loci; ++l) {
    baselineLocus[l] = FindName(table.names, file.locusNames[l]);
    if (baselineLocus[l] < 0) {
      LogAppend(log, "Locus %s of %s is not in the baseline; baseline and mixture must name their "
                "loci alike",
                file.locusNames[l].c_str(), path.c_str());
      return -1;
    }
  }

  std::string lastPop;
  std::vector<int32_t> codes(static_cast<std::size_t>(2 * loci));
  for (std::size_t i = static_cast<std::size_t>(file.populationStart); i < lines.size(); ++i) {
    std::string trimmed = TrimLine(lines[i]);
    if (IsGenepopSkippedLine(trimmed)) continue;
    if (IsGenepopPopLine(trimmed)) {
      mixture.popLines.push_back(trimmed);
      lastPop = trimmed;
      continue;
    }
    ParseGenepopIndividual(trimmed, loci, name, codes.data(), problem);
    mixture.fishNames.push_back(name);
    mixture.fishPopulation.push_back(static_cast<int32_t>(mixture.popLines.size()) - 1);
    for (int l = 0; l < loci; ++l) {
      int32_t position[2] = {0, 0};
      std::string missing;
      for (int j = 0; j < 2; ++j) {
        int32_t code = codes[2 * l + j];
        if (code == 0) continue;
        if (baselineLocus[l] >= 0) position[j] = PositionOf(table.alleles[baselineLocus[l]], code);
        if (position[j] == 0 && baselineLocus[l] >= 0) missing += std::to_string(code) + " ";
      }
      if (!missing.empty())
        LogAppend(log, "Convert Info: %snot found for char %s for %s in %s (Line %d)",
                  missing.c_str(), file.locusNames[l].c_str(), name.c_str(), lastPop.c_str(),
                  static_cast<int>(i) + 1);
      mixture.positions.push_back(position[0]);
      mixture.positions.push_back(position[1]);
    }
  }
  if (!WritePositionedMixture(mixture, outPath)) {
    LogAppend(log, "Cannot write to %s: %s", outPath.c_str(), SystemErrorText(errno).c_str());
    return -1;
  }
  return 0;
}

}  // namespace

int WriteGenepopControlFile(const GenepopSet& set, const std::string& path,
                            const std::string& baselineOut, const std::string& mixtureOut,
                            const std::string& description) {
  PendingFile pending;
  std::FILE* out = OpenPendingFile(pending, path);
  if (!out) return 0;
  const int populations = static_cast<int>(set.stockNames.size());
  // A population without individuals has no counts in the baseline, so it is
  // listed as a comment and left out of the stock count.
  int stocks = 0;
  int startStock = 0;
  for (int p = 0; p < populations; ++p) {
    if (set.populationSize[p] == 0) continue;
    if (stocks == 0) startStock = set.stockNumbers[p];
    ++stocks;
  }
  std::fprintf(out,
               "MIXORA\r\n\r\nTitle = %s\r\nBaselineFile = %s\r\nMixtureFile = %s\r\n"
               "OutputFolder = output\r\nSpecies = Unknown\r\nBaseDesc = %s\r\n"
               "NumberOfStocks = %d\r\nNumberOfChars = %d\r\nLevels = 1\r\n"
               "NumberOfChains = 4\r\nChangeSeeds = T\r\nNumberOfReps = 2000\r\n"
               "Seed1 = 687688\r\nSeed2 = 788781\r\nStartStock = %d\r\nNumberToKeep = 1000\r\n\r\n",
               "CtcConvert", NameForControlFile(path, baselineOut).c_str(),
               NameForControlFile(path, mixtureOut).c_str(),
               description.empty() ? "Converted from Genepop Label format" : description.c_str(),
               stocks, static_cast<int>(set.locusNames.size()), startStock);
  std::fprintf(out, "\r\nChars = \r\n");
  for (std::size_t l = 0; l < set.locusNames.size(); ++l)
    std::fprintf(out, "%03d %03d T %-s\r\n", static_cast<int>(l) + 1, set.distinctAlleles[l],
                 set.locusNames[l].c_str());
  std::fprintf(out, "\r\nStocks = \r\n");
  for (int p = 0; p < populations; ++p) {
    if (set.populationSize[p] == 0)
      std::fprintf(out, "! %03d %2d  (no individuals)\r\n", set.stockNumbers[p], 1);
    else
      std::fprintf(out, "%03d %2d  %-s\r\n", set.stockNumbers[p],
                   set.groupNames.empty() ? 1 : set.stockGroup[p] + 1, set.stockNames[p].c_str());
  }
  if (set.groupNames.empty()) {
    std::fprintf(out, "\r\nGroups =\r\n  1   1  Dummy\r\n");
  } else {
    std::fprintf(out, "\r\nGroups =\r\n");
    for (std::size_t g = 0; g < set.groupNames.size(); ++g)
      std::fprintf(out, "  1 %3d  %s\r\n", static_cast<int>(g) + 1, set.groupNames[g].c_str());
  }
  return Finish(pending) ? 1 : 0;
}

int CountStocksWithFish(const GenepopSet& set) {
  int stocks = 0;
  for (int size : set.populationSize) stocks += size > 0 ? 1 : 0;
  return stocks;
}

int WritePositionedMixture(const PositionedMixture& mixture, const std::string& path) {
  PendingFile pending;
  std::FILE* out = OpenPendingFile(pending, path);
  if (!out) return 0;
  std::size_t longestName = 0;
  for (const std::string& name : mixture.fishNames) longestName = std::max(longestName, name.size());
  const int nameWidth = GenepopNameWidth(longestName);
  const std::size_t loci = mixture.locusNames.size();
  std::fprintf(out, "%s\r\n", mixture.title.c_str());
  for (const std::string& locus : mixture.locusNames) std::fprintf(out, "%s\r\n", locus.c_str());
  std::size_t f = 0;
  for (std::size_t p = 0; p < mixture.popLines.size(); ++p) {
    std::fprintf(out, "%s\r\n", mixture.popLines[p].c_str());
    for (; f < mixture.fishNames.size() && mixture.fishPopulation[f] == static_cast<int32_t>(p);
         ++f) {
      std::fprintf(out, "%-*s,", nameWidth, mixture.fishNames[f].c_str());
      for (std::size_t l = 0; l < loci; ++l)
        std::fprintf(out, " %03d%03d", mixture.positions[(f * loci + l) * 2],
                     mixture.positions[(f * loci + l) * 2 + 1]);
      std::fprintf(out, "\r\n");
    }
  }
  return Finish(pending) ? 1 : 0;
}

std::string GenepopOutputName(const std::string& inputName) {
  std::size_t slash = inputName.find_last_of("/\\");
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = inputName.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return inputName + "_Mixora";
  return inputName.substr(0, dot) + "_Mixora" + inputName.substr(dot);
}

int ConvertGenepopLabel(const std::string& baselineIn, const std::string& mixtureIn,
                        const std::string& baselineOut, const std::string& mixtureOut,
                        const std::string& controlOut, LogBuffer& log) {
  LogAppend(log, "Converting from GENEPOP format...");
  const bool withMixture = !mixtureIn.empty();

  // No output may replace an input: a conversion must never lose data.
  if (baselineOut.empty() || (withMixture && mixtureOut.empty())) {
    LogAppend(log, "No output name for the %s", baselineOut.empty() ? "baseline" : "mixture");
    LogAppend(log, baselineOut.empty() ? "Baseline conversion Error" : "Mixture conversion Error");
    return baselineOut.empty() ? kGenepopBaselineFailed : kGenepopMixtureFailed;
  }
  const std::string inputs[] = {baselineIn, mixtureIn};
  for (const std::string& input : inputs) {
    if (SameFile(baselineOut, input)) {
      LogAppend(log, "Cannot write to %s: it is an input file", baselineOut.c_str());
      LogAppend(log, "Baseline conversion Error");
      return kGenepopBaselineFailed;
    }
  }
  if (withMixture) {
    for (const std::string& taken : {baselineIn, mixtureIn, baselineOut}) {
      if (SameFile(mixtureOut, taken)) {
        LogAppend(log, "Cannot write to %s: it is an input file or the baseline output",
                  mixtureOut.c_str());
        LogAppend(log, "Mixture conversion Error");
        return kGenepopMixtureFailed;
      }
    }
  }

  if (!controlOut.empty()) {
    for (const std::string& taken : {baselineIn, mixtureIn, baselineOut, mixtureOut}) {
      if (SameFile(controlOut, taken)) {
        LogAppend(log, "Cannot write to %s: it is an input or output file of the conversion",
                  controlOut.c_str());
        return kGenepopControlFailed;
      }
    }
  }

  GenepopSet set;
  int status = kGenepopOk;
  LogBuffer baselineLog;
  int read = ReadGenepopLabelBaseline(baselineIn, set, baselineLog);
  // With a mixture the baseline was usually converted and logged just before;
  // its messages are repeated only when they explain a failure.
  if (!withMixture || read != 0) CopyLog(baselineLog, log);
  if (read != 0) {
    LogAppend(log, "Baseline conversion Error");
    status = kGenepopBaselineFailed;
  } else if (!controlOut.empty() && CountStocksWithFish(set) < 2) {
    // A run compares stocks; with fewer than two there is nothing to
    // estimate, and the generated control file would be refused. Nothing is
    // written.
    LogAppend(log, "%s holds %d population%s with fish; a run needs at least 2", baselineIn.c_str(),
              CountStocksWithFish(set), CountStocksWithFish(set) == 1 ? "" : "s");
    LogAppend(log, "Baseline conversion Error");
    status = kGenepopBaselineFailed;
  } else {
    if (!withMixture) LogAppend(log, "Parsed");
    if (!WriteSpamBaselineOfSet(set, baselineOut)) {
      LogAppend(log, "Cannot write to %s: %s", baselineOut.c_str(), SystemErrorText(errno).c_str());
      LogAppend(log, "Baseline conversion Error");
      status = kGenepopBaselineFailed;
    } else if (!withMixture) {
      LogAppend(log, "Baseline converted");
    }
  }

  if (withMixture && status == kGenepopOk) {
    LocusTable table = BuildLocusTable(set);
    if (ConvertMixture(mixtureIn, mixtureOut, table, log) == 0) {
      LogAppend(log, "Mixture converted");
    } else {
      LogAppend(log, "Mixture conversion Error");
      status = kGenepopMixtureFailed;
    }
  }

  if (status == kGenepopOk && !controlOut.empty()) {
    if (!WriteGenepopControlFile(set, controlOut, baselineOut, mixtureOut)) {
      LogAppend(log, "Cannot write to %s: %s", controlOut.c_str(), SystemErrorText(errno).c_str());
      status = kGenepopControlFailed;
    }
  }
  return status;
}

}  // namespace mixora
