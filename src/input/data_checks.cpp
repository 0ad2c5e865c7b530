#include "input/data_checks.h"

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/log_buffer.h"
#include "core/lookups.h"
#include "input/allele_coding.h"
#include "input/stock_names.h"

namespace mixora {

namespace {

bool HasMembers(const Control& control) {
  return control.settings && control.mixture && control.characters && control.baseline &&
         control.stocks && control.groups;
}

template <typename T>
T At(const std::vector<T>& values, std::size_t i, T fallback = T{}) {
  return i < values.size() ? values[i] : fallback;
}

const std::string& NameAt(const std::vector<std::string>& names, std::size_t i) {
  static const std::string kEmpty;
  return i < names.size() ? names[i] : kEmpty;
}

bool Excluded(const std::vector<int32_t>& flags, std::size_t i) {
  return (At(flags, i) & kItemExcluded) != 0;
}

std::size_t CountOf(int32_t count) { return static_cast<std::size_t>(std::max(count, 0)); }

const char* MatchWord(bool match) { return match ? "match" : "mismatch"; }

// Baseline stock index of every stock in use that the baseline holds.
std::vector<std::size_t> UsableBaselineStocks(const Control& control) {
  const StockBlock& stocks = *control.stocks;
  const BaselineData& base = *control.baseline;
  std::vector<std::size_t> usable;
  for (std::size_t i = 0; i < CountOf(stocks.count); ++i) {
    if (Excluded(stocks.flags, i)) continue;
    int s = FindValue(base.stockId, At(stocks.stockId, i));
    if (s >= 0 && s < base.stockCount) usable.push_back(static_cast<std::size_t>(s));
  }
  return usable;
}

bool SeenInStocks(const BaselineData& base, const std::vector<std::size_t>& usable, int b,
                  int position) {
  if (b < 0 || position < 0) return false;
  const std::size_t C = CountOf(base.charCount), A = CountOf(base.maxAlleles);
  if (position >= At(base.alleleCount, static_cast<std::size_t>(b)) ||
      static_cast<std::size_t>(position) >= A)
    return false;
  for (std::size_t s : usable) {
    std::size_t at = (s * C + static_cast<std::size_t>(b)) * A + static_cast<std::size_t>(position);
    if (At(base.counts, at) != 0) return true;
  }
  return false;
}

ErrorFlags CheckBaselineStocks(Control& control) {
  StockBlock& stocks = *control.stocks;
  const BaselineData& base = *control.baseline;
  LogAppend(control.log, "\r\nChecking Baseline Stocks");
  ErrorFlags result = 0;
  for (std::size_t i = 0; i < CountOf(stocks.count) && i < stocks.flags.size(); ++i) {
    if (Excluded(stocks.flags, i)) continue;
    int32_t id = At(stocks.stockId, i);
    if (FindValue(base.stockId, id) >= 0) continue;
    stocks.flags[i] |= kItemNotInBaseline;
    result |= kErrStockNotFound;
    LogAppend(control.log, "StockID %d - %s not found in Baseline", id, NameAt(stocks.names, i).c_str());
  }
  if (!result) LogAppend(control.log, "No Baseline Stock issues found");
  return result;
}

// " (<file>, line <n>, stock <id> <name>)": where the baseline first names
// character c, so a misspelt locus in one stock can be found and mended.
std::string BaselineCharacterOrigin(const Control& control, std::size_t c) {
  const BaselineData& base = *control.baseline;
  if (c >= base.charFirstLine.size() || base.charFirstLine[c] <= 0) return "";
  const std::string file = GetField(control.settings->BaselineFile);
  std::string text = " (" + (file.empty() ? std::string() : file + ", ") + "line " +
                     std::to_string(base.charFirstLine[c]);
  const int32_t s = c < base.charFirstStock.size() ? base.charFirstStock[c] : -1;
  if (s >= 0 && static_cast<std::size_t>(s) < base.stockId.size()) {
    text += ", stock " + std::to_string(base.stockId[static_cast<std::size_t>(s)]);
    if (static_cast<std::size_t>(s) < base.stockNames.size() && !base.stockNames[s].empty())
      text += " " + base.stockNames[static_cast<std::size_t>(s)];
  }
  return text + ")";
}

// One line per stock in use that has no counts at a character in use the
// baseline holds: with a misspelt locus name the stock silently loses its
// data at the real locus, which the per-character checks do not show.
void LogStocksWithoutData(Control& control) {
  const StockBlock& stocks = *control.stocks;
  const CharacterBlock& chars = *control.characters;
  const BaselineData& base = *control.baseline;
  const std::size_t C = CountOf(base.charCount);
  for (std::size_t i = 0; i < CountOf(stocks.count) && i < stocks.flags.size(); ++i) {
    if (Excluded(stocks.flags, i)) continue;
    const int s = FindValue(base.stockId, At(stocks.stockId, i));
    if (s < 0 || s >= base.stockCount) continue;
    for (std::size_t k = 0; k < CountOf(chars.count) && k < chars.flags.size(); ++k) {
      if (Excluded(chars.flags, k)) continue;
      const int b = FindValue(base.charId, At(chars.charId, k));
      if (b < 0) continue;
      const std::size_t at = static_cast<std::size_t>(s) * C + static_cast<std::size_t>(b);
      if (at < base.totals.size() && base.totals[at] > 0) continue;
      LogAppend(control.log, "Info: stock %s has no data at character %s",
                NameAt(stocks.names, i).c_str(), NameAt(chars.names, k).c_str());
    }
  }
}

// Stock names that may be one name written two ways, and stocks of few
// baseline fish. A count-only baseline does not say how many fish it
// holds; the fish scored at a stock's best-scored character (half its gene
// copies there, rounded up) is the number its frequencies rest on.
void LogStockNotes(Control& control) {
  const StockBlock& stocks = *control.stocks;
  const CharacterBlock& chars = *control.characters;
  const BaselineData& base = *control.baseline;
  const std::size_t C = CountOf(base.charCount);
  std::vector<std::string> names;
  std::vector<int32_t> fish;
  for (std::size_t i = 0; i < CountOf(stocks.count) && i < stocks.flags.size(); ++i) {
    if (Excluded(stocks.flags, i)) continue;
    names.push_back(NameAt(stocks.names, i));
    const int s = FindValue(base.stockId, At(stocks.stockId, i));
    int32_t best = 0;
    for (std::size_t k = 0; s >= 0 && k < CountOf(chars.count) && k < chars.flags.size(); ++k) {
      if (!TakesPart(chars.flags[k])) continue;
      const int b = FindValue(base.charId, At(chars.charId, k));
      if (b >= 0) best = std::max(best, (At(base.totals, static_cast<std::size_t>(s) * C + static_cast<std::size_t>(b)) + 1) / 2);
    }
    fish.push_back(best);
  }
  for (const std::string& note : SimilarNameNotes(names, "stock")) LogAppend(control.log, "%s", note.c_str());
  for (const std::string& note : FewFishNotes(names, fish, "stock", "baseline fish at its best-scored character"))
    LogAppend(control.log, "%s", note.c_str());
}

ErrorFlags CheckBaselineCharacters(Control& control) {
  CharacterBlock& chars = *control.characters;
  BaselineData& base = *control.baseline;
  LogAppend(control.log, "\r\nChecking Baseline Characters");
  const std::size_t C = CountOf(base.charCount);
  base.charId.resize(C, -1);
  const bool byName = control.baselineFormat == kBaselineSpam ||
                      control.baselineFormat == kBaselineGenepop ||
                      control.baselineFormat == kBaselineGenepopLabel;
  for (std::size_t c = 0; c < C; ++c) {
    int k = -1;
    if (byName && c < base.charNames.size()) {
      k = FindName(chars.names, base.charNames[c]);
      if (k < 0)
        LogAppend(control.log, "Info: Char %s in Baseline not found in control file%s",
                  base.charNames[c].c_str(), BaselineCharacterOrigin(control, c).c_str());
    } else {
      k = FindValue(chars.charId, base.charId[c]);
      if (k < 0)
        LogAppend(control.log, "Info: CharID %d in Baseline not found in control file%s",
                  base.charId[c], BaselineCharacterOrigin(control, c).c_str());
    }
    base.charId[c] = k < 0 ? -1 : chars.charId[static_cast<std::size_t>(k)];
  }
  ErrorFlags result = 0;
  for (std::size_t k = 0; k < CountOf(chars.count) && k < chars.flags.size(); ++k) {
    if (Excluded(chars.flags, k)) continue;
    int32_t id = At(chars.charId, k);
    if (FindValue(base.charId, id) >= 0) continue;
    chars.flags[k] |= kItemNotInBaseline;
    LogAppend(control.log, "CharID %d - %s not found in Baseline", id, NameAt(chars.names, k).c_str());
    result = kErrCharacterNotFound;
  }
  if (!result) LogAppend(control.log, "No Baseline character issues found");
  return result;
}

ErrorFlags CheckBaselineAlleles(Control& control) {
  CharacterBlock& chars = *control.characters;
  const BaselineData& base = *control.baseline;
  LogAppend(control.log, "\r\nChecking Baseline Alleles");
  // Control character index and baseline index of every character in use
  // that the baseline holds.
  std::vector<std::pair<std::size_t, int>> present;
  for (std::size_t k = 0; k < CountOf(chars.count) && k < chars.flags.size(); ++k) {
    if (Excluded(chars.flags, k)) continue;
    int b = FindValue(base.charId, At(chars.charId, k));
    if (b >= 0) present.emplace_back(k, b);
  }
  ErrorFlags result = 0;
  for (auto [k, b] : present) {
    int32_t have = At(base.alleleCount, static_cast<std::size_t>(b));
    int32_t allowed = At(chars.alleleCount, k);
    if (have <= allowed) continue;
    const std::string& baseName = base.charNames.empty()
                                      ? NameAt(chars.names, k)
                                      : NameAt(base.charNames, static_cast<std::size_t>(b));
    LogAppend(control.log, "Fatal: CharID %d - %s has max of %d, %d found in Baseline (%d - %s).",
              At(chars.charId, k), NameAt(chars.names, k).c_str(), allowed, have,
              base.charId[static_cast<std::size_t>(b)], baseName.c_str());
    result = kErrTooManyAllelePositions;
  }
  if (result) return result;

  const std::size_t C = CountOf(base.charCount);
  std::vector<std::size_t> usable = UsableBaselineStocks(control);
  for (auto [k, b] : present) {
    int observed = 0;
    for (std::size_t s : usable)
      if (At(base.totals, s * C + static_cast<std::size_t>(b)) > 0) ++observed;
    // The test is the same for every allele position; a character whose
    // lines hold no counts at all still has to be reported once.
    int positions = std::max(At(base.alleleCount, static_cast<std::size_t>(b)), 1);
    for (int p = 0; p < positions && observed == 0; ++p) {
      chars.flags[k] |= kItemNotInBaseline;
      LogAppend(control.log, "CharID %d - %s not observed in baseline stocks", At(chars.charId, k),
                NameAt(chars.names, k).c_str());
      result = kErrCharacterNotFound;
    }
  }
  if (!result) LogAppend(control.log, "No Baseline Allele issues found");
  return result;
}

}  // namespace

ErrorFlags CheckCharacterCount(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  const RunSettings& settings = *control.settings;
  const CharacterBlock& chars = *control.characters;
  LogAppend(control.log, "Checking Control file character count");
  int32_t active = chars.count - chars.excludedCount;
  bool match = settings.NumberOfChars == active;
  LogAppend(control.log, "Character count %s. %d specified, %d found.", MatchWord(match),
            settings.NumberOfChars, active);
  return match ? ErrorFlags{0} : ErrorFlags{kErrValuesNotSame};
}

ErrorFlags CheckStockCount(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  const RunSettings& settings = *control.settings;
  const StockBlock& stocks = *control.stocks;
  ErrorFlags result = 0;
  LogAppend(control.log, "Checking Control file stock count");
  int32_t active = stocks.count - stocks.excludedCount;
  bool match = settings.NumberOfStocks == active;
  LogAppend(control.log, "Stock count %s. %d specified, %d found.", MatchWord(match),
            settings.NumberOfStocks, active);
  if (!match) result |= kErrValuesNotSame;
  match = settings.Levels == stocks.levelCount;
  LogAppend(control.log, "Grouping Levels %s. %d specified, %d found.", MatchWord(match),
            settings.Levels, stocks.levelCount);
  if (!match) result |= kErrValuesNotSame;
  for (int32_t id : settings.StartStock) {
    if (id == -1) break;
    if (FindValue(stocks.stockId, id) >= 0) continue;
    LogAppend(control.log, "Start StockID %d not found.", id);
    result |= kErrInvalidStartingStock;
    break;
  }
  return result;
}

ErrorFlags CheckGrouping(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  const RunSettings& settings = *control.settings;
  const StockBlock& stocks = *control.stocks;
  const GroupBlock& groups = *control.groups;
  ErrorFlags result = 0;
  LogAppend(control.log, "Checking Control file groupings");
  bool match = settings.Levels == groups.maxLevel;
  LogAppend(control.log, "Grouping Levels %s. %d specified, %d found.", MatchWord(match),
            settings.Levels, groups.maxLevel);
  if (!match) result |= kErrValuesNotSame;

  const std::size_t G = CountOf(groups.count);
  std::vector<bool> used(G, false);
  int32_t levels = std::min({settings.Levels, groups.maxLevel, stocks.levelCount,
                             static_cast<int32_t>(stocks.groupAt.size())});
  for (int32_t L = 1; L <= levels; ++L) {
    const std::vector<int32_t>& groupAt = stocks.groupAt[static_cast<std::size_t>(L - 1)];
    for (std::size_t i = 0; i < CountOf(stocks.count); ++i) {
      if (Excluded(stocks.flags, i)) continue;
      int32_t groupId = At(groupAt, i);
      bool found = false;
      for (std::size_t g = 0; g < G; ++g) {
        if (Excluded(groups.flags, g) || At(groups.level, g) != L - 1 ||
            At(groups.groupId, g) != groupId)
          continue;
        used[g] = true;
        found = true;
        break;
      }
      if (found) continue;
      LogAppend(control.log, "Level %d Group %d not found for StockID %d - %s", L, groupId,
                At(stocks.stockId, i), NameAt(stocks.names, i).c_str());
      result |= kErrInvalidLevel;
    }
  }
  for (std::size_t g = 0; g < G; ++g) {
    if (Excluded(groups.flags, g) || used[g]) continue;
    LogAppend(control.log, "Level %d Group %d - %s not found in Stock Block", At(groups.level, g) + 1,
              At(groups.groupId, g), NameAt(groups.names, g).c_str());
    result |= kErrInvalidLevel;
  }
  return result;
}

ErrorFlags CheckControlCounts(Control& control) {
  ErrorFlags result = CheckCharacterCount(control);
  if (result == kErrFatal) return result;
  result |= CheckStockCount(control);
  result |= CheckGrouping(control);
  return result;
}

ErrorFlags CheckBaseline(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  // A second check of a reloaded baseline must not keep the marks of the
  // first: a stock the old file lacked may be in the new one.
  for (int32_t& flags : control.stocks->flags) flags &= ~kItemNotInBaseline;
  for (int32_t& flags : control.characters->flags) flags &= ~kItemNotInBaseline;
  ErrorFlags result = CheckBaselineStocks(control);
  result |= CheckBaselineCharacters(control);
  result |= CheckBaselineAlleles(control);
  if (result == 0) {
    LogStocksWithoutData(control);
    LogStockNotes(control);
  }
  LogAppend(control.log, "\r\nBaseline check %s!!", result == 0 ? "SUCCEEDED" : "FAILED");
  return result;
}

bool AlleleSeenInBaseline(const Control& control, int column, int position) {
  if (!HasMembers(control) || column < 0) return false;
  const MixtureData& mix = *control.mixture;
  if (static_cast<std::size_t>(column) >= mix.charId.size()) return false;
  int32_t id = mix.charId[static_cast<std::size_t>(column)];
  if (id == -1) return false;
  int b = FindValue(control.baseline->charId, id);
  return SeenInStocks(*control.baseline, UsableBaselineStocks(control), b, position);
}

namespace {

// The one-line account of a mixture whose alleles look coded otherwise than
// the baseline's, or "" (see MiscodedAlleles).
std::string MiscodedColumns(const MixtureData& mix, const CharacterBlock& chars,
                            const std::vector<int>& columnChar, const std::vector<std::vector<bool>>& seen) {
  const std::size_t F = CountOf(mix.fishCount), C = CountOf(mix.charCount);
  std::vector<LocusStray> strays(C);
  for (std::size_t i = 0; i < C; ++i) {
    if (columnChar[i] < 0) continue;
    strays[i].locus = NameAt(chars.names, static_cast<std::size_t>(columnChar[i]));
    for (std::size_t p = 0; p < seen[i].size(); ++p)
      if (seen[i][p]) strays[i].expectedCodes.push_back(std::to_string(p + 1));
    for (std::size_t f = 0; f < F; ++f)
      for (int j = 0; j < 2; ++j) {
        const int32_t allele = mix.genotypes[(f * C + i) * 2 + static_cast<std::size_t>(j)];
        if (allele == 0) continue;
        const bool known = allele > 0 && static_cast<std::size_t>(allele) <= seen[i].size() &&
                           seen[i][static_cast<std::size_t>(allele - 1)];
        CountCopy(strays[i], std::to_string(allele), known);
      }
  }
  return MiscodedAlleles(std::move(strays));
}

}  // namespace

ErrorFlags CheckMixture(Control& control) {
  if (!HasMembers(control)) return kErrFatal;
  const RunSettings& settings = *control.settings;
  const CharacterBlock& chars = *control.characters;
  const BaselineData& base = *control.baseline;
  MixtureData& mix = *control.mixture;
  LogBuffer& log = control.log;
  LogAppend(log, "\r\nChecking Mixture");

  const std::size_t F = CountOf(mix.fishCount), C = CountOf(mix.charCount);
  const bool byName =
      control.mixtureFormat == kMixtureGenepop || control.mixtureFormat == kMixtureGenepopLabel;
  // Control character of each column (-1: the column takes no part).
  std::vector<int> columnChar(C, -1);
  for (std::size_t i = 0; i < C; ++i) {
    int32_t id = At(mix.charId, i, -1);
    if (byName) {
      if (FindName(chars.names, NameAt(mix.charNames, i)) < 0)
        LogAppend(log, "Info: Char %s in Mixture not found in control file", NameAt(mix.charNames, i).c_str());
    } else if (FindValue(chars.charId, id) < 0) {
      LogAppend(log, "Info: CharID %d in Mixture not found in control file", id);
    }
    if (id != -1) columnChar[i] = FindValue(chars.charId, id);
  }

  // Which allele positions of each column any usable stock shows, worked
  // out once rather than per fish.
  std::vector<std::size_t> usable = UsableBaselineStocks(control);
  std::vector<std::vector<bool>> seen(C);
  for (std::size_t i = 0; i < C; ++i) {
    if (columnChar[i] < 0) continue;
    int b = FindValue(base.charId, mix.charId[i]);
    if (b < 0) continue;
    int32_t limit = std::min(std::max(At(base.alleleCount, static_cast<std::size_t>(b)), 0),
                             std::max(base.maxAlleles, 0));
    seen[i].resize(static_cast<std::size_t>(limit), false);
    for (int32_t p = 0; p < limit; ++p) seen[i][static_cast<std::size_t>(p)] = SeenInStocks(base, usable, b, p);
  }
  auto isSeen = [&](std::size_t column, int32_t position) {
    return position >= 0 && static_cast<std::size_t>(position) < seen[column].size() &&
           seen[column][static_cast<std::size_t>(position)];
  };

  mix.fishFlags.resize(F, 0);
  mix.fishNames.resize(F);
  if (mix.genotypes.size() < F * C * 2) mix.genotypes.resize(F * C * 2, 0);
  const std::string file = mix.file.empty() ? GetField(settings.MixtureFile) : mix.file;
  // Alleles coded otherwise than the baseline's would all be erased below,
  // each with a line of its own; one message says what went wrong instead.
  const std::string miscoded = MiscodedColumns(mix, chars, columnChar, seen);
  if (!miscoded.empty()) {
    LogAppend(log, "%s: %s", file.c_str(), miscoded.c_str());
    LogAppend(log, "\r\nMixture check FAILED!!");
    return kErrAlleleNotSeen;
  }
  ErrorFlags result = 0;
  for (std::size_t f = 0; f < F; ++f) {
    int32_t& fishFlags = mix.fishFlags[f];
    fishFlags &= ~(kItemMissingLoci | kItemNotInBaseline | kItemNoAlleles);
    const char* fishName = mix.fishNames[f].c_str();
    int present = 0, missing = 0;
    for (std::size_t i = 0; i < C; ++i) {
      if (columnChar[i] < 0) continue;
      const char* charName = NameAt(chars.names, static_cast<std::size_t>(columnChar[i])).c_str();
      int32_t* slot = &mix.genotypes[(f * C + i) * 2];
      int here = (slot[0] != 0) + (slot[1] != 0);
      for (int j = 0; j < 2; ++j) {
        int32_t allele = slot[j];
        if (allele == 0 || isSeen(i, allele - 1)) continue;
        if (!settings.DropFish) {
          LogAppend(log, "Info: Fish %s: Char %s, Al %d not seen", fishName, charName, allele);
          slot[j] = 0;
          --here;
        } else {
          fishFlags |= kItemNotInBaseline;
          result |= kErrAlleleNotSeen;
          LogAppend(log, "Fish %s: Char %s, Al %d not seen", fishName, charName, allele);
        }
      }
      if (slot[0] == 0 && slot[1] == 0) ++missing;
      present += here;
    }
    // A fish with nothing scored tells nothing about the mixture: it stays
    // out of the run as a fish with too many missing loci does, and the
    // load goes on.
    if (present == 0) {
      fishFlags |= kItemNoAlleles;
      const int32_t line = At(mix.fishLines, f);
      if (line > 0)
        LogAppend(log, "Info: Fish %s (%s, line %d): no alleles present; left out of the run", fishName,
                  file.c_str(), line);
      else
        LogAppend(log, "Info: Fish %s: no alleles present; left out of the run", fishName);
    } else if (missing > settings.MaxMissingLoci) {
      fishFlags |= kItemMissingLoci;
      result |= kErrMissingLociExceeded;
      LogAppend(log, "Info: Fish %s: more than %d missing loci (%d)", fishName, settings.MaxMissingLoci,
                missing);
    }
  }
  FindDuplicateFish(control);
  bool failed = (result & (kErrAlleleNotSeen | kErrNoAlleles)) != 0;
  LogAppend(log, "\r\nMixture check %s!!", failed ? "FAILED" : "SUCCEEDED");
  return result;
}

int FindDuplicateFish(Control& control) {
  if (!HasMembers(control)) return 0;
  const MixtureData& mix = *control.mixture;
  const std::size_t F = CountOf(mix.fishCount), C = CountOf(mix.charCount);
  if (mix.genotypes.size() < F * C * 2) return 0;
  struct Key {
    int sample;
    uint32_t crc;
    std::size_t fish;
  };
  std::vector<Key> keys(F);
  std::vector<unsigned char> bytes(C * 8);
  int sample = 0;
  for (std::size_t f = 0; f < F; ++f) {
    if (At(mix.fishFlags, f) & kItemFirstOfSample) ++sample;
    // Little-endian bytes whatever the host, so the same file gives the same
    // checksums everywhere.
    for (std::size_t w = 0; w < C * 2; ++w) {
      uint32_t value = static_cast<uint32_t>(mix.genotypes[f * C * 2 + w]);
      for (int byte = 0; byte < 4; ++byte)
        bytes[w * 4 + static_cast<std::size_t>(byte)] = static_cast<unsigned char>(value >> (8 * byte));
    }
    uLong crc = crc32(0L, bytes.data(), static_cast<uInt>(bytes.size()));
    keys[f] = {sample, static_cast<uint32_t>(crc), f};
  }
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return a.sample != b.sample ? a.sample < b.sample : a.crc < b.crc;
  });
  int pairs = 0;
  for (std::size_t n = 1; n < keys.size(); ++n) {
    const Key& a = keys[n - 1];
    const Key& b = keys[n];
    if (a.sample != b.sample || a.crc != b.crc) continue;
    LogAppend(control.log, "Info: Duplicate Fish in POP %d: (Fish %d, %d)\r\n%s and %s", a.sample,
              static_cast<int>(a.fish), static_cast<int>(b.fish), NameAt(mix.fishNames, a.fish).c_str(),
              NameAt(mix.fishNames, b.fish).c_str());
    ++pairs;
  }
  return pairs;
}

}  // namespace mixora
