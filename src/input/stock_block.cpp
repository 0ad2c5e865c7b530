// The stock block, whose two layouts differ more than those of the other
// blocks: the text layout carries one group column per level and an optional
// prior weight before a one-word name; the SPAM layout a name that may hold
// blanks, a ":" and up to five region columns, of which all-zero ones drop out.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/text_file.h"
#include "input/block_lines.h"
#include "input/control_blocks.h"
#include "input/input_file.h"
#include "input/line_scanner.h"

namespace mixora {

namespace {

std::string Describe(const char* format, long long a, long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

bool HasPointBeforeDigit(const std::string& line) {
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] == '.' && line[i + 1] >= '0' && line[i + 1] <= '9') return true;
  }
  return false;
}

// A field that reads whole as a number.
bool IsNumber(const std::string& field) {
  std::size_t at = 0;
  double value = 0;
  return ScanReal(field, at, value) && at == field.size();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct TextStockLine {
  int lineIndex;
  std::vector<std::string> fields;
};

ErrorFlags ReadTextStocks(const TextFile& file, RunSettings& settings, StockBlock& block,
                          LogBuffer& log) {
  int start = FindBlockStart(file, BlockHeader::kStocks, false);
  if (start < 0) return kErrNoStockBlock;
  const int levels = settings.Levels;
  if (levels < 1 || levels > 5) {
    LogAppend(log, "Levels %d not 1 - 5", levels);
    return kErrLevelsMismatch;
  }

  std::vector<TextStockLine> rows;
  std::size_t fieldCount = 0;
  for (std::size_t i = static_cast<std::size_t>(start); i < file.lines.size(); ++i) {
    int at = static_cast<int>(i);
    BlockLine line = ReadBlockLine(file.lines[i], false);
    if (line.blank || line.excluded) continue;  // "!" lines are comments here
    if (!IsDigit(line.content[0])) break;
    std::size_t cap = static_cast<std::size_t>(levels) + (HasPointBeforeDigit(line.content) ? 3 : 2);
    std::size_t total = 0;
    std::vector<std::string> fields = SplitWords(line.content, cap, total);
    if (rows.empty()) fieldCount = fields.size();
    if (fields.size() != fieldCount) {
      LogBlockRefusal(log, file, at,
                      Describe("%lld fields where the first stock line has %lld",
                               static_cast<long long>(fields.size()),
                               static_cast<long long>(fieldCount)));
      return kErrLevelsMismatch;
    }
    // A number where the name belongs, with more words after it, means the
    // line holds more group columns than Levels; taking the number as the name
    // would silently drop the real name and a grouping column.
    if (total > cap && IsNumber(fields.back())) {
      LogBlockRefusal(log, file, at,
                      Describe("more group columns than Levels (%lld)", levels));
      return kErrLevelsMismatch;
    }
    if (static_cast<int>(fields.back().size()) > kMaxBlockNameLength) {
      LogBlockRefusal(log, file, at,
                      Describe("stock name longer than %lld characters", kMaxBlockNameLength));
      return kErrCannotParseLine;
    }
    if (static_cast<int>(rows.size()) == kMaxControlStocks) {
      LogBlockRefusal(log, file, at, Describe("more than %lld stocks", kMaxControlStocks));
      return kErrTooManyStocks;
    }
    rows.push_back({at, std::move(fields)});
  }

  const int count = static_cast<int>(rows.size());
  if (count != settings.NumberOfStocks) {
    LogAppend(log, "%d Stocks specified, %d stocks found", settings.NumberOfStocks, count);
    return kErrStockCountMismatch;
  }

  const int n = static_cast<int>(fieldCount);
  int levelColumns;
  if (n - 2 == levels + 1) {
    settings.PriorWeightsGiven = 1;
    levelColumns = n - 3;
  } else {
    settings.PriorWeightsGiven = 0;
    settings.InformativePrior = 0;
    levelColumns = n - 2;
  }
  if (settings.InformativePrior) settings.ChangeSeeds = 1;
  if (levelColumns != levels) return kErrLevelsMismatch;

  int longest = 0;
  for (const TextStockLine& row : rows) {
    longest = std::max(longest, static_cast<int>(row.fields.back().size()));
  }
  block.count = count;
  block.levelCount = levelColumns;
  block.nameWidth = longest;
  block.stockId.resize(count);
  block.names.resize(count);
  block.flags.resize(count);
  for (int k = 0; k < levelColumns; ++k) block.groupAt[k].resize(count);
  if (settings.PriorWeightsGiven) block.priorWeight.resize(count);

  for (int s = 0; s < count; ++s) {
    const TextStockLine& row = rows[s];
    std::size_t pos = 0;
    if (ScanInt(row.fields[0], pos, block.stockId[s]) != kScanOk) {
      LogBlockRefusal(log, file, row.lineIndex, "stock ID beyond the 32-bit integer range");
      return kErrCannotParseLine;
    }
    for (int k = 0; k < levelColumns; ++k) {
      const std::string& field = row.fields[1 + k];
      pos = 0;
      if (ScanInt(field, pos, block.groupAt[k][s]) != kScanOk) {
        LogBlockRefusal(log, file, row.lineIndex, "group ID " + field + " is not a number");
        return kErrCannotParseLine;
      }
    }
    if (settings.PriorWeightsGiven) {
      const std::string& field = row.fields[1 + levelColumns];
      pos = 0;
      if (!ScanReal(field, pos, block.priorWeight[s])) {
        LogBlockRefusal(log, file, row.lineIndex, "prior weight " + field + " is not a number");
        return kErrCannotParseLine;
      }
      // An infinite weight ("1.5e400") makes every stock prior a NaN, which
      // the run would carry into every chain without a word.
      if (!std::isfinite(block.priorWeight[s])) {
        LogBlockRefusal(log, file, row.lineIndex, "prior weight " + field + " is not a finite number");
        return kErrCannotParseLine;
      }
    }
    block.names[s] = row.fields.back();
  }
  if (settings.PriorWeightsGiven) {
    double total = 0.0;
    for (double weight : block.priorWeight)
      if (weight > 0) total += weight;
    if (!std::isfinite(total)) {
      LogAppend(log, "%s: the prior weights add up to more than %g", file.path.c_str(), DBL_MAX);
      return kErrCannotParseLine;
    }
  }
  return 0;
}

struct SpamStockLine {
  bool excluded;
  int32_t id;
  std::string name;
  std::vector<int32_t> columns;
};

// One SPAM stock line, or false when the line does not fit the layout.
bool ReadSpamStockLine(const BlockLine& line, SpamStockLine& row, bool& tooLarge,
                       bool& sixthColumn) {
  const std::string& text = line.content;
  tooLarge = false;
  sixthColumn = false;
  if (text.empty() || !(IsDigit(text[0]) || ((text[0] == '-' || text[0] == '+') &&
                                             text.size() > 1 && IsDigit(text[1])))) {
    return false;
  }
  std::size_t pos = 0;
  ScanResult id = ScanInt(text, pos, row.id);
  std::size_t colon = text.find(':', pos);
  if (colon == std::string::npos) return false;
  std::size_t blank = text.find_first_of(" \t", pos);
  if (blank == std::string::npos || blank > colon) return false;
  row.excluded = line.excluded;
  row.name = TrimLine(text.substr(blank, colon - blank));
  row.columns.clear();
  pos = colon + 1;
  int32_t value = 0;
  ScanResult result = kScanOk;
  while ((result = ScanInt(text, pos, value)) != kScanNone) {
    if (row.columns.size() == 5) {
      sixthColumn = true;
      break;
    }
    tooLarge = tooLarge || result == kScanTooLarge;
    row.columns.push_back(value);
  }
  tooLarge = tooLarge || id == kScanTooLarge;
  return true;
}

ErrorFlags ReadSpamStocks(const TextFile& file, StockBlock& block, LogBuffer& log) {
  int start = FindBlockStart(file, BlockHeader::kStocks, true);
  if (start < 0) return kErrNoStockBlock;
  std::vector<SpamStockLine> rows;
  for (std::size_t i = static_cast<std::size_t>(start); i < file.lines.size(); ++i) {
    int at = static_cast<int>(i);
    BlockLine line = ReadBlockLine(file.lines[i], true);
    if (line.blank) continue;
    if (line.ends) break;
    SpamStockLine row;
    bool tooLarge = false, sixthColumn = false;
    if (!ReadSpamStockLine(line, row, tooLarge, sixthColumn)) break;
    if (!rows.empty() && row.columns.size() != rows.front().columns.size()) break;
    if (tooLarge) {
      LogBlockRefusal(log, file, at, "number beyond the 32-bit integer range");
      return kErrCannotParseLine;
    }
    // Five grouping levels are all a run can hold; a sixth column would be
    // dropped without a word.
    if (sixthColumn) {
      LogBlockRefusal(log, file, at, "more than 5 region columns");
      return kErrMoreThan5Levels;
    }
    if (static_cast<int>(row.name.size()) > kMaxBlockNameLength) {
      LogBlockRefusal(log, file, at,
                      Describe("stock name longer than %lld characters", kMaxBlockNameLength));
      return kErrCannotParseLine;
    }
    if (static_cast<int>(rows.size()) == kMaxControlStocks) {
      LogBlockRefusal(log, file, at, Describe("more than %lld stocks", kMaxControlStocks));
      return kErrTooManyStocks;
    }
    rows.push_back(std::move(row));
  }

  // A column is a grouping level when some stock has a non-zero value in it;
  // testing each value rather than the column's sum keeps a column of values
  // that cancel out (or that would overflow a sum) from being misjudged.
  std::vector<int> levelColumns;
  std::size_t columnCount = rows.empty() ? 0 : rows.front().columns.size();
  for (std::size_t k = 0; k < columnCount; ++k) {
    bool used = std::any_of(rows.begin(), rows.end(),
                            [k](const SpamStockLine& row) { return row.columns[k] != 0; });
    if (used) levelColumns.push_back(static_cast<int>(k));
  }
  if (levelColumns.empty()) return kErrInvalidLevel;

  const int count = static_cast<int>(rows.size());
  int longest = 0;
  for (const SpamStockLine& row : rows) longest = std::max(longest, static_cast<int>(row.name.size()));
  block.count = count;
  block.levelCount = static_cast<int32_t>(levelColumns.size());
  block.nameWidth = longest;
  block.stockId.resize(count);
  block.names.resize(count);
  block.flags.resize(count);
  for (int k = 0; k < block.levelCount; ++k) block.groupAt[k].resize(count);
  for (int s = 0; s < count; ++s) {
    const SpamStockLine& row = rows[s];
    block.stockId[s] = row.id;
    block.names[s] = row.name;
    for (int k = 0; k < block.levelCount; ++k) block.groupAt[k][s] = row.columns[levelColumns[k]];
    if (row.excluded) {
      block.flags[s] = kItemExcluded;
      ++block.excludedCount;
    }
  }
  return 0;
}

}  // namespace

ErrorFlags ParseStockBlock(const std::string& path, int32_t kind, RunSettings& settings,
                           StockBlock& block, LogBuffer& log) {
  block = StockBlock{};
  const bool spam = kind != kControlMixora;
  TextFile file;
  ErrorFlags flags = OpenInputFile(path, "stocks from", log, file);
  if (flags == kErrFatal) return flags;
  if (flags == 0) {
    flags = spam ? ReadSpamStocks(file, block, log) : ReadTextStocks(file, settings, block, log);
  }
  return FinishBlock(log, flags, "Stocks parsed successfully", "Fatal error parsing stock block");
}

}  // namespace mixora
