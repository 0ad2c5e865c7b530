#include "input/text_control_writer.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/atomic_file.h"
#include "input/control_keywords.h"

#include "core/string_format.h"

namespace mixora {

namespace {

template <typename... Args>
void Append(std::string& out, const char* format, Args... args) {
  AppendFormat(out, format, args...);
}

const char* ExclusionMark(const std::vector<int32_t>& flags, int index) {
  return (static_cast<std::size_t>(index) < flags.size() && (flags[index] & kItemExcluded))
             ? "! "
             : "";
}

// The text layout reads a stock name as one word; a name that holds blanks
// (as SPAM names may) would come back cut to its first word, and two stocks
// could end up sharing a name. Joining the words keeps the name whole.
std::string OneWordName(std::string name) {
  for (char& c : name) {
    if (c == ' ' || c == '\t') c = '_';
  }
  return name;
}

// A prior weight as the stock reader recognises one: with a "." followed by a
// digit, and with as many digits as it takes to read back the same value.
std::string WeightText(double weight) {
  char text[400];
  auto [end, error] = std::to_chars(text, text + sizeof text - 3, weight, std::chars_format::fixed);
  if (error != std::errc()) return "0.0";
  std::string result(text, end);
  if (result.find('.') == std::string::npos) result += ".0";
  return result;
}

}  // namespace

std::string FormatTextControlFile(const Control& control) {
  std::string out;
  if (!control.settings) return out;
  const RunSettings& settings = *control.settings;
  const KeywordSpec* rows = TextKeywordTable();
  const std::size_t rowCount = TextKeywordCount();

  Append(out, "%s\r\n\r\n", "MIXORA");
  Append(out, "Title = %s\r\n\r\n", FormatKeyword(rows[0], &settings).c_str());
  for (std::size_t r = 1; r < rowCount; ++r) {
    Append(out, "%s = %s\r\n", rows[r].name, FormatKeyword(rows[r], &settings).c_str());
  }

  Append(out, "\r\nChars =\r\n");
  if (const CharacterBlock* chars = control.characters.get()) {
    for (int c = 0; c < chars->count; ++c) {
      Append(out, "%s%03d %02d %c %-s\r\n", ExclusionMark(chars->flags, c), chars->charId[c],
             chars->alleleCount[c], chars->isLocus[c] ? 'T' : 'F', chars->names[c].c_str());
    }
  }

  Append(out, "\r\nStocks =\r\n");
  if (const StockBlock* stocks = control.stocks.get()) {
    for (int s = 0; s < stocks->count; ++s) {
      Append(out, "%s%03d", ExclusionMark(stocks->flags, s), stocks->stockId[s]);
      for (int k = 0; k < stocks->levelCount && k < 5; ++k) {
        Append(out, " %02d", stocks->groupAt[k][s]);
      }
      // Without its weight column a run that had one would read back with
      // the informative prior switched off.
      if (settings.PriorWeightsGiven && static_cast<std::size_t>(s) < stocks->priorWeight.size()) {
        Append(out, " %s", WeightText(stocks->priorWeight[s]).c_str());
      }
      Append(out, "  %s\r\n", OneWordName(stocks->names[s]).c_str());
    }
  }

  Append(out, "\r\nGroups =\r\n");
  if (const GroupBlock* groups = control.groups.get()) {
    for (int g = 0; g < groups->count; ++g) {
      Append(out, "%s%3d %3d  %s\r\n", ExclusionMark(groups->flags, g), groups->level[g] + 1,
             groups->groupId[g], groups->names[g].c_str());
    }
  }
  return out;
}

int WriteTextControlFile(const std::string& path, const Control& control) {
  if (!control.settings) return 0;
  std::string text = FormatTextControlFile(control);
  return WriteWholeFile(path, text);
}

}  // namespace mixora
