#pragma once
// Deterministic damage to text input files, and a guard that ends the test
// program when one run over a damaged file does not come back.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/text_file.h"

namespace mixora::damage_testing {

// One damaged copy of a file. `badLine` is the 1-based line that must be
// named when the damage makes the file no text file (a NUL byte, a line too
// long); 0 for any other damage.
struct Damage {
  std::string bytes;
  std::string what;
  int badLine = 0;
};

// The line (from 1) that byte `at` of `text` stands on, counting LF, CR LF
// and a lone CR as one line end each.
inline int LineOfByte(const std::string& text, std::size_t at) {
  int line = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n') ++line;
    else if (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n')) ++line;
  }
  return line;
}

// Splits at line ends, keeping each line's end with it so a file can be put
// back together byte for byte.
inline std::vector<std::string> SplitKeepingEnds(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    current.push_back(text[i]);
    if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n'))) {
      lines.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

inline std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

// Byte ranges of the blank-separated words of a text.
inline std::vector<std::pair<std::size_t, std::size_t>> WordSpans(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t i = 0;
  auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < text.size()) {
    while (i < text.size() && white(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !white(text[i])) ++i;
    if (i > start) spans.emplace_back(start, i - start);
  }
  return spans;
}

class Damager {
 public:
  explicit Damager(uint32_t seed) : random_(seed) {}

  std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random_() % n); }

