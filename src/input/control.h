#pragma once
// The run definition: the in-memory description of one analysis while it is
// prepared. Each member owns its arrays; releasing a member releases them all.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/error_flags.h"
#include "core/log_buffer.h"

namespace mixora {

// Flag word of a character, stock, group or fish. An item takes part in a run
// exactly when the low 16 bits are zero.
enum ItemFlags : int32_t {
  kItemExcluded = 0x1,
  kItemMissingLoci = 0x8,
  kItemNotInBaseline = 0x10,
  kItemNoAlleles = 0x20,
  kItemFirstOfSample = 0x10000,
};
inline bool TakesPart(int32_t flags) { return (flags & 0xFFFF) == 0; }

enum ControlFileKind : int32_t {
  kControlUnknown = 0,
  kControlTalmo = 1,
  kControlSpam = 2,
  kControlMixora = 3,
};
enum BaselineFormat : int32_t {
  kBaselineUnknown = 0,
  kBaselineTalmo = 1,
  kBaselineSpam = 2,
  kBaselineGenepop = 3,
  kBaselineGenepopLabel = 4,
  kBaselineOncor = 5,
};
enum MixtureFormat : int32_t {
  kMixtureUnknown = 0,
  kMixtureSpam = 1,
  kMixtureGenepop = 2,
  kMixtureGenepopLabel = 3,
  kMixtureOncor = 4,
};
inline constexpr int32_t kFormatNotFound = -1;

// Display names ("Not Found" for -1).
const char* ControlKindName(int32_t kind);       // "Mixora Control", ...
const char* ControlKindShortName(int32_t kind);  // "Mixora", ...
const char* BaselineFormatName(int32_t format);
const char* MixtureFormatName(int32_t format);

// Every control-file keyword, the file paths and the file kinds. This block is
// stored byte for byte in the run control file: do not reorder or resize.
struct RunSettings {
  uint8_t FileKinds[4];  // control kind, baseline format, mixture format, 0
  int32_t PrintBaseline;
  int32_t PrintMixture;
  int32_t DropFish;
  int32_t ChangeSeeds;
  int32_t NumberOfStocks;
  int32_t NumberOfChars;
  int32_t Levels;
  int32_t NumberOfChains;
  int32_t NumberOfReps;
  int32_t Seed1;
  int32_t Seed2;
  int32_t RanGen;  // 0 RandLib, 1 MT19937
  int32_t StartStock[4];
  int32_t MaxMissingLoci;
  int32_t Timer;
  int32_t SaveEvery;
  int32_t NumberToKeep;
  int32_t ThinIse;
  int32_t ThinSta;
  int32_t PriorWeightsGiven;
  int32_t InformativePrior;
  int32_t Padding;
  double Accuracy;
  double Quantile;
  double Probability;
  double Percentile;
  char Title[80];
  char MixtureFile[260];
  char BaselineFile[260];
  char OutputFolder[260];
  char ControlFilePath[260];
  char Species[32];
  char BaseDesc[88];
};
inline constexpr std::size_t kRunSettingsSize = 1376;
static_assert(sizeof(RunSettings) == kRunSettingsSize);
static_assert(offsetof(RunSettings, Accuracy) == 104);
static_assert(offsetof(RunSettings, BaseDesc) == 1288);

// Copies text into a fixed field, cutting it to the field's capacity.
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text) {
  std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  for (std::size_t i = 0; i < N; ++i) field[i] = i < n ? text[i] : '\0';
}
template <std::size_t N>
std::string GetField(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

struct MixtureData {
  int32_t fishCount = 0;
  int32_t charCount = 0;
  int32_t fishNameWidth = 0;
  int32_t charNameWidth = 0;
  int32_t maxPositions = 0;
  std::vector<int32_t> positions;  // [C]
  std::vector<int32_t> charId;     // [C]
  std::vector<std::string> fishNames;
  std::vector<std::string> charNames;
  std::vector<int32_t> genotypes;  // [(f * C + c) * 2 + j], 1-based positions, 0 missing
  int32_t badCount = 0;
  std::vector<int32_t> badFlags;
  std::vector<std::string> badNames;
  std::vector<int32_t> fishFlags;  // [F]
  std::string title;               // at most 99 characters
  // The file the fish were read from and each fish's line in it (from 1),
  // so a fish the checks leave out can be found. Empty when the mixture
  // did not come from a file.
  std::string file;
  std::vector<int32_t> fishLines;  // [F]
};

struct CharacterBlock {
  int32_t count = 0;
  int32_t excludedCount = 0;
  int32_t nameWidth = 0;
  int32_t maxAlleles = 0;
  std::vector<int32_t> alleleCount;
  std::vector<int32_t> charId;
  std::vector<std::string> names;
  std::vector<int32_t> isLocus;
  std::vector<int32_t> flags;
};

struct BaselineData {
  int32_t stockCount = 0;
  int32_t charCount = 0;
  int32_t stockNameWidth = 0;
  int32_t charNameWidth = 0;
  int32_t maxAlleles = 0;
  std::vector<int32_t> alleleCount;  // [C]
  std::vector<int32_t> counts;       // [(s * C + c) * A + k]
  std::vector<int32_t> totals;       // [s * C + c]
  std::vector<std::string> stockNames;
  std::vector<std::string> charNames;
  std::vector<int32_t> stockId;
  std::vector<int32_t> charId;
  // Where each character first appears in the file: its line (from 1) and
  // the stock (index into stockId) that line belongs to, so a character the
  // control file lacks can be traced to the line that named it. Empty for
  // baselines not read from a file.
  std::vector<int32_t> charFirstLine;
  std::vector<int32_t> charFirstStock;
};

struct StockBlock {
  int32_t count = 0;
  int32_t excludedCount = 0;
  int32_t nameWidth = 0;
  int32_t levelCount = 0;
  std::vector<int32_t> stockId;
  std::vector<std::string> names;
  std::array<std::vector<int32_t>, 5> groupAt;  // [level k-1][stock]
  std::vector<double> priorWeight;
  std::vector<int32_t> flags;
};

struct GroupBlock {
  int32_t count = 0;
  int32_t excludedCount = 0;
  int32_t nameWidth = 0;
  int32_t maxLevel = 0;
  std::vector<int32_t> level;  // 0-based
  std::vector<int32_t> groupId;
  std::vector<std::string> names;
  std::vector<int32_t> flags;
};

struct Control {
  std::unique_ptr<RunSettings> settings;
  std::unique_ptr<MixtureData> mixture;
  std::unique_ptr<CharacterBlock> characters;
  std::unique_ptr<BaselineData> baseline;
  std::unique_ptr<StockBlock> stocks;
  std::unique_ptr<GroupBlock> groups;
  int32_t mixtureFormat = 0;
  int32_t baselineFormat = 0;
  int32_t controlKind = 0;
  LogBuffer log;
};

// Releases whatever the Control holds, then makes six fresh zero-filled
// members. Returns 1 (the members cannot fail to be made short of the process
// running out of memory, which ends it).
int InitControl(Control& control);

// Releases the six members and resets mixtureFormat and baselineFormat to 0.
void ReleaseControl(Control& control);

}  // namespace mixora
