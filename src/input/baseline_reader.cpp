#include "input/baseline_reader.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>
#include <vector>

#include "core/lookups.h"
#include "core/text_file.h"
#include "input/data_fields.h"
#include "input/input_file.h"

namespace mixora {

namespace {

constexpr const char* kLabel = "Baseline";
constexpr std::string_view kBlanks = " \t";

// One data line of either layout, as the first pass understood it.
struct CountLine {
  int lineNumber = 0;
  int32_t stockIndex = 0;
  int32_t charIndex = 0;
  std::vector<int32_t> counts;
};

struct Refusal {
  int lineNumber = 0;
  std::string problem;
  ErrorFlags flags = 0;
};

bool IsCommentLine(const std::string& trimmed) {
  return !trimmed.empty() && (trimmed[0] == '\\' || trimmed[0] == '!');
}

// Reads the counts of one line. Text that is not a number counts 0, as the
// layouts have always been read; a negative count or one too large to total
// is refused rather than wrapped.
bool ReadCounts(const std::vector<std::string_view>& fields, std::size_t first,
                std::vector<int32_t>& counts, Refusal& refusal) {
  std::size_t n = fields.size() > first ? fields.size() - first : 0;
  if (n > static_cast<std::size_t>(kMaxAllelePositions)) {
    refusal.problem = std::to_string(n) + " counts on one line; at most " +
                      std::to_string(kMaxAllelePositions) + " allele positions are held";
    refusal.flags = kErrTooManyAllelePositions;
    return false;
  }
  counts.assign(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    int32_t value = 0;
    NumberRead read = ReadLeadingInt(fields[first + k], value);
    if (read == NumberRead::kOutOfRange || value < 0 || value > kMaxBaselineCount) {
      refusal.problem = "count \"" + std::string(fields[first + k]) + "\" is not 0 - " +
                        std::to_string(kMaxBaselineCount);
      refusal.flags = kErrCannotParseLine;
      return false;
    }
    counts[k] = value;
  }
  return true;
}

ErrorFlags Refuse(LogBuffer& log, const std::string& path, const Refusal& refusal) {
  LogLineRefusal(log, path, refusal.lineNumber, refusal.problem, refusal.flags);
  return refusal.flags;
}

// Sizes the arrays once the counts are known. A later line for the same
// stock and character replaces the earlier one entirely.
void StoreCounts(BaselineData& base, const std::vector<CountLine>& lines) {
  const std::size_t C = static_cast<std::size_t>(base.charCount);
  const std::size_t A = static_cast<std::size_t>(base.maxAlleles);
  base.alleleCount.assign(C, 0);
  base.counts.assign(static_cast<std::size_t>(base.stockCount) * C * A, 0);
  base.totals.assign(static_cast<std::size_t>(base.stockCount) * C, 0);
  base.charFirstLine.assign(C, 0);
  base.charFirstStock.assign(C, -1);
  for (const CountLine& line : lines) {
    const std::size_t c = static_cast<std::size_t>(line.charIndex);
    if (base.charFirstLine[c] == 0) {
      base.charFirstLine[c] = line.lineNumber;
      base.charFirstStock[c] = line.stockIndex;
    }
    std::size_t at = (static_cast<std::size_t>(line.stockIndex) * C +
                      static_cast<std::size_t>(line.charIndex)) * A;
    std::fill(base.counts.begin() + static_cast<std::ptrdiff_t>(at),
              base.counts.begin() + static_cast<std::ptrdiff_t>(at + A), 0);
    std::copy(line.counts.begin(), line.counts.end(),
              base.counts.begin() + static_cast<std::ptrdiff_t>(at));
    int32_t& seen = base.alleleCount[static_cast<std::size_t>(line.charIndex)];
    seen = std::max(seen, static_cast<int32_t>(line.counts.size()));
  }
}

}  // namespace

int32_t ClassifyBaselineFile(const std::string& path) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (status == TextFileStatus::kCannotOpen) return kFormatNotFound;
  if (status != TextFileStatus::kOk) return kBaselineUnknown;
  int first = FirstDataLine(file);
  if (first < 0) return kBaselineUnknown;
  std::string line = TrimLine(file.lines[static_cast<std::size_t>(first)]);
  if (line[0] == '#') return kBaselineSpam;
  if (std::isdigit(static_cast<unsigned char>(line[0]))) return kBaselineTalmo;
  if (StartsWithNoCase(line, "Label")) return kBaselineGenepopLabel;
  return kBaselineGenepop;
}

