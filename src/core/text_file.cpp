#include "core/text_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mixora {

namespace {
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsJunk(unsigned char c) {
  if (c >= 32 || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') return false;
  // A lone Ctrl-Z at the end of old DOS text files is harmless junk too, but
  // anywhere else it means binary data; we refuse it wherever it is.
  return true;
}
}  // namespace

TextFileStatus SplitTextLines(const std::string& text, const std::string& path, TextFile& out,
                              int& badLine, std::string& message) {
  out.path = path;
  out.lines.clear();
  badLine = 0;
  message.clear();
  std::string current;
  int lineNumber = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\n' || c == '\r') {
      out.lines.push_back(current);
      current.clear();
      ++lineNumber;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    if (IsJunk(static_cast<unsigned char>(c))) {
      badLine = lineNumber;
      message = path + ", line " + std::to_string(lineNumber) +
                ": binary data (control character " + std::to_string(static_cast<unsigned char>(c)) +
                "); not a text file";
      out.lines.clear();
      return TextFileStatus::kBinary;
    }
    current.push_back(c);
    if (current.size() > kMaxLineLength) {
      badLine = lineNumber;
      message = path + ", line " + std::to_string(lineNumber) + ": line longer than " +
                std::to_string(kMaxLineLength) + " characters";
      out.lines.clear();
      return TextFileStatus::kLineTooLong;
    }
  }
  if (!current.empty()) out.lines.push_back(current);
  return TextFileStatus::kOk;
}

TextFileStatus ReadTextFile(const std::string& path, TextFile& out, int& badLine,
                            std::string& message) {
  // A folder opens as a stream on some systems and then reads as empty,
  // which would pass for a file without data lines; a device or a pipe
  // (/dev/zero, a FIFO) would be read without end.
  std::error_code ec;
  std::filesystem::file_status status = std::filesystem::status(path, ec);
  bool folder = std::filesystem::is_directory(status);
  bool special = std::filesystem::exists(status) && !folder &&
                 !std::filesystem::is_regular_file(status);
  std::ifstream in;
  if (!folder && !special) in.open(path, std::ios::binary);
  if (folder || special || !in) {
    out.path = path;
    out.lines.clear();
    badLine = 0;
    message = "Cannot open " + path +
              (folder ? ": it is a folder" : special ? ": it is not a regular file" : "");
    return TextFileStatus::kCannotOpen;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return SplitTextLines(buffer.str(), path, out, badLine, message);
}

std::string TrimLine(const std::string& line) {
  std::size_t begin = 0, end = line.size();
  while (begin < end && IsSpace(line[begin])) ++begin;
  while (end > begin && IsSpace(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

bool IsSkippedLine(const std::string& trimmed) {
  return trimmed.empty() || trimmed[0] == '\\' || trimmed[0] == '!';
}

int FirstDataLine(const TextFile& file) {
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    if (!IsSkippedLine(TrimLine(file.lines[i]))) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace mixora
