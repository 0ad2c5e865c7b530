#include "input/control_keywords.h"

#include <cstddef>

#include "core/run_limits.h"
#include "input/input_file.h"
#include "input/unknown_keywords.h"

namespace mixora {

namespace {

#define MIXORA_FIELD(name) offsetof(RunSettings, name), sizeof(RunSettings::name)

// Summary slots, one per setting, in the order of the text table.
enum Display : int32_t {
  kShowTitle, kShowBaselineFile, kShowMixtureFile, kShowOutputFolder, kShowSpecies,
  kShowBaseDesc, kShowPrintBaseline, kShowPrintMixture, kShowDropFish, kShowChangeSeeds,
  kShowInformativePrior, kShowNumberOfStocks, kShowNumberOfChars, kShowLevels,
  kShowNumberOfChains, kShowNumberOfReps, kShowSeed1, kShowSeed2, kShowStartStock, kShowRanGen,
  kShowMaxMissingLoci, kShowTimer, kShowSaveEvery, kShowNumberToKeep, kShowThinIse,
  kShowThinSta, kShowAccuracy, kShowQuantile, kShowProbability, kShowPercentile,
};

#define TEXT_ROW(name, required, path) \
  {#name, kKeywordText, required, path, 0, 0, MIXORA_FIELD(name), ParseTextValue, kShow##name, FormatTextValue}
#define BOOL_ROW(name) \
  {#name, kKeywordBoolean, false, false, 0, 0, MIXORA_FIELD(name), ParseBooleanValue, kShow##name, FormatBooleanValue}
#define INT_ROW(name, required, min, max) \
  {#name, kKeywordInteger, required, false, min, max, MIXORA_FIELD(name), ParseIntegerValue, kShow##name, FormatIntegerValue}
#define REAL_ROW(name, min, max) \
  {#name, kKeywordReal, false, false, min, max, MIXORA_FIELD(name), ParseRealValue, kShow##name, FormatRealValue}

const KeywordSpec kTextKeywords[] = {
    TEXT_ROW(Title, true, false),
    TEXT_ROW(BaselineFile, true, true),
    TEXT_ROW(MixtureFile, true, true),
    TEXT_ROW(OutputFolder, false, true),
    TEXT_ROW(Species, true, false),
    TEXT_ROW(BaseDesc, false, false),
    BOOL_ROW(PrintBaseline),
    BOOL_ROW(PrintMixture),
    BOOL_ROW(DropFish),
    BOOL_ROW(ChangeSeeds),
    BOOL_ROW(InformativePrior),
    INT_ROW(NumberOfStocks, true, 2, 999),
    INT_ROW(NumberOfChars, true, 2, kMaxCharacters),
    INT_ROW(Levels, true, 1, 5),
    INT_ROW(NumberOfChains, true, 1, 100),
    INT_ROW(NumberOfReps, true, 10, 99999999),
    INT_ROW(Seed1, true, 0, 0),
    INT_ROW(Seed2, true, 0, 0),
    {"StartStock", kKeywordInteger, true, false, 0, 0, MIXORA_FIELD(StartStock),
     ParseStockListValue, kShowStartStock, FormatStockListValue},
    {"RanGen", kKeywordInteger, false, false, 0, 1, MIXORA_FIELD(RanGen), ParseGeneratorValue,
     kShowRanGen, FormatGeneratorValue},
    INT_ROW(MaxMissingLoci, false, 1, 999),
    INT_ROW(Timer, false, 0, 0),
    INT_ROW(SaveEvery, false, 100, 5000),
    INT_ROW(NumberToKeep, false, 0, 0),
    INT_ROW(ThinIse, false, 1, 1000),
    INT_ROW(ThinSta, false, 1, 1000),
    REAL_ROW(Accuracy, 1, 999),
    REAL_ROW(Quantile, 1, 999),
    REAL_ROW(Probability, 1, 999),
    REAL_ROW(Percentile, 1, 999),
};

const KeywordSpec kSpamKeywords[] = {
    {"print mixture", kKeywordBoolean, false, false, 0, 0, MIXORA_FIELD(PrintMixture),
     ParseBooleanValue, kShowPrintMixture, FormatBooleanValue},
    {"print baseline", kKeywordBoolean, false, false, 0, 0, MIXORA_FIELD(PrintBaseline),
     ParseBooleanValue, kShowPrintBaseline, FormatBooleanValue},
    {"number of stocks", kKeywordInteger, true, false, 2, 999, MIXORA_FIELD(NumberOfStocks),
     ParseIntegerValue, kShowNumberOfStocks, FormatIntegerValue},
    {"number of characters", kKeywordInteger, true, false, 2, kMaxCharacters,
     MIXORA_FIELD(NumberOfChars),
     ParseIntegerValue, kShowNumberOfChars, FormatIntegerValue},
    {"maximum # of iterations", kKeywordInteger, true, false, 10, 99999999,
     MIXORA_FIELD(NumberOfReps), ParseIntegerValue, kShowNumberOfReps, FormatIntegerValue},
    {"random seed", kKeywordInteger, true, false, 0, 0, MIXORA_FIELD(Seed1), ParseIntegerValue,
     kShowSeed1, FormatIntegerValue},
    {"second random", kKeywordInteger, true, false, 0, 0, MIXORA_FIELD(Seed2), ParseIntegerValue,
     kShowSeed2, FormatIntegerValue},
    {"maximum number of missing loci", kKeywordInteger, false, false, 1, 999,
     MIXORA_FIELD(MaxMissingLoci), ParseIntegerValue, kShowMaxMissingLoci, FormatIntegerValue},
    {"Baseline", kKeywordText, true, true, 0, 0, MIXORA_FIELD(BaselineFile), ParseTextValue,
     kShowBaselineFile, FormatTextValue},
    {"Mixture", kKeywordText, true, true, 0, 0, MIXORA_FIELD(MixtureFile), ParseTextValue,
     kShowMixtureFile, FormatTextValue},
    {"Output", kKeywordText, false, true, 0, 0, MIXORA_FIELD(OutputFolder), ParseTextValue,
     kShowOutputFolder, FormatTextValue},
};

#undef TEXT_ROW
#undef BOOL_ROW
#undef INT_ROW
#undef REAL_ROW
#undef MIXORA_FIELD

}  // namespace

const KeywordSpec* TextKeywordTable() { return kTextKeywords; }
std::size_t TextKeywordCount() { return std::size(kTextKeywords); }
const KeywordSpec* SpamKeywordTable() { return kSpamKeywords; }
std::size_t SpamKeywordCount() { return std::size(kSpamKeywords); }

void SetDefaultSettings(RunSettings& settings) {
  settings.RanGen = 1;
  settings.ThinIse = 1;
  settings.ThinSta = 1;
  settings.DropFish = 0;
  settings.MaxMissingLoci = 999;
  settings.Timer = 1000;
  settings.SaveEvery = 100;
  settings.NumberToKeep = 1000;
  for (int32_t& id : settings.StartStock) id = -1;
  settings.Accuracy = 0.02;
  settings.Quantile = 0.975;
  settings.Probability = 0.95;
  settings.Percentile = 0.975;
}

ErrorFlags ParseKeywords(const std::string& path, int32_t kind, RunSettings& settings,
                         LogBuffer& log) {
  if (kind != kControlSpam && kind != kControlMixora) return kErrFatal;
  const bool spam = kind == kControlSpam;
  const char* label = spam ? "SPAM Control" : "Mixora Control";
  TextFile file;
  ErrorFlags flags = OpenInputFile(path, label, log, file);
  if (flags == kErrFatal) return flags;
  if (flags == 0) {
    flags = spam ? ApplyKeywordLines(file, ':', kSpamKeywords, std::size(kSpamKeywords),
                                     &settings, log)
                 : ApplyKeywordLines(file, '=', kTextKeywords, std::size(kTextKeywords),
                                     &settings, log);
    // A SPAM control file lists its populations with colons of their own, so
    // only the text control file's lines can be told from misspellings.
    static const char* const kBlockHeads[] = {"Chars", "Stocks", "Groups"};
    if (!spam && flags != kErrFatal)
      flags |= CheckUnknownKeywordLines(file, '=', kTextKeywords, std::size(kTextKeywords),
                                        kBlockHeads, log);
  }
  if (flags == 0) {
    LogAppend(log, "All keywords found and values in range");
  } else {
    LogAppend(log, "Fatal error parsing %s file", label);
    LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
  }
  return flags;
}

}  // namespace mixora
