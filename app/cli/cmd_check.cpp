#include <iostream>
#include <memory>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "core/paths.h"
#include "prepare_run.h"
#include "runfiles/run_control_pieces.h"
#include "sampler/priors.h"

namespace mixora::cli {

namespace {

struct CheckOptions {
  std::string controlPath;
  std::string logPath;
  bool priors = false;
  CliOptions common;
};

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char ch : text)
    if (ch != '\r') out += ch;
  return out;
}

// The prior weights table of the run's stocks and characters, as the run
// summary will show it.
void PrintPriors(Preparation& prep, const Interaction& ui) {
  if (!prep.baselineLoaded) {
    std::cout << "\nPrior weights: not computed (the baseline step did not succeed)\n";
    return;
  }
  RunRecord pieces;
  BuildRunPieces(prep.control, pieces, ui);
  std::string table;
  PrintPriorWeights(table, pieces.stockId, pieces.charNames, pieces.maxAlleles, pieces.alleleCount,
                    pieces.counts, pieces.lambda);
  std::cout << WithoutCarriageReturns(table) << std::flush;
}

int RunCheck(CheckOptions& options) {
  Interaction ui = MakeTerminalInteraction(options.common);
  auto prep = std::make_unique<Preparation>();
  PrepareRun(options.controlPath, ui, *prep);
  PrintBlock("Summary", PreparationSummary(*prep));
  if (options.priors) PrintPriors(*prep, ui);

  if (!prep->control.log.text.empty()) {
    std::string logPath =
        options.logPath.empty() ? ReplaceExtension(options.controlPath, "log") : options.logPath;
    if (SaveRunLog(*prep, logPath, ui)) std::cout << "\nLog saved to " << logPath << "\n";
    else if (prep->Ready()) prep->failure = "cannot save the log to " + logPath;
  }
  std::cout << std::flush;
  // Info lines do not stop a run, but each may mean lost data (a misspelt
  // locus, chains that copy each other); on standard error they are not
  // lost among the log lines.
  for (const std::string& line : LogLinesFrom(prep->control.log.text, 0))
    if (line.rfind("Info: ", 0) == 0) std::cerr << "note: " << line.substr(6) << "\n";
  if (!prep->Ready()) {
    PrintError(prep->failure);
    return 1;
  }
  std::cout << "All checks passed\n";
  return 0;
}

}  // namespace

void RegisterCheckCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "check", "Load a control file, its baseline and its mixture with every check, and log them");
  command->add_option("CONTROL_FILE", options->controlPath, "Text (.tcf) or SPAM (.ctl) control file")
      ->required();
  command->add_option("--log", options->logPath,
                      "Where to save the log (default: the control file with the extension .log)");
  command->add_flag("--priors", options->priors,
                    "Also print the prior weights table of the run's stocks and characters");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunCheck(*options); });
}

}  // namespace mixora::cli
