#include "input/mixture_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>
#include <string_view>

#include "core/lookups.h"
#include "core/run_limits.h"
#include "core/text_file.h"
#include "input/data_fields.h"
#include "input/input_file.h"

namespace mixora {

namespace {

constexpr const char* kLabel = "Mixture";
constexpr std::string_view kBlanks = " \t";
// One locus more than a run may use, so a file with an excluded locus
// still loads.
constexpr int kMaxGenepopLoci = kMaxCharacters + 1;
constexpr std::size_t kMaxFishIdLength = 255;
constexpr std::size_t kMaxGenepopNameLength = 254;
constexpr std::size_t kMaxGenepopTitleLength = 99;

bool IsSpamFishLine(const std::string& trimmed) {
  return trimmed.size() >= 10 && trimmed[0] != '\\';
}

bool IsGenotypeField(std::string_view field) {
  char first = field[0];
  if (field.size() >= 6) return first == '0' || first == '1' || first == '2';
  return first == '0';
}

void LogFatalLine(LogBuffer& log, int lineNumber, const std::string& line, ErrorFlags flags) {
  LogAppend(log, "Fatal Error in Line %d:\r\n%s\r\n%s", lineNumber, line.c_str(),
            DescribeErrorFlags(flags).c_str());
}

ErrorFlags MemoryFailure(MixtureData& mixture, LogBuffer& log) {
  mixture = MixtureData{};
  LogAppend(log, "%s", DescribeErrorFlags(kErrMemoryFailure).c_str());
  return kErrMemoryFailure;
}

// Decodes one digit-string field into its pair; returns the first fault.
ErrorFlags DecodeSpamField(std::string_view field, int32_t pair[2]) {
  int sum = 0;
  int stored = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const int32_t p = static_cast<int32_t>(i) + 1;
    char ch = field[i];
    if (ch < '0' || ch > '2') return kErrNumberNot012;
    int digit = ch - '0';
    sum += digit;
    if (sum > 2) return kErrSumOfAllelesOver2;
    if (p > kMaxAllelePositions) return kErrTooManyAllelePositions;
    for (int copy = 0; copy < digit; ++copy) {
      if (stored == 2) return kErrTooManyAlleles;
      pair[stored++] = p;
    }
  }
  return 0;
}

// The pieces of a Genepop file before its individuals.
struct GenepopHead {
  std::string title;
  std::vector<std::string> loci;
  std::size_t firstSampleLine = 0;  // index of the first "POP" line
};

std::string LocusName(std::string_view text) {
  return TrimLine(std::string(text)).substr(0, kMaxDataNameLength);
}

ErrorFlags ReadGenepopHead(const TextFile& file, const std::string& path, GenepopHead& head,
                           LogBuffer& log) {
  const std::size_t n = file.lines.size();
  std::size_t i = 0;
  while (i < n && TrimLine(file.lines[i]).empty()) ++i;
  if (i == n) {
    LogLineRefusal(log, path, 1, "no title line", kErrCannotParseLine);
    return kErrCannotParseLine;
  }
  head.title = TrimLine(file.lines[i]).substr(0, kMaxGenepopTitleLength);
  for (++i; i < n && TrimLine(file.lines[i]).empty(); ++i) {
  }
  if (i == n || IsPopLine(TrimLine(file.lines[i]))) {
    std::string line = i == n ? "" : TrimLine(file.lines[i]);
    if (i == n) LogLineRefusal(log, path, static_cast<int>(i), "no locus names", kErrCannotParseLine);
    else LogFatalLine(log, static_cast<int>(i) + 1, line, kErrCannotParseLine);
    return kErrCannotParseLine;
  }
  std::string first = TrimLine(file.lines[i]);
  if (first.find(',') != std::string::npos) {
    for (std::string_view name : SplitFields(first, ",")) {
      std::string locus = LocusName(name);
      if (!locus.empty()) head.loci.push_back(locus);
    }
    for (++i; i < n && TrimLine(file.lines[i]).empty(); ++i) {
    }
    if (i == n || !IsPopLine(TrimLine(file.lines[i]))) {
      if (i == n)
        LogLineRefusal(log, path, static_cast<int>(i), "no \"POP\" line after the locus names",
                       kErrCannotParseLine);
      else LogFatalLine(log, static_cast<int>(i) + 1, TrimLine(file.lines[i]), kErrCannotParseLine);
      return kErrCannotParseLine;
    }
  } else {
    for (; i < n; ++i) {
      std::string line = TrimLine(file.lines[i]);
      if (line.empty()) continue;
      if (IsPopLine(line)) break;
      head.loci.push_back(LocusName(line));
    }
    // Without a "POP" line the file holds no individuals at all; running
    // on an empty mixture is never what was meant.
    if (i == n) {
      LogLineRefusal(log, path, static_cast<int>(i), "no \"POP\" line after the locus names",
                     kErrCannotParseLine);
      return kErrCannotParseLine;
    }
  }
  if (head.loci.empty() || head.loci.size() > static_cast<std::size_t>(kMaxGenepopLoci)) {
    LogLineRefusal(log, path, static_cast<int>(i) + 1,
                   head.loci.empty() ? "no locus names"
                                     : "more than " + std::to_string(kMaxGenepopLoci) + " loci",
                   kErrCannotParseLine);
    return kErrCannotParseLine;
  }
  head.firstSampleLine = i;
  return 0;
}

std::string GenepopName(const std::string& trimmed, std::size_t comma) {
  std::string name = trimmed.substr(0, comma);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  return name.substr(0, kMaxGenepopNameLength);
}

// Reads one code of the fixed width as its two allele numbers.
bool ReadGenepopCode(std::string_view token, std::size_t width, int32_t pair[2]) {
  if (token.size() != width || !AllDigits(token)) return false;
  std::size_t half = width / 2;
  for (int j = 0; j < 2; ++j) {
    int32_t value = 0;
    for (char c : token.substr(j * half, half)) value = value * 10 + (c - '0');
    pair[j] = value;
  }
  return true;
}

}  // namespace

