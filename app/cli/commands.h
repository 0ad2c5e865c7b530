#pragma once
// Each mixora command lives in a file of its own and registers itself here.
#include <CLI/CLI.hpp>

namespace mixora::cli {

// Each returns the handler's exit code through the reference once parsing is
// done; the handler runs from main after CLI11 has parsed the command line.
void RegisterCheckCommand(CLI::App& app, int& exitCode);
void RegisterLoadCommand(CLI::App& app, int& exitCode);
void RegisterInspectCommand(CLI::App& app, int& exitCode);
void RegisterRunCommand(CLI::App& app, int& exitCode);
void RegisterReportCommand(CLI::App& app, int& exitCode);
void RegisterConvertCommand(CLI::App& app, int& exitCode);
void RegisterAnalyzeCommand(CLI::App& app, int& exitCode);
void RegisterToolCommands(CLI::App& app, int& exitCode);
void RegisterSimulateCommand(CLI::App& app, int& exitCode);

}  // namespace mixora::cli
