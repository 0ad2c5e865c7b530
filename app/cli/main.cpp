#include <CLI/CLI.hpp>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"mixora: genetic mixed-stock analysis"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "mixora 0.1.0");
  int exitCode = 0;
  mixora::cli::RegisterCheckCommand(app, exitCode);
  mixora::cli::RegisterLoadCommand(app, exitCode);
  mixora::cli::RegisterInspectCommand(app, exitCode);
  mixora::cli::RegisterRunCommand(app, exitCode);
  mixora::cli::RegisterReportCommand(app, exitCode);
  mixora::cli::RegisterConvertCommand(app, exitCode);
  mixora::cli::RegisterAnalyzeCommand(app, exitCode);
  mixora::cli::RegisterToolCommands(app, exitCode);
  mixora::cli::RegisterSimulateCommand(app, exitCode);
  mixora::cli::RegisterImportCommand(app, exitCode);
  mixora::cli::RegisterAssessCommand(app, exitCode);
  CLI11_PARSE(app, argc, argv);
  return exitCode;
}
