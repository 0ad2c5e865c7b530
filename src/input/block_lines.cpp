#include "input/block_lines.h"

#include <cctype>

#include "core/lookups.h"

namespace mixora {

namespace {

bool ContainsNoCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (NamesEqual(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

bool BeginsNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && NamesEqual(text.substr(0, prefix.size()), prefix);
}

bool IsHeader(const std::string& line, BlockHeader header, bool spam) {
  if (spam) {
    if (line.empty() || line[0] != '*') return false;
    switch (header) {
      case BlockHeader::kCharacters: return ContainsNoCase(line, "characters used");
      case BlockHeader::kStocks: return ContainsNoCase(line, "populations used");
      case BlockHeader::kGroups: return ContainsNoCase(line, "regions");
    }
    return false;
  }
  if (line.find('=') == std::string::npos) return false;
  switch (header) {
    case BlockHeader::kCharacters: return BeginsNoCase(line, "Chars");
    case BlockHeader::kStocks: return BeginsNoCase(line, "Stocks");
    case BlockHeader::kGroups: return BeginsNoCase(line, "Groups");
  }
  return false;
}

}  // namespace

int FindBlockStart(const TextFile& file, BlockHeader header, bool spam) {
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    if (IsHeader(TrimLine(file.lines[i]), header, spam)) {
      return static_cast<int>(i + (spam ? 2 : 1));
    }
  }
  return -1;
}

BlockLine ReadBlockLine(const std::string& raw, bool spam) {
  BlockLine line;
  std::string text = TrimLine(raw);
  if (text.empty()) {
    line.blank = true;
    return line;
  }
  if (spam && text[0] == '*') {
    line.ends = true;
    return line;
  }
  if (text[0] == (spam ? '\\' : '!')) {
    line.excluded = true;
    text = TrimLine(text.substr(1));
  }
  line.content = text;
  return line;
}

void LogBlockRefusal(LogBuffer& log, const TextFile& file, int lineIndex,
                     const std::string& problem) {
  LogAppend(log, "%s, line %d: %s", file.path.c_str(), lineIndex + 1, problem.c_str());
}

ErrorFlags FinishBlock(LogBuffer& log, ErrorFlags flags, const char* success,
                       const char* failure) {
  if (flags == 0) {
    LogAppend(log, "%s", success);
  } else {
    LogAppend(log, "%s", failure);
    LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
  }
  return flags;
}

}  // namespace mixora