ErrorFlags ReadTalmoBaseline(const std::string& path, BaselineData& baseline, LogBuffer& log) {
  baseline = BaselineData{};
  TextFile file;
  if (ErrorFlags open = OpenInputFile(path, kLabel, log, file)) return open;
  try {
    std::vector<int32_t> stockIds, charIds;
    std::vector<CountLine> lines;
    int32_t longest = 0;
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (trimmed.empty() || IsCommentLine(trimmed)) continue;
      Refusal refusal;
      refusal.lineNumber = static_cast<int>(i) + 1;
      std::vector<std::string_view> fields = SplitFields(trimmed, kBlanks);
      int32_t stock = 0, character = 0;
      // A line whose IDs are not numbers would otherwise become stock 0 or
      // character 0 and mix its counts into a stock that does not exist.
      if (fields.size() < 3 || ReadLeadingInt(fields[0], stock) != NumberRead::kNumber ||
          ReadLeadingInt(fields[1], character) != NumberRead::kNumber) {
        refusal.problem = "expected a stock ID, a character ID, a total and the counts";
        refusal.flags = kErrCannotParseLine;
        return Refuse(log, path, refusal);
      }
      CountLine line;
      line.lineNumber = refusal.lineNumber;
      if (!ReadCounts(fields, 3, line.counts, refusal)) return Refuse(log, path, refusal);
      line.stockIndex = AddValueUnlessPresent(stockIds, stock);
      if (stockIds.size() > static_cast<std::size_t>(kMaxDataStocks)) {
        refusal.problem = "more than " + std::to_string(kMaxDataStocks) + " stocks";
        refusal.flags = kErrTooManyStocks;
        return Refuse(log, path, refusal);
      }
      line.charIndex = AddValueUnlessPresent(charIds, character);
      if (charIds.size() > static_cast<std::size_t>(kMaxDataCharacters)) {
        refusal.problem = "more than " + std::to_string(kMaxDataCharacters) + " characters";
        refusal.flags = kErrTooManyCharacters;
        return Refuse(log, path, refusal);
      }
      longest = std::max(longest, static_cast<int32_t>(line.counts.size()));
      lines.push_back(std::move(line));
    }
    baseline.stockCount = static_cast<int32_t>(stockIds.size());
    baseline.charCount = static_cast<int32_t>(charIds.size());
    baseline.maxAlleles = longest;
    StoreCounts(baseline, lines);
    baseline.stockId = stockIds;
    baseline.charId = charIds;
  } catch (const std::bad_alloc&) {
    baseline = BaselineData{};
    LogAppend(log, "%s", DescribeErrorFlags(kErrMemoryFailure).c_str());
    return kErrMemoryFailure;
  }
  LogAppend(log, "File parsed successfully");
  return 0;
}

