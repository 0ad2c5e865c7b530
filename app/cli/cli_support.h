#pragma once
// What every mixora command shares: the terminal side of the interaction
// table, and the conventions for answers, quiet mode and exit codes.
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/interaction.h"

namespace mixora::cli {

struct CliOptions {
  bool overwrite = false;  // answer "Yes to All" to every "Overwrite %s"
  bool quiet = false;      // no beeps, no progress
};

// Adds --overwrite and --quiet to a command.
void AddCommonOptions(CLI::App& command, CliOptions& options);
// --threads-per-chain N (1 .. kMaxThreadsPerChain) of run and analyze.
void AddThreadsPerChainOption(CLI::App& command, int& threadsPerChain);

// An interaction table for a terminal. Questions are asked on the terminal
// when standard input is one; otherwise they are answered No (or Cancel) and
// the question is reported on standard error, so nothing ever waits.
Interaction MakeTerminalInteraction(const CliOptions& options);

bool StdinIsTerminal();
bool StdoutIsTerminal();

// Prints an error on standard error as "mixora: <text>".
void PrintError(const std::string& text);

// The problems the engine showed through a terminal interaction (error and
// warning boxes, refused overwrites) are noted, so that a command's closing
// line can say why a step failed instead of pointing at lines above it.
// Take a mark before the step; WithCause appends ": <problem>" with the
// newest problem shown since then, on one line, or returns text alone.
std::size_t ShownProblemMark();
std::string WithCause(const std::string& text, std::size_t mark);

// Prints one error line per mixture an every-mixture run left out because
// all its fish were left out at load; true when there was none.
bool ReportSkippedMixtures(const std::vector<int>& skipped);

// The non-empty lines of a log's text from byte `from` on (CR LF ends).
std::vector<std::string> LogLinesFrom(const std::string& log, std::size_t from);

// The closing error line of a step that failed, for a person to act on: the
// file and line the step's log lines point at ("<file>, line <n>: <problem>"
// or "Fatal Error in Line <n> of <file>: <problem>"), else "Fatal Error in
// Line <n>:" against `file`, else `file` alone; then "<step> failed: " and
// the problem, or `why` when the log names none.
std::string DescribeFailure(const std::string& step, const std::string& why,
                            const std::string& file, const std::vector<std::string>& lines);

}  // namespace mixora::cli