bool IsPopLine(const std::string& trimmed) {
  if (!StartsWithNoCase(trimmed, "POP")) return false;
  if (trimmed.find(',') == std::string::npos) return true;
  // "POP 2025, Vial, ..." opens a sample; "Poplar_01, 0102" is an individual.
  unsigned char next = trimmed.size() > 3 ? static_cast<unsigned char>(trimmed[3]) : ' ';
  return !(std::isalnum(next) || next == '_' || next == '-' || next == '.');
}

int32_t ClassifyMixtureFile(const std::string& path) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (status == TextFileStatus::kCannotOpen) return kFormatNotFound;
  if (status != TextFileStatus::kOk) return kMixtureUnknown;
  int first = FirstDataLine(file);
  if (first < 0) return kMixtureUnknown;
  std::string line = TrimLine(file.lines[static_cast<std::size_t>(first)]);
  bool hasLetter = std::any_of(line.begin(), line.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
  if (!hasLetter) {
    // A Genepop title may be digits alone ("2025"); its POP lines still
    // tell the layout, and digit-string lines never begin with "POP".
    for (std::size_t i = static_cast<std::size_t>(first) + 1; i < file.lines.size(); ++i)
      if (IsPopLine(TrimLine(file.lines[i]))) return kMixtureGenepop;
    return kMixtureSpam;
  }
  if (StartsWithNoCase(line, "Label")) return kMixtureGenepopLabel;
  return kMixtureGenepop;
}

