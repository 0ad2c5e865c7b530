// `mixora status`: where every chain of a run stands, read from the chains'
// files only, so it may be run at any time, also while chains run in other
// processes or on a cluster.
#include <ctime>
#include <iostream>
#include <memory>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "run_file_argument.h"
#include "core/paths.h"
#include "sampler/run_status.h"

namespace mixora::cli {

namespace {

struct StatusOptions {
  std::string rcfPath;
};

std::string SaveTime(std::time_t when) {
  if (when == 0) return "-";
  std::tm local {};
  ::localtime_r(&when, &local);
  char text[64];
  std::strftime(text, sizeof text, "%b %d, %Y %H:%M:%S", &local);
  return text;
}

int RunStatusCommand(const StatusOptions& options) {
  CliOptions quiet;
  quiet.quiet = true;
  Interaction ui = MakeTerminalInteraction(quiet);
  // A missing file is named by the reader below, with its own words.
  if (const std::string problem =
          FileExists(options.rcfPath) ? RunFileArgumentProblem(options.rcfPath) : "";
      !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  RunStatus status;
  const std::size_t mark = ShownProblemMark();
  if (!ReadRunStatus(options.rcfPath, ui, status)) {
    PrintError(WithCause("cannot read " + options.rcfPath, mark));
    return 1;
  }
  int finished = 0, total = 0, damaged = 0, stale = 0;
  std::cout << options.rcfPath << ": " << status.mixtures.size() << " mixture"
            << (status.mixtures.size() == 1 ? "" : "s") << ", " << status.numberOfChains
            << " chain" << (status.numberOfChains == 1 ? "" : "s") << " each, "
            << status.numberOfReps << " reps\n";
  for (const MixtureStatus& mixture : status.mixtures) {
    std::cout << "\nMixture " << mixture.mixture + 1 << " (" << mixture.runTitle << ")";
    // An extension outlives the run that made it, so the mixture's own end
    // is said wherever it differs from the file's.
    if (mixture.hasFish && mixture.target != status.numberOfReps)
      std::cout << ", run to " << mixture.target << " reps";
    if (!mixture.hasFish) {
      std::cout << ": not run, every fish was left out at load\n";
      continue;
    }
    std::cout << "\n  Chain   Iteration  State         Last save\n";
    for (const ChainStatus& chain : mixture.chains) {
      char line[160];
      std::snprintf(line, sizeof line, "  %5d  %10d  %-12s  %s", chain.chain + 1, chain.iteration,
                    ChainStateName(chain.state), SaveTime(chain.lastSave).c_str());
      std::cout << line << "\n";
      if (chain.state == ChainState::kDamaged) {
        std::cout << "         " << chain.problem << "\n";
        PrintError("mixture " + std::to_string(mixture.mixture + 1) + ", chain " +
                   std::to_string(chain.chain + 1) + " is damaged: " + chain.problem);
        ++damaged;
      }
      if (chain.state == ChainState::kStale) {
        std::cout << "         " << chain.problem << "\n";
        PrintError("mixture " + std::to_string(mixture.mixture + 1) + ", chain " +
                   std::to_string(chain.chain + 1) + ": " + chain.problem);
        ++stale;
      }
      ++total;
      if (chain.state == ChainState::kFinished) ++finished;
    }
  }
  std::cout << "\n" << finished << " of " << total << " chains finished";
  if (damaged > 0) std::cout << ", " << damaged << " damaged";
  if (stale > 0) std::cout << ", " << stale << " from other inputs";
  std::cout << "\n" << std::flush;
  return damaged + stale > 0 ? 1 : 0;
}

}  // namespace

void RegisterStatusCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<StatusOptions>();
  CLI::App* command = app.add_subcommand(
      "status",
      "Show the iteration every chain of a run has saved, whether it has finished, and when it "
      "last saved; safe while the chains run");
  command->add_option("RUN_FILE", options->rcfPath, "Run control file (.rcf)")->required();
  command->footer(
      "Reads only the restart files and the headers of the sample files and their blocks. Exit "
      "status 1 when a chain's files are damaged, hold fewer records than its restart file "
      "counts, or were computed from other inputs than the run control file holds now (the "
      "chain is named).");
  command->callback([options, &exitCode] { exitCode = RunStatusCommand(*options); });
}

}  // namespace mixora::cli
