#include "input/control_blocks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "core/c_locale.h"
#include "core/lookups.h"
#include "input/block_lines.h"
#include "input/input_file.h"
#include "input/line_scanner.h"

namespace mixora {

namespace {

std::string Describe(const char* format, long long a, long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// The ID and the allele count of a character line must be whole numbers:
// returns the problem with the first `fields` of them, or "" when they are.
std::string NotWholeNumber(const std::string& content, int fields) {
  static const char* const kFields[] = {"character ID", "number of alleles"};
  std::size_t pos = 0;
  for (int f = 0; f < fields && f < 2; ++f) {
    const char* field = kFields[f];
    while (pos < content.size() && (content[pos] == ' ' || content[pos] == '\t')) ++pos;
    const std::size_t begin = pos;
    while (pos < content.size() && content[pos] != ' ' && content[pos] != '\t') ++pos;
    const std::string token = content.substr(begin, pos - begin);
    std::size_t digits = token.find_first_not_of("+-") == 0 ? 0 : 1;
    if (token.find_first_not_of("0123456789", digits) != std::string::npos)
      return std::string(field) + " \"" + token + "\" is not a whole number";
  }
  return "";
}

struct CharacterLine {
  bool excluded;
  int32_t id;
  int32_t alleles;
  std::string kind;
  std::string name;
};

// First pass: the lines of the block, checked against the held maxima.
ErrorFlags CollectCharacters(const TextFile& file, bool spam, std::vector<CharacterLine>& rows,
                             LogBuffer& log) {
  int start = FindBlockStart(file, BlockHeader::kCharacters, spam);
  if (start < 0) return kErrNoCharacterBlock;
  for (std::size_t i = static_cast<std::size_t>(start); i < file.lines.size(); ++i) {
    int at = static_cast<int>(i);
    BlockLine line = ReadBlockLine(file.lines[i], spam);
    if (line.blank) continue;
    if (line.ends) break;
    CharacterLine row{line.excluded, 0, 0, {}, {}};
    std::size_t pos = 0;
    ScanResult id = ScanInt(line.content, pos, row.id);
    ScanResult alleles = id == kScanNone ? kScanNone : ScanInt(line.content, pos, row.alleles);
    // "1.5" would read as 1 and leave ".5" to be taken for the kind, so the
    // line would load as something else than it says.
    const int numbers = id == kScanNone ? 0 : alleles == kScanNone ? 1 : 2;
    if (const std::string bad = NotWholeNumber(line.content, numbers); !bad.empty()) {
      LogBlockRefusal(log, file, at, bad);
      return kErrCannotParseLine;
    }
    if (alleles == kScanNone || !ScanWord(line.content, pos, row.kind) ||
        !ScanWord(line.content, pos, row.name)) {
      break;
    }
    if (id == kScanTooLarge || alleles == kScanTooLarge) {
      LogBlockRefusal(log, file, at, "number beyond the 32-bit integer range");
      return kErrCannotParseLine;
    }
    if (row.alleles < 0 || row.alleles > kMaxDeclaredAlleles) {
      LogBlockRefusal(log, file, at,
                      Describe("number of alleles %lld not 0 - %lld", row.alleles,
                               kMaxDeclaredAlleles));
      return kErrCannotParseLine;
    }
    if (static_cast<int>(row.name.size()) > kMaxBlockNameLength) {
      LogBlockRefusal(log, file, at,
                      Describe("character name longer than %lld characters", kMaxBlockNameLength));
      return kErrCannotParseLine;
    }
    if (static_cast<int>(rows.size()) == kMaxControlCharacters) {
      LogBlockRefusal(log, file, at,
                      Describe("more than %lld characters", kMaxControlCharacters));
      return kErrTooManyCharacters;
    }
    rows.push_back(std::move(row));
  }
  return 0;
}

bool IsTrueWord(const std::string& word) {
  char first = AsciiUpper(word[0]);
  return first == 'T' || first == '1' || first == 'Y';
}

struct GroupLine {
  bool excluded;
  int32_t level;
  int32_t id;
  std::string name;
};

ErrorFlags CollectGroups(const TextFile& file, bool spam, std::vector<GroupLine>& rows,
                         LogBuffer& log) {
  int start = FindBlockStart(file, BlockHeader::kGroups, spam);
  if (start < 0) return kErrNoGroupBlock;
  for (std::size_t i = static_cast<std::size_t>(start); i < file.lines.size(); ++i) {
    int at = static_cast<int>(i);
    BlockLine line = ReadBlockLine(file.lines[i], spam);
    if (line.blank) continue;
    if (line.ends) break;
    GroupLine row{line.excluded, 0, 0, {}};
    std::size_t pos = 0;
    ScanResult level = ScanInt(line.content, pos, row.level);
    ScanResult id = level == kScanNone ? kScanNone : ScanInt(line.content, pos, row.id);
    if (id == kScanNone) break;
    row.name = TrimLine(line.content.substr(pos));
    if (row.name.empty()) break;
    if (level == kScanTooLarge || id == kScanTooLarge) {
      LogBlockRefusal(log, file, at, "number beyond the 32-bit integer range");
      return kErrCannotParseLine;
    }
    // Levels count from 1; a level below that would index before the first
    // grouping level wherever groups are looked up by level.
    if (row.level < 1) {
      LogBlockRefusal(log, file, at, Describe("group level %lld below 1", row.level));
      return kErrInvalidLevel;
    }
    if (row.level > 5) {
      LogBlockRefusal(log, file, at, Describe("group level %lld above 5", row.level));
      return kErrMoreThan5Levels;
    }
    if (static_cast<int>(row.name.size()) > kMaxBlockNameLength) {
      LogBlockRefusal(log, file, at,
                      Describe("group name longer than %lld characters", kMaxBlockNameLength));
      return kErrCannotParseLine;
    }
    rows.push_back(std::move(row));
  }
  return 0;
}

}  // namespace

ErrorFlags ParseCharacterBlock(const std::string& path, int32_t kind, CharacterBlock& block,
                               LogBuffer& log) {
  block = CharacterBlock{};
  const bool spam = kind != kControlMixora;
  TextFile file;
  ErrorFlags flags = OpenInputFile(path, "characters from", log, file);
  if (flags == kErrFatal) return flags;
  std::vector<CharacterLine> rows;
  if (flags == 0) flags = CollectCharacters(file, spam, rows, log);
  if (flags == 0) {
    int count = static_cast<int>(rows.size());
    int longest = 0;
    block.count = count;
    block.alleleCount.resize(count);
    block.charId.resize(count);
    block.names.resize(count);
    block.isLocus.resize(count);
    block.flags.resize(count);
    for (int c = 0; c < count; ++c) {
      const CharacterLine& row = rows[c];
      block.charId[c] = row.id;
      block.alleleCount[c] = row.alleles;
      block.names[c] = row.name;
      block.isLocus[c] = spam ? (NamesEqual(row.kind, "locus") ? 1 : 0) : (IsTrueWord(row.kind) ? 1 : 0);
      if (row.excluded) {
        block.flags[c] = kItemExcluded;
        ++block.excludedCount;
      }
      block.maxAlleles = std::max(block.maxAlleles, row.alleles);
      longest = std::max(longest, static_cast<int>(row.name.size()));
    }
    block.nameWidth = longest + 1;
  }
  return FinishBlock(log, flags, "Characters parsed successfully",
                     "Fatal error parsing character block");
}

ErrorFlags ParseGroupBlock(const std::string& path, int32_t kind, GroupBlock& block,
                           LogBuffer& log) {
  block = GroupBlock{};
  const bool spam = kind != kControlMixora;
  TextFile file;
  ErrorFlags flags = OpenInputFile(path, spam ? "regions from" : "groups from", log, file);
  if (flags == kErrFatal) return flags;
  std::vector<GroupLine> rows;
  if (flags == 0) flags = CollectGroups(file, spam, rows, log);
  if (flags == 0) {
    int count = static_cast<int>(rows.size());
    int longest = 0;
    block.count = count;
    block.level.resize(count);
    block.groupId.resize(count);
    block.names.resize(count);
    block.flags.resize(count);
    for (int g = 0; g < count; ++g) {
      const GroupLine& row = rows[g];
      block.level[g] = row.level - 1;
      block.groupId[g] = row.id;
      block.names[g] = row.name;
      if (row.excluded) {
        block.flags[g] = kItemExcluded;
        ++block.excludedCount;
      }
      block.maxLevel = std::max(block.maxLevel, row.level);
      longest = std::max(longest, static_cast<int>(row.name.size()));
    }
    block.nameWidth = longest;
  }
  return FinishBlock(log, flags, "Groups parsed successfully",
                     spam ? "Fatal error parsing regions block" : "Fatal error parsing groups block");
}

}  // namespace mixora