ErrorFlags ReadSpamBaseline(const std::string& path, BaselineData& baseline, LogBuffer& log) {
  baseline = BaselineData{};
  TextFile file;
  if (ErrorFlags open = OpenInputFile(path, kLabel, log, file)) return open;
  try {
    std::vector<int32_t> stockIds;
    std::vector<std::string> stockNames, charNames;
    std::vector<CountLine> lines;
    int32_t longest = 0;
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
      std::string trimmed = TrimLine(file.lines[i]);
      if (trimmed.empty() || IsCommentLine(trimmed)) continue;
      Refusal refusal;
      refusal.lineNumber = static_cast<int>(i) + 1;
      if (trimmed[0] == '#') {
        std::string_view rest = std::string_view(trimmed).substr(1);
        rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(kBlanks)));
        int32_t id = 0;
        if (ReadLeadingInt(rest, id) != NumberRead::kNumber) {
          refusal.problem = "stock header without a stock ID";
          refusal.flags = kErrCannotParseLine;
          return Refuse(log, path, refusal);
        }
        std::size_t digits = (rest[0] == '+' || rest[0] == '-') ? 1 : 0;
        digits = rest.find_first_not_of("0123456789", digits);
        std::string name =
            digits == std::string_view::npos ? "" : TrimLine(std::string(rest.substr(digits)));
        if (stockIds.size() == static_cast<std::size_t>(kMaxDataStocks)) {
          refusal.problem = "more than " + std::to_string(kMaxDataStocks) + " stocks";
          refusal.flags = kErrTooManyStocks;
          return Refuse(log, path, refusal);
        }
        stockIds.push_back(id);
        stockNames.push_back(name.substr(0, kMaxDataNameLength));
        continue;
      }
      // Blanks separate the fields; a tab is taken as a blank too, since a
      // tab inside a count field would otherwise hide the counts after it.
      std::vector<std::string_view> fields = SplitFields(trimmed, kBlanks);
      if (stockIds.empty()) {
        refusal.problem = "character line before the first stock header (\"#\" line)";
        refusal.flags = kErrCannotParseLine;
        return Refuse(log, path, refusal);
      }
      if (fields[0].size() > static_cast<std::size_t>(kMaxDataNameLength)) {
        // Cutting the name could merge two characters into one.
        refusal.problem = "character name longer than " + std::to_string(kMaxDataNameLength) +
                          " characters";
        refusal.flags = kErrCannotParseLine;
        return Refuse(log, path, refusal);
      }
      CountLine line;
      line.lineNumber = refusal.lineNumber;
      if (!ReadCounts(fields, 1, line.counts, refusal)) return Refuse(log, path, refusal);
      line.stockIndex = static_cast<int32_t>(stockIds.size()) - 1;
      line.charIndex = AddNameUnlessPresent(charNames, std::string(fields[0]), kMaxDataNameLength);
      if (charNames.size() > static_cast<std::size_t>(kMaxDataCharacters)) {
        refusal.problem = "more than " + std::to_string(kMaxDataCharacters) + " characters";
        refusal.flags = kErrTooManyCharacters;
        return Refuse(log, path, refusal);
      }
      longest = std::max(longest, static_cast<int32_t>(line.counts.size()));
      lines.push_back(std::move(line));
    }
    baseline.stockCount = static_cast<int32_t>(stockIds.size());
    baseline.charCount = static_cast<int32_t>(charNames.size());
    baseline.maxAlleles = longest;
    baseline.stockNameWidth = LongestName(stockNames);
    baseline.charNameWidth = LongestName(charNames);
    StoreCounts(baseline, lines);
    baseline.stockId = stockIds;
    if (baseline.stockNameWidth > 0) baseline.stockNames = stockNames;
    baseline.charNames = charNames;
    // The IDs of a SPAM baseline are the order of first appearance; the
    // baseline check replaces them with the control file's IDs.
    baseline.charId.resize(charNames.size());
    for (std::size_t c = 0; c < charNames.size(); ++c) baseline.charId[c] = static_cast<int32_t>(c) + 1;
  } catch (const std::bad_alloc&) {
    baseline = BaselineData{};
    LogAppend(log, "%s", DescribeErrorFlags(kErrMemoryFailure).c_str());
    return kErrMemoryFailure;
  }
  LogAppend(log, "File parsed successfully");
  return 0;
}

void SumBaselineTotals(BaselineData& baseline) {
  const std::size_t S = static_cast<std::size_t>(std::max(baseline.stockCount, 0));
  const std::size_t C = static_cast<std::size_t>(std::max(baseline.charCount, 0));
  const std::size_t A = static_cast<std::size_t>(std::max(baseline.maxAlleles, 0));
  baseline.totals.assign(S * C, 0);
  if (baseline.counts.size() < S * C * A || baseline.alleleCount.size() < C) return;
  for (std::size_t s = 0; s < S; ++s) {
    for (std::size_t c = 0; c < C; ++c) {
      std::size_t n = std::min(static_cast<std::size_t>(std::max(baseline.alleleCount[c], 0)), A);
      int64_t sum = 0;
      for (std::size_t k = 0; k < n; ++k) sum += baseline.counts[(s * C + c) * A + k];
      baseline.totals[s * C + c] = static_cast<int32_t>(std::min<int64_t>(sum, INT32_MAX));
    }
  }
}

}  // namespace mixora
