#pragma once
// Reading text input files line by line, safely.
#include <cstddef>
#include <string>
#include <vector>

#include "core/run_limits.h"

namespace mixora {

inline constexpr std::size_t kMaxLineLength = kMaxTextLineLength;

// A text file read whole into lines. Line ends LF, CR LF and a lone CR all
// end a line; the ends are not kept. Lines are kept untrimmed.
struct TextFile {
  std::string path;
  std::vector<std::string> lines;
};

enum class TextFileStatus { kOk, kCannotOpen, kLineTooLong, kBinary };

// Reads the file. Refuses a line longer than kMaxLineLength characters and a file with
// NUL bytes or other control characters (other than tab, CR, LF, form feed and
// vertical tab); `badLine` then holds the 1-based line number and `message` a
// sentence naming the file, the line and the problem.
TextFileStatus ReadTextFile(const std::string& path, TextFile& out, int& badLine,
                            std::string& message);

// Same checks over text already in memory (used by converters working on
// temporary text).
TextFileStatus SplitTextLines(const std::string& text, const std::string& pathForMessages,
                              TextFile& out, int& badLine, std::string& message);

// Trims white space (blank, tab, CR, LF, FF, VT) from both ends.
std::string TrimLine(const std::string& line);

// True for a line that is empty after trimming or begins with "\" or "!".
bool IsSkippedLine(const std::string& trimmed);

// Index of the first data line (not empty, not starting with "\" or "!"),
// or -1 when there is none.
int FirstDataLine(const TextFile& file);

}  // namespace mixora
