#include <CLI/CLI.hpp>

#include "commands.h"
#include "core/version.h"

namespace {

// One worked example per command, shown at the end of its --help.
void AddHelpExamples(CLI::App& app) {
  static const struct {
    const char* command;
    const char* example;
  } kExamples[] = {
      {"check", "mixora check examples/tavrin/tavrin.tcf --priors"},
      {"load", "mixora load examples/tavrin/tavrin.tcf"},
      {"inspect", "mixora inspect examples/tavrin/output/tavrin.rcf"},
      {"run", "mixora run examples/tavrin/output/tavrin.rcf --all"},
      {"report", "mixora report examples/tavrin/output/tavrin.rcf --all --kind compositions"},
      {"convert", "mixora convert examples/tavrin/output/tavrin.rcf --compositions -o ascii"},
      {"analyze", "mixora analyze examples/tavrin/tavrin.tcf   (after Ctrl-C: add --resume)"},
      {"genepop-convert",
       "mixora genepop-convert --baseline stocks.txt --mixture fishery.txt --control run.tcf"},
      {"export", "mixora export examples/tavrin/output/tavrin.rcf -o tavrin_copy --control spam"},
      {"spam-to-tcf", "mixora spam-to-tcf examples/tavrin_spam/tavrin_spam.ctl -o converted"},
      {"cleanup", "mixora cleanup examples/tavrin/output --kind sta,ise --dry-run"},
      {"simulate", "mixora simulate examples/tavrin/tavrin_sim.mcf"},
  };
  for (const auto& e : kExamples) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
      if (command->get_name() == e.command)
        command->footer(std::string("Example:\n  ") + e.example +
                        "\n\nExit status: 0 done, 1 failed (the last line on standard error says "
                        "why), 2 wrong command line, 130 stopped by Ctrl-C.");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"mixora: genetic mixed-stock analysis"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(mixora::kProgramName) + " " + mixora::kProgramVersion);
  app.footer(
      "Every command has --help with an example.\n"
      "Exit status: 0 done, 1 failed (the last line on standard error says why), 2 wrong command "
      "line, 130 stopped by Ctrl-C, SIGTERM or SIGHUP (run and analyze: the chains can be "
      "resumed; report and convert: the unfinished file is discarded).");
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
  mixora::cli::RegisterSubmitCommand(app, exitCode);
  mixora::cli::RegisterStatusCommand(app, exitCode);
#ifdef MIXORA_WITH_CHARTS
  mixora::cli::RegisterPlotCommand(app, exitCode);
#endif
  AddHelpExamples(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0; every mistake in the
    // command line gets one status, whatever kind of mistake it was.
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  return exitCode;
}
