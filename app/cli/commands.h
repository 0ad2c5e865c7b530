#pragma once
// Each mixora command lives in a file of its own and registers itself here.
#include <string>

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
void RegisterSubmitCommand(CLI::App& app, int& exitCode);
void RegisterStatusCommand(CLI::App& app, int& exitCode);
void RegisterPlotCommand(CLI::App& app, int& exitCode);
void RegisterImportCommand(CLI::App& app, int& exitCode);
void RegisterAssessCommand(CLI::App& app, int& exitCode);

struct CliOptions;

// The whole preparation of `mixora load`: the three load steps with their
// checks, the log printed and saved, then the run control file (outputPath,
// or OutputFolder/<control file name>.rcf). Returns the exit code; rcfPath
// names the file written. With `reuseSame` an existing run control file
// written from the same inputs is kept as it is (so an interrupted run can
// continue with it), and one written from other inputs is refused.
int LoadToRunControlFile(const std::string& controlPath, const std::string& outputPath,
                         const std::string& logPath, const CliOptions& common,
                         std::string& rcfPath, bool reuseSame = false);

}  // namespace mixora::cli
