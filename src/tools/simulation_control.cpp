#include "tools/simulation_control.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/error_flags.h"
#include "core/lookups.h"
#include "core/text_file.h"
#include "input/line_scanner.h"

namespace mixora {

namespace {

#define MIXORA_SIM_FIELD(name) offsetof(SimulationSettings, name), sizeof(SimulationSettings::name)

const KeywordSpec kSimulationKeywords[] = {
    {"RunTitle", kKeywordText, true, false, 0, 0, MIXORA_SIM_FIELD(RunTitle), ParseTextValue, 0,
     FormatTextValue},
    {"BaseFile", kKeywordText, true, true, 0, 0, MIXORA_SIM_FIELD(BaseFile), ParseTextValue, 0,
     FormatTextValue},
    {"MixFileOut", kKeywordText, true, true, 0, 0, MIXORA_SIM_FIELD(MixFileOut), ParseTextValue,
     0, FormatTextValue},
    {"Year", kKeywordInteger, true, false, 2000, 2020, MIXORA_SIM_FIELD(Year), ParseIntegerValue,
     0, FormatIntegerValue},
    {"NumMixtures", kKeywordInteger, true, false, 1, 200, MIXORA_SIM_FIELD(NumMixtures),
     ParseIntegerValue, 0, FormatIntegerValue},
    {"NumFish", kKeywordInteger, true, false, 2, 1000, MIXORA_SIM_FIELD(NumFish),
     ParseIntegerValue, 0, FormatIntegerValue},
    {"NumSamples", kKeywordInteger, true, false, 2, 10000, MIXORA_SIM_FIELD(NumSamples),
     ParseIntegerValue, 0, FormatIntegerValue},
    {"Seed", kKeywordInteger, true, false, 0, 0, MIXORA_SIM_FIELD(Seed), ParseIntegerValue, 0,
     FormatIntegerValue},
    {"Replacement", kKeywordBoolean, false, false, 0, 0, MIXORA_SIM_FIELD(Replacement),
     ParseBooleanValue, 0, FormatBooleanValue},
};

#undef MIXORA_SIM_FIELD

constexpr const char* kHeader = "Mixora simulator";

bool BeginsWith(const std::string& line, const char* word) {
  std::size_t length = std::strlen(word);
  return line.size() >= length && NamesEqual(line.substr(0, length), word);
}

// Index of the first line after the header that opens the named block, or -1.
int FindBlock(const TextFile& file, const char* word) {
  for (std::size_t i = 1; i < file.lines.size(); ++i) {
    std::string line = TrimLine(file.lines[i]);
    if (BeginsWith(line, word) && line.find('=') != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

bool HeaderMatches(const TextFile& file) {
  if (file.lines.empty()) return false;
  std::string line = file.lines[0];
  std::size_t bang = line.find('!');
  if (bang != std::string::npos) line.erase(bang);
  return NamesEqual(TrimLine(line), kHeader);
}

// The character names: one per line up to the first empty line, the first
// word of each; "!" lines are comments.
bool ReadCharBlock(const TextFile& file, Simulation& sim, LogBuffer& log) {
  int start = FindBlock(file, "Chars");
  if (start < 0) {
    LogAppend(log, "No char block");
    return false;
  }
  for (std::size_t i = static_cast<std::size_t>(start) + 1; i < file.lines.size(); ++i) {
    std::string line = TrimLine(file.lines[i]);
    if (line.empty()) break;
    if (line[0] == '!') continue;
    if (sim.charNames.size() == static_cast<std::size_t>(kMaxSimulationChars)) {
      LogAppend(log, "Too many chars");
      return false;
    }
    std::size_t at = 0;
    std::string name;
    ScanWord(line, at, name);
    sim.charNames.push_back(name);
  }
  if (sim.charNames.empty()) {
    // A block without a single name would simulate fish without genotypes.
    LogAppend(log, "No char block");
    return false;
  }
  return true;
}

// The stock proportions: "ID proportion" per line up to the first empty line
// or the first line that does not read so; "!" lines are comments.
bool ReadStockPropBlock(const TextFile& file, Simulation& sim, LogBuffer& log) {
  int start = FindBlock(file, "StockProp");
  if (start < 0) {
    LogAppend(log, "No StockProp block");
    return false;
  }
  for (std::size_t i = static_cast<std::size_t>(start) + 1; i < file.lines.size(); ++i) {
    std::string line = TrimLine(file.lines[i]);
    if (line.empty()) break;
    if (line[0] == '!') continue;
    std::size_t at = 0;
    int32_t id = 0;
    double proportion = 0.0;
    ScanResult idRead = ScanInt(line, at, id);
    int lineNumber = static_cast<int>(i) + 1;
    if (idRead == kScanNone || !ScanReal(line, at, proportion)) {
      // The block ends here; a typo would otherwise drop the stocks after it
      // without a word.
      LogAppend(log, "Info: %s, line %d: the StockProp block ends at \"%s\"", file.path.c_str(),
                lineNumber, line.c_str());
      break;
    }
    if (idRead == kScanTooLarge) {
      LogAppend(log, "%s, line %d: stock ID beyond the 32-bit integer range", file.path.c_str(),
                lineNumber);
      return false;
    }
    // Negative or non-finite proportions would make the pool counts
    // meaningless (negative counts, or counts that cannot add up).
    if (!std::isfinite(proportion) || proportion < 0.0) {
      LogAppend(log, "%s, line %d: proportion of stock %d must be a number of 0 or more",
                file.path.c_str(), lineNumber, id);
      return false;
    }
    sim.stockId.push_back(id);
    sim.proportion.push_back(proportion);
  }
  if (sim.stockId.empty()) {
    LogAppend(log, "No StockProp block");
    return false;
  }
  double sum = 0.0;
  for (double p : sim.proportion) sum += p;
  if (!(sum > 0.0) || !std::isfinite(sum)) {
    LogAppend(log, "%s: the StockProp proportions add up to %g; they must add up to more than 0",
              file.path.c_str(), sum);
    return false;
  }
  for (double& p : sim.proportion) p /= sum;
  return true;
}

ErrorFlags CheckKeywords(const TextFile& file, Simulation& sim, LogBuffer& log) {
  // The header line is not a keyword line, even when its comment holds "=".
  TextFile keywordLines = file;
  keywordLines.lines[0].clear();
  SimulationSettings& settings = sim.settings;
  ErrorFlags flags = ApplyKeywordLines(keywordLines, '=', kSimulationKeywords,
                                       SimulationKeywordCount(), &settings, log);
  if ((flags & kErrMissingKeywords) == 0 && flags != kErrCannotParseLine &&
      settings.NumSamples < settings.NumFish) {
    LogAppend(log, "NumSamples(%d) less than nFish(%d)", settings.NumSamples, settings.NumFish);
    flags |= kErrCannotParseLine;
  }
  return flags;
}

}  // namespace

const KeywordSpec* SimulationKeywordTable() { return kSimulationKeywords; }

std::size_t SimulationKeywordCount() {
  return sizeof kSimulationKeywords / sizeof kSimulationKeywords[0];
}

std::unique_ptr<Simulation> ReadSimulationControl(const std::string& path, LogBuffer& log) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (status == TextFileStatus::kCannotOpen) {
    LogAppend(log, "Cannot open %s", path.c_str());
    return nullptr;
  }
  if (status != TextFileStatus::kOk) {
    LogAppend(log, "%s", message.c_str());
    return nullptr;
  }
  if (!HeaderMatches(file)) {
    LogAppend(log, "Incorrect header");
    return nullptr;
  }
  try {
    auto sim = std::make_unique<Simulation>();
    sim->controlPath = path;
    sim->settings.Replacement = 1;
    if (!ReadCharBlock(file, *sim, log) || !ReadStockPropBlock(file, *sim, log)) return nullptr;
    ErrorFlags flags = CheckKeywords(file, *sim, log);
    if (flags != 0) {
      LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
      return nullptr;
    }
    LogAppend(log, "All keywords found and values in range");
    return sim;
  } catch (const std::bad_alloc&) {
    LogAppend(log, "%s", DescribeErrorFlags(kErrMemoryFailure).c_str());
    return nullptr;
  }
}

}  // namespace mixora