ErrorFlags ParseSpamGenotypeLine(const std::string& line, int32_t& fieldCount,
                                 std::vector<int32_t>& positions, std::span<int32_t> pairs,
                                 std::string& fishName, bool update) {
  ErrorFlags flags = 0;
  int32_t count = 0;
  for (std::string_view field : SplitFields(line, " \t\r\n")) {
    if (!IsGenotypeField(field)) {
      if (flags) break;
      std::size_t n = std::min(field.size(), kMaxFishIdLength);
      fishName = "Fish ID " + std::string(field.substr(0, n));
      break;
    }
    if (count == kMaxDataCharacters) {
      flags |= kErrTooManyCharacters;
      break;
    }
    const std::size_t column = static_cast<std::size_t>(count);
    ++count;
    // After a fault the rest of the line is only counted, so the count
    // comparison below speaks of the whole line, not of where it stopped.
    if (flags) continue;
    int32_t pair[2] = {0, 0};
    flags |= DecodeSpamField(field, pair);
    if (flags) continue;
    if (!pairs.empty()) {
      if (2 * column + 1 >= pairs.size()) {
        flags |= kErrCharacterCountMismatch;
        continue;
      }
      pairs[2 * column] = pair[0];
      pairs[2 * column + 1] = pair[1];
    }
    if (update) {
      if (positions.size() <= column) positions.resize(column + 1, 0);
      positions[column] = std::max(positions[column], static_cast<int32_t>(field.size()));
    }
  }
  if (fieldCount != 0 && count != fieldCount) flags |= kErrCharacterCountMismatch;
  fieldCount = count;
  return flags;
}

ErrorFlags ReadSpamMixture(const std::string& path, MixtureData& mixture, LogBuffer& log) {
  mixture = MixtureData{};
  TextFile file;
  if (ErrorFlags open = OpenInputFile(path, kLabel, log, file)) return open;
  try {
    int32_t fishCount = 0, fieldCount = 0, longest = 0;
    std::vector<int32_t> positions;
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (!IsSpamFishLine(trimmed)) continue;
      std::string name = "Fish " + std::to_string(++fishCount);
      ErrorFlags flags = ParseSpamGenotypeLine(trimmed, fieldCount, positions, {}, name, true);
      if (flags) {
        LogFatalLine(log, static_cast<int>(i) + 1, trimmed, flags);
        return flags;
      }
      longest = std::max(longest, static_cast<int32_t>(name.size()));
    }
    // A mixture without a single fish has nothing to analyse; its run
    // would only fail later without saying why.
    if (fishCount == 0) {
      LogAppend(log, "%s: no fish lines (lines of 10 characters or more)", path.c_str());
      LogAppend(log, "%s", DescribeErrorFlags(kErrCannotParseLine).c_str());
      return kErrCannotParseLine;
    }
    const std::size_t F = static_cast<std::size_t>(fishCount);
    const std::size_t C = static_cast<std::size_t>(fieldCount);
    positions.resize(C, 0);
    mixture.fishCount = fishCount;
    mixture.charCount = fieldCount;
    mixture.fishNameWidth = longest;
    mixture.positions = positions;
    mixture.maxPositions = LargestValue(positions);
    mixture.charId.assign(C, -1);
    mixture.genotypes.assign(F * C * 2, 0);
    mixture.fishFlags.assign(F, 0);
    mixture.fishNames.reserve(F);
    mixture.file = path;
    std::size_t f = 0;
    int32_t secondCount = 0;
    std::vector<int32_t> unused;
    for (std::size_t i = 0; i < file.lines.size() && f < F; ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (!IsSpamFishLine(trimmed)) continue;
      std::string name = "Fish " + std::to_string(f + 1);
      std::span<int32_t> pairs(mixture.genotypes.data() + f * C * 2, C * 2);
      ParseSpamGenotypeLine(trimmed, secondCount, unused, pairs, name, false);
      mixture.fishNames.push_back(name);
      mixture.fishLines.push_back(static_cast<int32_t>(i) + 1);
      ++f;
    }
  } catch (const std::bad_alloc&) {
    return MemoryFailure(mixture, log);
  }
  LogAppend(log, "File parsed successfully");
  return 0;
}

