#pragma once
// The one door through which the analysis core talks to a person. The front
// end (command line, desktop window, scripted answers in tests) fills the
// callbacks; the core never prints, beeps or waits for input itself.
#include <cstdint>
#include <functional>
#include <string>

namespace mixora {

// Low 4 bits of a message type: the buttons.
enum MessageButtons : uint32_t {
  kMbOk = 0,
  kMbOkCancel = 1,
  kMbAbortRetryIgnore = 2,
  kMbYesNoCancel = 3,
  kMbYesNo = 4,
  kMbRetryCancel = 5,
  kMbNewRunUseRunCancel = 6,
  kMbYesToAllYesNo = 7,
};

// Bits 4-7: the icon.
enum MessageIcon : uint32_t {
  kMbIconError = 16,
  kMbIconQuestion = 32,
  kMbIconWarning = 48,
  kMbIconInformation = 64,
};

// High 16 bits, when non-zero: the chain number counted from 1.
inline uint32_t MessageForChain(int chainNumber) {
  return static_cast<uint32_t>(chainNumber) << 16;
}

// Button identifiers a message box returns.
enum MessageAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdAbort = 3,
  kIdRetry = 4,
  kIdIgnore = 5,
  kIdYes = 6,
  kIdNo = 7,
  kIdNewRun = 8,
  kIdUseRun = 9,
  kIdYesToAll = 10,
};

struct Interaction {
  // A modal message: returns the identifier of the chosen button.
  std::function<int(uint32_t type, const std::string& text)> message;
  // One of the three status-line parts (0, 1, 2).
  std::function<void(int part, const std::string& text)> status;
  // Progress of a long operation: done of total, with a caption.
  std::function<void(const std::string& caption, int64_t done, int64_t total)> progress;
  // A line of log text produced while an operation runs.
  std::function<void(const std::string& line)> logLine;
  bool quiet = false;
};

// The answer a box gives when nobody can be asked (no callback): OK for
// information, No for questions, Cancel where there is one.
int DefaultAnswer(uint32_t type);

// printf-style helpers that format (up to 4095 characters) and forward.
int ShowMessage(const Interaction& ui, uint32_t type, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void SetStatus(const Interaction& ui, int part, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void ReportProgress(const Interaction& ui, const std::string& caption, int64_t done,
                    int64_t total);

// Asks "Overwrite %s" unless yesToAll is already set. Returns true when the
// file may be replaced; a "Yes to All" answer sets yesToAll.
bool AskOverwrite(const Interaction& ui, const std::string& path, bool& yesToAll);

}  // namespace mixora
