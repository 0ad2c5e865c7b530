#pragma once
// The tool commands, one file each; RegisterToolCommands adds them all.
#include <CLI/CLI.hpp>

#include "cli_support.h"

namespace mixora::cli {

void RegisterGenepopConvertCommand(CLI::App& app, int& exitCode);
void RegisterExportCommand(CLI::App& app, int& exitCode);
void RegisterSpamToTcfCommand(CLI::App& app, int& exitCode);
void RegisterCleanupCommand(CLI::App& app, int& exitCode);

// The terminal interaction of a tool command, with plain messages (no buttons,
// no error or warning icon: logs, counts) on standard output instead of
// standard error.
Interaction MakeToolInteraction(const CliOptions& options);

// Prints text with CR LF line ends as terminal lines.
void PrintText(const std::string& text);

}  // namespace mixora::cli