ErrorFlags ReadGenepopMixture(const std::string& path, MixtureData& mixture, LogBuffer& log) {
  mixture = MixtureData{};
  TextFile file;
  if (ErrorFlags open = OpenInputFile(path, kLabel, log, file)) return open;
  try {
    GenepopHead head;
    if (ErrorFlags flags = ReadGenepopHead(file, path, head, log)) return flags;
    const std::size_t C = head.loci.size();

    // First pass: every individual holds a comma; the first fixes the width.
    std::size_t width = 0;
    int32_t fishCount = 0, longest = 0;
    for (std::size_t i = head.firstSampleLine; i < file.lines.size(); ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (trimmed.empty() || trimmed[0] == '\\' || IsPopLine(trimmed)) continue;
      std::size_t comma = trimmed.find(',');
      if (comma == std::string::npos) {
        LogFatalLine(log, static_cast<int>(i) + 1, trimmed, kErrCannotParseLine);
        return kErrCannotParseLine;
      }
      if (width == 0) {
        std::size_t at = trimmed.find_first_not_of(kBlanks, comma + 1);
        std::size_t digits = 0;
        while (at != std::string::npos && at + digits < trimmed.size() &&
               std::isdigit(static_cast<unsigned char>(trimmed[at + digits])))
          ++digits;
        if (digits != 4 && digits != 6) {
          LogFatalLine(log, static_cast<int>(i) + 1, trimmed, kErrCannotParseLine);
          return kErrCannotParseLine;
        }
        width = digits;
      }
      ++fishCount;
      longest = std::max(longest, static_cast<int32_t>(GenepopName(trimmed, comma).size()));
    }

    if (fishCount == 0) {
      LogLineRefusal(log, path, static_cast<int>(head.firstSampleLine) + 1,
                     "no individuals after the \"POP\" lines", kErrCannotParseLine);
      return kErrCannotParseLine;
    }
    const std::size_t F = static_cast<std::size_t>(fishCount);
    mixture.fishCount = fishCount;
    mixture.charCount = static_cast<int32_t>(C);
    mixture.fishNameWidth = longest;
    mixture.charNameWidth = LongestName(head.loci);
    mixture.charNames = head.loci;
    mixture.title = head.title;
    mixture.positions.assign(C, 0);
    mixture.charId.assign(C, -1);
    mixture.genotypes.assign(F * C * 2, 0);
    mixture.fishFlags.assign(F, 0);
    mixture.fishNames.reserve(F);
    mixture.file = path;

    // Second pass: names and codes; a "POP" line marks the next fish as the
    // first of a new sample, and the very first fish always is.
    bool firstOfSample = true;
    std::size_t f = 0;
    // A "POP" line with no fish before the next one gives a sample that
    // cannot be run; say so where the line is.
    std::size_t popLine = head.firstSampleLine;
    auto noteEmptySample = [&] {
      LogAppend(log, "Info: %s, line %d: no fish after this \"POP\" line; its sample cannot be run",
                path.c_str(), static_cast<int>(popLine) + 1);
    };
    for (std::size_t i = head.firstSampleLine; i < file.lines.size(); ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (trimmed.empty() || trimmed[0] == '\\') continue;
      if (IsPopLine(trimmed)) {
        if (firstOfSample && i != head.firstSampleLine) noteEmptySample();
        firstOfSample = true;
        popLine = i;
        continue;
      }
      if (f == F) break;
      std::size_t comma = trimmed.find(',');
      mixture.fishNames.push_back(GenepopName(trimmed, comma));
      mixture.fishLines.push_back(static_cast<int32_t>(i) + 1);
      if (firstOfSample) mixture.fishFlags[f] |= kItemFirstOfSample;
      firstOfSample = false;
      ErrorFlags flags = 0;
      std::size_t c = 0;
      for (std::string_view token : SplitFields(std::string_view(trimmed).substr(comma + 1), kBlanks)) {
        int32_t pair[2] = {0, 0};
        if (c >= C || !ReadGenepopCode(token, width, pair)) {
          flags = kErrCannotParseLine;
          break;
        }
        mixture.genotypes[(f * C + c) * 2] = pair[0];
        mixture.genotypes[(f * C + c) * 2 + 1] = pair[1];
        mixture.positions[c] = std::max({mixture.positions[c], pair[0], pair[1]});
        ++c;
      }
      if (!flags && c < C) flags = kErrCharacterCountMismatch;
      if (flags) {
        LogFatalLine(log, static_cast<int>(i) + 1, trimmed, flags);
        return flags;
      }
      ++f;
    }
    if (firstOfSample) noteEmptySample();
    mixture.maxPositions = LargestValue(mixture.positions);
  } catch (const std::bad_alloc&) {
    return MemoryFailure(mixture, log);
  }
  LogAppend(log, "File parsed successfully");
  return 0;
}

