#include "input/unknown_keywords.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/c_locale.h"
#include "core/lookups.h"

namespace mixora {
namespace {

bool StartsWithName(const std::string& line, const char* name) {
  const std::size_t length = std::strlen(name);
  return line.size() >= length && NamesEqual(line.substr(0, length), name);
}

}  // namespace

int KeywordEditDistance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1, 0));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const bool same = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && AsciiLower(a[i - 1]) == AsciiLower(b[j - 2]) &&
          AsciiLower(a[i - 2]) == AsciiLower(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

const KeywordSpec* NearestKeyword(const std::string& word, const KeywordSpec* rows,
                                  std::size_t rowCount) {
  const KeywordSpec* nearest = nullptr;
  int fewest = 0;
  for (std::size_t r = 0; r < rowCount; ++r) {
    const int allowed = std::strlen(rows[r].name) <= 5 ? 1 : 2;
    const int edits = KeywordEditDistance(word, rows[r].name);
    if (edits <= allowed && (nearest == nullptr || edits < fewest)) {
      nearest = &rows[r];
      fewest = edits;
    }
  }
  return nearest;
}

ErrorFlags CheckUnknownKeywordLines(const TextFile& file, char separator, const KeywordSpec* rows,
                                    std::size_t rowCount, std::span<const char* const> blockHeads,
                                    LogBuffer& log) {
  ErrorFlags flags = 0;
  for (std::size_t lineIndex = 0; lineIndex < file.lines.size(); ++lineIndex) {
    const std::string line = TrimLine(file.lines[lineIndex]);
    const std::size_t sep = line.find(separator);
    if (sep == std::string::npos || line[0] == '!' || line[0] == '\\') continue;
    auto matches = [&](const char* name) { return StartsWithName(line, name); };
    if (std::any_of(rows, rows + rowCount, [&](const KeywordSpec& row) { return matches(row.name); }) ||
        std::any_of(blockHeads.begin(), blockHeads.end(), matches))
      continue;
    const std::string word = TrimLine(line.substr(0, sep));
    const int number = static_cast<int>(lineIndex) + 1;
    const KeywordSpec* meant = word.size() >= 3 ? NearestKeyword(word, rows, rowCount) : nullptr;
    if (meant != nullptr) {
      LogAppend(log,
                "%s, line %d: \"%s\" is not a keyword; did you mean %s? Correct the line, or "
                "begin it with \"!\" if it is a note",
                file.path.c_str(), number, word.c_str(), meant->name);
      flags |= kErrCannotParseLine;
    } else {
      LogAppend(log, "Info: %s, line %d: \"%s\" is not a keyword; the line is skipped",
                file.path.c_str(), number, word.c_str());
    }
  }
  return flags;
}

}  // namespace mixora
