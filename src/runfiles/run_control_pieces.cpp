#include "runfiles/run_control_pieces.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/lookups.h"
#include "core/text_file.h"
#include "input/mixture_reader.h"
#include "runfiles/baseline_priors.h"

namespace mixora {

namespace {

// Stored field sizes of the mixture record texts (the NUL included).
constexpr std::size_t kVialField = 100;
constexpr std::size_t kDescField = 50;
constexpr std::size_t kDateField = 50;
constexpr std::size_t kAreaField = 50;
constexpr std::size_t kGearField = 100;

std::string FieldText(const std::string& text, std::size_t field) {
  std::string trimmed = TrimLine(text);
  if (trimmed.size() > field - 1) trimmed.resize(field - 1);
  return trimmed;
}

int32_t SafeId(const std::vector<int32_t>& values, std::size_t i) {
  return i < values.size() ? values[i] : 0;
}

const std::string& SafeName(const std::vector<std::string>& names, std::size_t i) {
  static const std::string empty;
  return i < names.size() ? names[i] : empty;
}

int32_t SafeFlags(const std::vector<int32_t>& flags, std::size_t i) {
  return i < flags.size() ? flags[i] : 0;
}

// The stored name width: the member's own width, widened when a stored name
// is longer, so no name is ever cut by its slot.
int32_t StoredWidth(int32_t memberWidth, const std::vector<std::string>& names) {
  return std::max<int32_t>(std::max<int32_t>(memberWidth, 0), LongestName(names));
}

}  // namespace

MixtureRecord ParsePopLine(const std::string& line) {
  MixtureRecord record;
  std::string text = TrimLine(line);
  std::size_t at = text.size() >= 3 && NamesEqual(text.substr(0, 3), "POP") ? 3 : 0;
  const char* start = text.c_str() + at;
  char* end = nullptr;
  long year = std::strtol(start, &end, 10);
  if (end != start) {
    record.year = static_cast<int32_t>(std::clamp<long>(year, INT32_MIN, INT32_MAX));
    at += static_cast<std::size_t>(end - start);
  }
  std::size_t comma = text.find(',', at);
  if (comma == std::string::npos) return record;
  // Vial, Date, Area and Gear end at a comma; Desc. takes the rest, commas
  // and all.
  std::vector<std::string> parts;
  std::size_t from = comma + 1;
  while (parts.size() < 4) {
    std::size_t next = text.find(',', from);
    if (next == std::string::npos) break;
    parts.push_back(text.substr(from, next - from));
    from = next + 1;
  }
  parts.push_back(text.substr(from));
  parts.resize(5);
  record.vial = FieldText(parts[0], kVialField);
  record.date = FieldText(parts[1], kDateField);
  record.area = FieldText(parts[2], kAreaField);
  record.gear = FieldText(parts[3], kGearField);
  record.desc = FieldText(parts[4], kDescField);
  return record;
}

MixtureSamples ReadMixtureSamples(const std::string& mixturePath) {
  MixtureSamples samples;
  TextFile file;
  int badLine = 0;
  std::string message;
  if (ReadTextFile(mixturePath, file, badLine, message) != TextFileStatus::kOk) return samples;
  samples.readable = true;
  bool titleSeen = false;
  for (const std::string& raw : file.lines) {
    std::string line = TrimLine(raw);
    if (line.empty()) continue;
    // The first line of a Genepop file is its title, which may well begin
    // with "Pop..." without opening a sample.
    if (!titleSeen) {
      titleSeen = true;
      continue;
    }
    if (IsPopLine(line)) {
      samples.records.push_back(ParsePopLine(line));
      samples.sizes.push_back(0);
    } else if (!samples.sizes.empty() && !IsSkippedLine(line)) {
      ++samples.sizes.back();
    }
  }
  return samples;
}

std::vector<int> AssignFishToSamples(const MixtureData& mixture, const MixtureSamples& samples) {
  int fishCount = std::max(mixture.fishCount, 0);
  std::vector<int> sampleOf(static_cast<std::size_t>(fishCount), 0);
  long long counted = 0;
  for (int size : samples.sizes) counted += size;
  if (!samples.sizes.empty() && counted == fishCount) {
    int f = 0;
    for (std::size_t m = 0; m < samples.sizes.size(); ++m)
      for (int i = 0; i < samples.sizes[m]; ++i) sampleOf[static_cast<std::size_t>(f++)] = static_cast<int>(m);
    return sampleOf;
  }
  int sample = -1;
  for (int f = 0; f < fishCount; ++f) {
    if (SafeFlags(mixture.fishFlags, static_cast<std::size_t>(f)) & kItemFirstOfSample) ++sample;
    sampleOf[static_cast<std::size_t>(f)] = std::max(sample, 0);
  }
  return sampleOf;
}

namespace {

void PackCharacters(const CharacterBlock& chars, RunRecord& pieces) {
  pieces.maxAlleles = std::max(chars.maxAlleles, 0);
  for (int i = 0; i < chars.count; ++i) {
    std::size_t at = static_cast<std::size_t>(i);
    if (!TakesPart(SafeFlags(chars.flags, at))) continue;
    int32_t alleles = std::clamp(SafeId(chars.alleleCount, at), 0, pieces.maxAlleles);
    pieces.alleleCount.push_back(alleles);
    pieces.charId.push_back(SafeId(chars.charId, at));
    pieces.isLocus.push_back(SafeId(chars.isLocus, at) != 0 ? 1 : 0);
    pieces.charNames.push_back(SafeName(chars.names, at));
  }
  pieces.charNameWidth = StoredWidth(chars.nameWidth, pieces.charNames);
}

void PackStocks(const StockBlock& stocks, int levels, RunRecord& pieces, std::vector<double>& weights) {
  std::vector<int> kept;
  for (int i = 0; i < stocks.count; ++i)
    if (TakesPart(SafeFlags(stocks.flags, static_cast<std::size_t>(i)))) kept.push_back(i);
  for (int i : kept) {
    std::size_t at = static_cast<std::size_t>(i);
    pieces.stockId.push_back(SafeId(stocks.stockId, at));
    pieces.stockNames.push_back(SafeName(stocks.names, at));
    weights.push_back(at < stocks.priorWeight.size() ? stocks.priorWeight[at] : 0.0);
  }
  pieces.stockNameWidth = StoredWidth(stocks.nameWidth, pieces.stockNames);
  pieces.groupAt.assign(static_cast<std::size_t>(levels), {});
  for (int level = 0; level < levels; ++level) {
    std::vector<int32_t>& row = pieces.groupAt[static_cast<std::size_t>(level)];
    for (int i : kept) {
      const std::vector<int32_t>* source =
          level < static_cast<int>(stocks.groupAt.size()) ? &stocks.groupAt[static_cast<std::size_t>(level)] : nullptr;
      row.push_back(source ? SafeId(*source, static_cast<std::size_t>(i)) : 0);
    }
  }
}

void PackGroups(const GroupBlock& groups, RunRecord& pieces) {
  for (int i = 0; i < groups.count; ++i) {
    std::size_t at = static_cast<std::size_t>(i);
    if (!TakesPart(SafeFlags(groups.flags, at))) continue;
    pieces.groupLevel.push_back(SafeId(groups.level, at));
    pieces.groupId.push_back(SafeId(groups.groupId, at));
    pieces.groupNames.push_back(SafeName(groups.names, at));
  }
  pieces.groupCount = static_cast<int32_t>(pieces.groupId.size());
  pieces.groupNameWidth = StoredWidth(groups.nameWidth, pieces.groupNames);
}

// Counts of baseline stock and character matched to each run stock and
// character. Characters match by name when the baseline names them and by
// the identifiers the baseline check wrote otherwise; unmatched ones stay 0.
void PackBaseline(const BaselineData& base, RunRecord& pieces) {
  std::size_t S = pieces.stockId.size(), C = pieces.charId.size();
  std::size_t A = static_cast<std::size_t>(pieces.maxAlleles);
  pieces.counts.assign(S * C * A, 0);
  bool byName = base.charNameWidth > 0 && static_cast<int>(base.charNames.size()) >= base.charCount;
  std::size_t baseA = static_cast<std::size_t>(std::max(base.maxAlleles, 0));
  for (std::size_t s = 0; s < S; ++s) {
    int bs = FindValue(base.stockId, pieces.stockId[s]);
    if (bs < 0 || bs >= base.stockCount) continue;
    for (std::size_t c = 0; c < C; ++c) {
      int bc = byName ? FindName(base.charNames, pieces.charNames[c]) : FindValue(base.charId, pieces.charId[c]);
      if (bc < 0 || bc >= base.charCount) continue;
      std::size_t from = (static_cast<std::size_t>(bs) * static_cast<std::size_t>(base.charCount) +
                          static_cast<std::size_t>(bc)) * baseA;
      std::size_t n = std::min(A, baseA);
      for (std::size_t k = 0; k < n && from + k < base.counts.size(); ++k)
        pieces.counts[(s * C + c) * A + k] = base.counts[from + k];
    }
  }
}

void PackMixture(const Control& control, RunRecord& pieces) {
  const MixtureData& mix = *control.mixture;
  pieces.mixtureTitle = mix.title.substr(0, std::min<std::size_t>(mix.title.size(), 99));
  MixtureSamples samples = ReadMixtureSamples(GetField(control.settings->MixtureFile));
  std::vector<int> sampleOf = AssignFishToSamples(mix, samples);
  int sampleCount = 0;
  for (int m : sampleOf) sampleCount = std::max(sampleCount, m + 1);

  // A mixture without "POP" lines (the SPAM layout) is one sample: without a
  // record it could never be opened for analysis.
  int P = std::max<int>({static_cast<int>(samples.records.size()), sampleCount, 1});
  pieces.mixtures = samples.records;
  pieces.mixtures.resize(static_cast<std::size_t>(P));
  pieces.mixtureCount = P;

  // The column that pairing gave each character's identifier; a character no
  // column holds is missing in every fish.
  std::size_t C = pieces.charId.size();
  std::vector<int> columnOf(C, -1);
  for (std::size_t c = 0; c < C; ++c) {
    int column = FindValue(mix.charId, pieces.charId[c]);
    if (column < mix.charCount) columnOf[c] = column;
  }
  std::vector<int> storedBefore(static_cast<std::size_t>(P) + 1, 0);
  for (int f = 0; f < mix.fishCount; ++f) {
    std::size_t at = static_cast<std::size_t>(f);
    int32_t flags = SafeFlags(mix.fishFlags, at);
    int sample = sampleOf[at];
    if (!TakesPart(flags)) {
      pieces.badFlags.push_back(static_cast<int32_t>((static_cast<uint32_t>(flags & 0xFFFF) << 16) |
                                                     (static_cast<uint32_t>(sample) & 0xFFFF)));
      pieces.badNames.push_back(SafeName(mix.fishNames, at));
      continue;
    }
    ++storedBefore[static_cast<std::size_t>(sample) + 1];
    pieces.fishNames.push_back(SafeName(mix.fishNames, at));
    const std::size_t columns = static_cast<std::size_t>(std::max(mix.charCount, 0));
    for (std::size_t c = 0; c < C; ++c)
      for (std::size_t j = 0; j < 2; ++j) {
        std::size_t g = (at * columns + static_cast<std::size_t>(std::max(columnOf[c], 0))) * 2 + j;
        pieces.genotypes.push_back(columnOf[c] >= 0 && g < mix.genotypes.size() ? mix.genotypes[g] : 0);
      }
  }
  // A sample's first individual counts the stored fish of all samples before
  // it, so a sample whose first fish was left out still starts at its own
  // fish, and an emptied sample starts where the next one does.
  for (int m = 0; m < P; ++m) {
    storedBefore[static_cast<std::size_t>(m) + 1] += storedBefore[static_cast<std::size_t>(m)];
    pieces.mixtures[static_cast<std::size_t>(m)].firstIndividual =
        static_cast<uint32_t>(storedBefore[static_cast<std::size_t>(m)]);
    pieces.mixtures[static_cast<std::size_t>(m)].number = static_cast<uint32_t>(m);
  }
  pieces.fishCount = static_cast<int32_t>(pieces.fishNames.size());
  pieces.badCount = static_cast<int32_t>(pieces.badNames.size());
  std::vector<std::string> allNames = pieces.fishNames;
  allNames.insert(allNames.end(), pieces.badNames.begin(), pieces.badNames.end());
  pieces.fishNameWidth = StoredWidth(mix.fishNameWidth, allNames);
}

// Priors from the counts in the run's order. A failure is reported by the
// computation itself; the pieces keep zero priors where it could not fill
// them, and the file is written all the same.
int ComputePiecesPriors(RunRecord& pieces, const std::vector<double>& weights, const Interaction& ui) {
  std::size_t S = pieces.stockId.size(), C = pieces.charId.size();
  std::size_t A = static_cast<std::size_t>(pieces.maxAlleles);
  pieces.allelePrior.assign(C * A, 0.0);
  pieces.lambda.assign(C, 0.0);
  pieces.beta.assign(S, 0.0);
  return ComputeBaselinePriors(ui, static_cast<int32_t>(S), static_cast<int32_t>(C), pieces.maxAlleles,
                               pieces.alleleCount, pieces.counts, pieces.charNames,
                               pieces.settings.InformativePrior != 0, weights, pieces.allelePrior,
                               pieces.lambda, pieces.beta);
}

}  // namespace

int BuildRunPieces(const Control& control, RunRecord& pieces, const Interaction& ui) {
  pieces = RunRecord{};
  static const RunSettings kNoSettings{};
  static const CharacterBlock kNoCharacters;
  static const StockBlock kNoStocks;
  static const GroupBlock kNoGroups;
  static const BaselineData kNoBaseline;
  const RunSettings& settings = control.settings ? *control.settings : kNoSettings;
  pieces.settings = settings;
  int levels = std::clamp(settings.Levels, 0, 5);

  PackCharacters(control.characters ? *control.characters : kNoCharacters, pieces);
  std::vector<double> weights;
  PackStocks(control.stocks ? *control.stocks : kNoStocks, levels, pieces, weights);
  PackGroups(control.groups ? *control.groups : kNoGroups, pieces);
  PackBaseline(control.baseline ? *control.baseline : kNoBaseline, pieces);
  pieces.settings.NumberOfStocks = static_cast<int32_t>(pieces.stockId.size());
  pieces.settings.NumberOfChars = static_cast<int32_t>(pieces.charId.size());
  pieces.settings.Levels = levels;

  if (control.mixture && control.settings) {
    PackMixture(control, pieces);
  } else {
    pieces.mixtureCount = 1;
    pieces.mixtures.resize(1);
  }
  return ComputePiecesPriors(pieces, weights, ui);
}

}  // namespace mixora
