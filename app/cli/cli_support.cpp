#include "cli_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>

#include "sampler/chain_workers.h"

namespace mixora::cli {

bool StdinIsTerminal() { return ::isatty(0) == 1; }
bool StdoutIsTerminal() { return ::isatty(1) == 1; }

void PrintError(const std::string& text) { std::cerr << "mixora: " << text << "\n"; }

namespace {

// Only the newest problem is kept, with a count that marks can be taken of:
// a long run may show many.
struct ShownProblems {
  std::mutex lock;
  std::size_t count = 0;
  std::string newest;
};

ShownProblems& Problems() {
  static ShownProblems problems;
  return problems;
}

// A box's text on one line: its line ends and runs of blanks become one blank.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char ch : text) {
    const bool blank = ch == '\r' || ch == '\n' || ch == ' ' || ch == '\t';
    if (blank && (line.empty() || line.back() == ' ')) continue;
    line += blank ? ' ' : ch;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

void NoteShownProblem(const std::string& text) {
  const std::string line = OneLine(text);
  if (line.empty()) return;
  ShownProblems& problems = Problems();
  std::lock_guard<std::mutex> hold(problems.lock);
  ++problems.count;
  problems.newest = line;
}

}  // namespace

std::size_t ShownProblemMark() {
  ShownProblems& problems = Problems();
  std::lock_guard<std::mutex> hold(problems.lock);
  return problems.count;
}

std::string WithCause(const std::string& text, std::size_t mark) {
  ShownProblems& problems = Problems();
  std::lock_guard<std::mutex> hold(problems.lock);
  if (mark >= problems.count) return text;
  const std::string& cause = problems.newest;
  if (text.find(cause) != std::string::npos) return text;
  return text + ": " + cause;
}

bool ReportSkippedMixtures(const std::vector<int>& skipped) {
  for (int p : skipped)
    PrintError("mixture " + std::to_string(p + 1) +
               " was not run: every one of its fish was left out at load (see the load log)");
  return skipped.empty();
}

void AddCommonOptions(CLI::App& command, CliOptions& options) {
  command.add_flag("--overwrite", options.overwrite,
                   "Answer \"Yes to All\" to every question about replacing a file");
  command.add_flag("--quiet", options.quiet, "No beeps and no progress display");
}

void AddThreadsPerChainOption(CLI::App& command, int& threadsPerChain) {
  command
      .add_option("--threads-per-chain", threadsPerChain,
                  "Threads each chain shares its likelihoods among (default 1); the sample "
                  "and restart files are the same for every value")
      ->check(CLI::Range(1, static_cast<int>(kMaxThreadsPerChain)));
}

std::vector<std::string> LogLinesFrom(const std::string& log, std::size_t from) {
  std::vector<std::string> lines;
  std::size_t at = std::min(from, log.size());
  while (at < log.size()) {
    std::size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    if (end > at) lines.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

namespace {

// Reads the digits at `at`; false when there are none.
bool ReadLineNumber(const std::string& text, std::size_t& at, std::string& number) {
  std::size_t start = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  number = text.substr(start, at - start);
  return !number.empty();
}

}  // namespace

std::string DescribeFailure(const std::string& step, const std::string& why,
                            const std::string& file, const std::vector<std::string>& lines) {
  const std::string fatal = "Fatal Error in Line ";
  const std::string failed = step + " failed";
  for (const std::string& line : lines) {
    std::string number;
    if (line.rfind(fatal, 0) == 0) {
      std::size_t at = fatal.size();
      if (!ReadLineNumber(line, at, number)) continue;
      if (line.compare(at, 4, " of ") == 0) {
        std::size_t colon = line.find(": ", at + 4);
        if (colon == std::string::npos) continue;
        return line.substr(at + 4, colon - at - 4) + ", line " + number + ": " + failed + ": " +
               line.substr(colon + 2);
      }
      if (at < line.size() && line[at] == ':')
        return file + ", line " + number + ": " + failed + (why.empty() ? "" : ": " + why);
      continue;
    }
    std::size_t mark = line.find(", line ");
    if (mark == std::string::npos || mark == 0) continue;
    std::size_t at = mark + 7;
    if (!ReadLineNumber(line, at, number) || line.compare(at, 2, ": ") != 0) continue;
    return line.substr(0, at) + ": " + failed + ": " + line.substr(at + 2);
  }
  return file + ": " + failed + (why.empty() ? "" : ": " + why);
}

namespace {

struct ButtonChoice {
  const char* label;
  char key;
  int answer;
};

std::vector<ButtonChoice> ButtonsOf(uint32_t type) {
  switch (type & 0xF) {
    case kMbOkCancel: return {{"OK", 'o', kIdOk}, {"Cancel", 'c', kIdCancel}};
    case kMbAbortRetryIgnore:
      return {{"Abort", 'a', kIdAbort}, {"Retry", 'r', kIdRetry}, {"Ignore", 'i', kIdIgnore}};
    case kMbYesNoCancel:
      return {{"Yes", 'y', kIdYes}, {"No", 'n', kIdNo}, {"Cancel", 'c', kIdCancel}};
    case kMbYesNo: return {{"Yes", 'y', kIdYes}, {"No", 'n', kIdNo}};
    case kMbRetryCancel: return {{"Retry", 'r', kIdRetry}, {"Cancel", 'c', kIdCancel}};
    case kMbNewRunUseRunCancel:
      return {{"New Run", 'n', kIdNewRun}, {"Use Run", 'u', kIdUseRun}, {"Cancel", 'c', kIdCancel}};
    case kMbYesToAllYesNo:
      return {{"Yes to All", 'a', kIdYesToAll}, {"Yes", 'y', kIdYes}, {"No", 'n', kIdNo}};
    default: return {};
  }
}

std::string ChainPrefix(uint32_t type) {
  uint32_t chain = type >> 16;
  if (chain == 0) return "";
  return "[Chain " + std::to_string(chain) + "] ";
}

}  // namespace

Interaction MakeTerminalInteraction(const CliOptions& options) {
  Interaction ui;
  ui.quiet = options.quiet;
  bool overwriteAll = options.overwrite;
  // Chains run on threads of their own and may speak at the same moment: one
  // message (or question and answer) at a time, each written in one piece so
  // that no two messages mix on the terminal.
  auto speaking = std::make_shared<std::mutex>();
  ui.message = [overwriteAll, speaking](uint32_t type, const std::string& text) -> int {
    std::vector<ButtonChoice> buttons = ButtonsOf(type);
    bool isOverwrite = text.rfind("Overwrite ", 0) == 0;
    if (isOverwrite && overwriteAll) return kIdYesToAll;
    const uint32_t icon = type & 0xF0;
    if (icon == kMbIconError || icon == kMbIconWarning) NoteShownProblem(text);
    std::lock_guard<std::mutex> lock(*speaking);
    std::string prefix = ChainPrefix(type);
    if (buttons.empty()) {
      std::cerr << (prefix + text + "\n") << std::flush;
      return kIdOk;
    }
    if (!StdinIsTerminal()) {
      int answer = DefaultAnswer(type);
      if (isOverwrite) {
        NoteShownProblem(text.substr(10) + " exists and was not overwritten (use --overwrite)");
        std::cerr << ("mixora: not overwriting " + text.substr(10) +
                      " (no terminal to ask; use --overwrite)\n");
      }
      else
        std::cerr << (prefix + text + " -> " +
                      (answer == kIdNo ? "No" : answer == kIdCancel ? "Cancel" : "default") +
                      " (no terminal to ask)\n");
      return answer;
    }
    for (;;) {
      std::cerr << prefix << text << " [";
      for (std::size_t i = 0; i < buttons.size(); ++i)
        std::cerr << (i ? "/" : "") << buttons[i].key << "=" << buttons[i].label;
      std::cerr << "] " << std::flush;
      std::string line;
      if (!std::getline(std::cin, line)) return DefaultAnswer(type);
      if (line.empty()) continue;
      char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
      for (const auto& button : buttons)
        if (button.key == key) return button.answer;
    }
  };
  ui.logLine = [](const std::string& line) { std::cout << line << "\n" << std::flush; };
  return ui;
}

}  // namespace mixora::cli