ErrorFlags ResolveMixtureCharacters(MixtureData& mixture, const CharacterBlock& characters,
                                    LogBuffer& log, int32_t mixtureFormat) {
  const std::size_t C = static_cast<std::size_t>(std::max(mixture.charCount, 0));
  mixture.charId.assign(C, -1);
  mixture.positions.resize(C, 0);
  auto excluded = [&](std::size_t k) {
    return k < characters.flags.size() && (characters.flags[k] & kItemExcluded);
  };
  auto checkPositions = [&](std::size_t column, std::size_t k) -> ErrorFlags {
    if (mixture.positions[column] <= characters.alleleCount[k]) return 0;
    // The first fish holding such an allele, so the line can be found.
    std::string where;
    const std::size_t F = std::min({static_cast<std::size_t>(std::max(mixture.fishCount, 0)),
                                    mixture.fishNames.size(), C == 0 ? 0 : mixture.genotypes.size() / (C * 2)});
    for (std::size_t f = 0; f < F && where.empty(); ++f)
      for (std::size_t j = 0; j < 2; ++j)
        if (mixture.genotypes[(f * C + column) * 2 + j] > characters.alleleCount[k]) {
          where = " (fish " + mixture.fishNames[f] + ")";
          break;
        }
    LogAppend(log, "CharID %d - %s: allele position %d in mixture, %d allowed%s",
              characters.charId[k], characters.names[k].c_str(), mixture.positions[column],
              characters.alleleCount[k], where.c_str());
    return kErrNumberOfCharsNotEqual;
  };
  const std::size_t count = std::min({static_cast<std::size_t>(std::max(characters.count, 0)),
                                      characters.charId.size(), characters.alleleCount.size(),
                                      characters.names.size()});
  ErrorFlags flags = 0;
  if (mixtureFormat == kMixtureGenepop || mixtureFormat == kMixtureGenepopLabel) {
    // Loci are paired with characters by name, so a file that lists its
    // loci in another order still gives each character its own genotypes.
    for (std::size_t i = 0; i < count; ++i) {
      if (excluded(i)) continue;
      int k = FindName(mixture.charNames, characters.names[i]);
      if (k < 0) {
        const char* expected = i < mixture.charNames.size() ? mixture.charNames[i].c_str() : "(no locus)";
        LogAppend(log, "%s not found in mixture file. Should be %s.", characters.names[i].c_str(),
                  expected);
        flags |= kErrCharacterNotFound;
        continue;
      }
      mixture.charId[static_cast<std::size_t>(k)] = characters.charId[i];
      flags |= checkPositions(static_cast<std::size_t>(k), i);
    }
    if (flags) {
      LogAppend(log, "Fatal error resolving mixture characters");
      LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
      return flags;
    }
  } else {
    // Column i holds the i-th character in use: an excluded character has no
    // column in a mixture whose column count matches the characters in use.
    std::vector<std::size_t> active;
    for (std::size_t k = 0; k < count; ++k)
      if (!excluded(k)) active.push_back(k);
    if (C != active.size()) {
      LogAppend(log, "Mixture has %d characters, control file uses %d", mixture.charCount,
                static_cast<int>(active.size()));
      flags = kErrNumberOfCharsNotEqual;
    } else {
      for (std::size_t i = 0; i < C; ++i) {
        mixture.charId[i] = characters.charId[active[i]];
        flags |= checkPositions(i, active[i]);
      }
    }
    if (flags) {
      LogAppend(log, "Fatal error resolving mixture characters");
      LogAppend(log, "%s", DescribeErrorFlags(kErrNumberOfCharsNotEqual).c_str());
      return kErrNumberOfCharsNotEqual;
    }
  }
  LogAppend(log, "Mixture Characters resolved successfully");
  return 0;
}

}  // namespace mixora
