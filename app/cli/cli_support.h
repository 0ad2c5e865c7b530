#pragma once
// What every mixora command shares: the terminal side of the interaction
// table, and the conventions for answers, quiet mode and exit codes.
#include <string>

#include <CLI/CLI.hpp>

#include "core/interaction.h"

namespace mixora::cli {

struct CliOptions {
  bool overwrite = false;  // answer "Yes to All" to every "Overwrite %s"
  bool quiet = false;      // no beeps, no progress
};

// Adds --overwrite and --quiet to a command.
void AddCommonOptions(CLI::App& command, CliOptions& options);

// An interaction table for a terminal. Questions are asked on the terminal
// when standard input is one; otherwise they are answered No (or Cancel) and
// the question is reported on standard error, so nothing ever waits.
Interaction MakeTerminalInteraction(const CliOptions& options);

bool StdinIsTerminal();
bool StdoutIsTerminal();

// Prints an error on standard error as "mixora: <text>".
void PrintError(const std::string& text);

}  // namespace mixora::cli