  Damage Apply(const std::string& text) {
    static const char* const kNumbers[] = {
        "2147483648", "-1", "99999999999", "-2147483649", "0", "4294967296", "999", "1000",
        "256", "257", "-0", "+7", "1e999", "1.5e400", ".5", "nan", "inf", "65536", "200", "201"};
    static const char kMarks[] = ",:=!\\#*/.-+ \t\xE9\xFF";
    Damage d;
    d.bytes = text;
    std::vector<std::string> lines = SplitKeepingEnds(text);
    auto words = WordSpans(text);
    switch (Below(18)) {
      case 0: {
        if (text.empty()) break;
        std::size_t at = Below(text.size());
        d.bytes[at] = static_cast<char>(d.bytes[at] ^ static_cast<char>(1 + Below(255)));
        d.what = "byte " + std::to_string(at) + " flipped";
        // A flip to a control character makes the file binary; which line
        // is then named is the business of the NUL case below.
        break;
      }
      case 1:
      case 2: {
        if (words.empty()) break;
        auto [at, length] = words[Below(words.size())];
        const char* number = kNumbers[Below(std::size(kNumbers))];
        d.bytes.replace(at, length, number);
        d.what = "word at " + std::to_string(at) + " replaced by " + number;
        break;
      }
      case 3: {
        if (words.empty()) break;
        auto [at, length] = words[Below(words.size())];
        d.bytes.erase(at, length);
        d.what = "word at " + std::to_string(at) + " removed";
        break;
      }
      case 4: {
        if (lines.empty()) break;
        std::size_t n = Below(lines.size());
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(n));
        d.bytes = Join(lines);
        d.what = "line " + std::to_string(n + 1) + " removed";
        break;
      }
      case 5: {
        if (lines.empty()) break;
        std::size_t n = Below(lines.size());
        std::size_t to = Below(lines.size() + 1);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(to), lines[n]);
        d.bytes = Join(lines);
        d.what = "line " + std::to_string(n + 1) + " copied before line " + std::to_string(to + 1);
        break;
      }
      case 6: {
        std::size_t at = Below(text.size() + 1);
        d.bytes.resize(at);
        d.what = "cut after " + std::to_string(at) + " bytes";
        break;
      }
      case 7: {
        // At the limit the line is read; one past it is refused by line.
        std::size_t n = Below(lines.size() + 1);
        bool tooLong = Below(2) == 0;
        std::string line(tooLong ? kMaxLineLength + 1 + Below(3000) : kMaxLineLength, 'x');
        if (Below(2)) line.replace(0, 5, "12 3 ");
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(n), line + "\r\n");
        d.bytes = Join(lines);
        d.badLine = tooLong ? static_cast<int>(n) + 1 : 0;
        d.what = std::to_string(line.size()) + "-character line before line " + std::to_string(n + 1);
        break;
      }
      case 8: {
        std::size_t at = Below(text.size() + 1);
        d.bytes.insert(at, 1, '\0');
        d.badLine = LineOfByte(d.bytes, at);
        d.what = "NUL byte at " + std::to_string(at);
        break;
      }
      case 9: {
        if (lines.empty()) break;
        std::size_t n = Below(lines.size());
        for (char& c : lines[n])
          if (c == ' ') c = '\t';
        d.bytes = Join(lines);
        d.what = "blanks of line " + std::to_string(n + 1) + " made tabs";
        break;
      }
      case 10: {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
          if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
          out.push_back(text[i] == '\n' ? '\r' : text[i]);
        }
        d.bytes = out;
        d.what = "CR-only line ends";
        break;
      }
      case 11: {
        std::size_t at = Below(text.size() + 1);
        char mark = kMarks[Below(sizeof kMarks - 1)];
        d.bytes.insert(at, 1, mark);
        d.what = std::string("'") + mark + "' inserted at " + std::to_string(at);
        break;
      }
      case 12: {
        if (lines.empty()) break;
        std::size_t n = Below(lines.size());
        lines[n] = Below(2) ? "\r\n" : "   \t\r\n";
        d.bytes = Join(lines);
        d.what = "line " + std::to_string(n + 1) + " blanked";
        break;
      }
      case 13: {
        if (words.empty()) break;
        auto [at, length] = words[Below(words.size())];
        std::string word = text.substr(at, length);
        d.bytes.insert(at, word + " ");
        d.what = "word at " + std::to_string(at) + " repeated";
        break;
      }
      case 14: {
        if (lines.size() < 2) break;
        std::size_t a = Below(lines.size()), b = Below(lines.size());
        std::swap(lines[a], lines[b]);
        d.bytes = Join(lines);
        d.what = "lines " + std::to_string(a + 1) + " and " + std::to_string(b + 1) + " swapped";
        break;
      }
      case 15: {
        if (Below(4) == 0) {
          d.bytes.clear();
          d.what = "emptied";
        } else {
          // Many lines cut at once: a file whose end went missing.
          std::size_t keep = Below(lines.size() + 1);
          lines.resize(keep);
          d.bytes = Join(lines);
          d.what = "only the first " + std::to_string(keep) + " lines kept";
        }
        break;
      }
      case 16: {
        // Past every name and field width the readers hold.
        if (words.empty()) break;
        auto [at, length] = words[Below(words.size())];
        std::size_t size = 48 + Below(300);
        d.bytes.replace(at, length, std::string(size, Below(2) ? '7' : 'W'));
        d.what = "word at " + std::to_string(at) + " made " + std::to_string(size) + " long";
        break;
      }
      case 17: {
        // Past the held counts of stocks, characters and loci: one line
        // repeated, its leading number counted up when it has one.
        if (lines.empty()) break;
        std::size_t n = Below(lines.size());
        std::string line = lines[n];
        std::size_t digits = 0;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
        std::size_t copies = 150 + Below(1000);
        std::vector<std::string> added;
        for (std::size_t k = 1; k <= copies; ++k)
          added.push_back(digits > 0 && digits < 9
                              ? std::to_string(std::stol(line.substr(0, digits)) + static_cast<long>(k)) +
                                    line.substr(digits)
                              : line);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(n) + 1, added.begin(), added.end());
        d.bytes = Join(lines);
        d.what = "line " + std::to_string(n + 1) + " repeated " + std::to_string(copies) + " times";
        break;
      }
    }
    if (d.what.empty()) d.what = "unchanged";
    return d;
  }

 private:
  std::mt19937 random_;
};

// Ends the process with a message when an armed run does not disarm in time:
// a hang would otherwise stall the whole test program without a word.
class HangGuard {
 public:
  HangGuard() : watcher_([this] { Watch(); }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    watcher_.join();
  }

  void Arm(const std::string& what, std::chrono::seconds limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    what_ = what;
    deadline_ = std::chrono::steady_clock::now() + limit;
    armed_ = true;
    wake_.notify_all();
  }
  void Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      if (armed_ && std::chrono::steady_clock::now() > deadline_) {
        std::fprintf(stderr, "\nHANG: no return within the time limit: %s\n", what_.c_str());
        std::fflush(stderr);
        std::_Exit(3);
      }
      wake_.wait_for(lock, std::chrono::milliseconds(200));
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool armed_ = false;
  std::string what_;
  std::chrono::steady_clock::time_point deadline_{};
  std::thread watcher_;
};

}  // namespace mixora::damage_testing
