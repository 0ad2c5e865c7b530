#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "commands.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "sampler/priors.h"
#include "assessment/assessment_input.h"
#include "core/file_helpers.h"
#include "formats/format_writers.h"
#include "assessment/self_assignment.h"
#include "assessment/simulated_assessment.h"

namespace mixora::cli {

namespace {

struct AssessOptions {
  std::string input;
  std::string prior = "reciprocal";
  std::string popNames;
  std::string out;
  int simulate = 0;
  int fish = 100;
  std::string shares;
  double dirichlet = 1.0;
  unsigned seed = 1;
  int threads = 0;
  CliOptions common;
};

bool ParseShares(const std::string& text, std::vector<double>& shares) {
  std::stringstream in(text);
  std::string piece;
  while (std::getline(in, piece, ',')) {
    try {
      std::size_t used = 0;
      shares.push_back(std::stod(piece, &used));
      if (piece.find_first_not_of(" \t", used) != std::string::npos) return false;
    } catch (...) {
      return false;
    }
  }
  return !shares.empty();
}

int RunAssess(AssessOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  AssessmentInput input;
  std::string error;
  if (!ReadAssessmentInput(options.input, options.popNames, input, error)) {
    PrintError("assess failed: " + error);
    return 1;
  }
  for (const std::string& note : input.notes) std::cout << note << "\n";
  const FishGenotypes& fish = input.fish;

  std::vector<double> prior;
  std::string priorText = "1/K added to every allele count (K alleles at the locus)";
  if (options.prior == "run") {
    int32_t A = 0;
    std::vector<int32_t> counts = CountStockAlleles(fish, A);
    std::vector<int32_t> alleleCount;
    for (int32_t c = 0; c < fish.Loci(); ++c) alleleCount.push_back(fish.AlleleCount(c));
    prior.assign(static_cast<std::size_t>(fish.Loci()) * A, 0.0);
    std::vector<double> lambda(static_cast<std::size_t>(fish.Loci()), 0.0);
    std::vector<double> beta(static_cast<std::size_t>(fish.Stocks()), 0.0);
    const Interaction nobody{};
    ComputeBaselinePriors(nobody, fish.Stocks(), fish.Loci(), A, alleleCount, counts,
                          fish.locusNames, false, {}, prior, lambda, beta);
    priorText = "the run's allele prior (prior mean frequencies times the locus weight)";
  }

  SimulationPlan plan;
  plan.mixtures = options.simulate;
  plan.fish = options.fish;
  plan.dirichletAlpha = options.dirichlet;
  plan.seed = options.seed;
  plan.threads = options.threads;
  if (!options.shares.empty() && !ParseShares(options.shares, plan.groupShares)) {
    PrintError("--shares needs numbers separated by commas, one per group of level 1");
    return 1;
  }

  std::string prefix = options.out;
  if (prefix.empty()) {
    prefix = options.input;
    const std::size_t dot = prefix.rfind('.');
    const std::size_t slash = prefix.find_last_of("/\\");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
      prefix.erase(dot);
  }
  const std::string textPath = prefix + "_assess.Txt";
  const std::string csvPath = prefix + "_selfassign.csv";
  const std::string confusionPath = prefix + "_confusion.csv";
  const std::string simulatedPath = prefix + "_simulated.csv";
  const std::string mixturesPath = prefix + "_simulated_mixtures.csv";
  std::vector<std::string> outputs = {textPath, csvPath, confusionPath};
  if (plan.mixtures > 0) {
    outputs.push_back(simulatedPath);
    outputs.push_back(mixturesPath);
  }
  // Simulation tables of an earlier assessment with this prefix would be
  // drawn beside the new self-assignment as if they belonged to it, so an
  // assessment without --simulate takes them away, under the same
  // overwrite rule as its own outputs.
  std::vector<std::string> stale;
  if (plan.mixtures == 0) {
    for (const std::string* path : {&simulatedPath, &mixturesPath})
      if (FileExists(*path)) stale.push_back(*path);
  }
  bool yesToAll = false;
  std::vector<std::string> asked = outputs;
  asked.insert(asked.end(), stale.begin(), stale.end());
  for (const std::string& output : asked) {
    if (FileExists(output) && !AskOverwrite(ui, output, yesToAll)) {
      PrintError(output + " exists and was not overwritten (use --overwrite to replace it)");
      return 1;
    }
  }

  SelfAssignment result = AssessSelfAssignment(fish, prior);
  std::string text = FormatSelfAssignmentText(result, input.baselinePath, priorText);
  SimulatedAssessment simulated;
  if (plan.mixtures > 0) {
    if (!options.common.quiet)
      std::cout << "Running " << plan.mixtures << " simulated mixtures of " << plan.fish
                << " fish through the sampler...\n"
                << std::flush;
    if (!RunSimulatedAssessment(fish, input.settings, plan, simulated, error)) {
      PrintError("assess failed: simulated mixtures: " + error);
      return 1;
    }
    text += FormatSimulatedAssessmentText(simulated, plan, input.settings);
  }
  struct Output {
    const std::string* path;
    std::string text;
  };
  std::vector<Output> files = {{&textPath, text},
                               {&csvPath, FormatSelfAssignmentCsv(result)},
                               {&confusionPath, FormatConfusionCsv(result)}};
  if (plan.mixtures > 0) {
    files.push_back({&simulatedPath, FormatSimulatedAssessmentCsv(simulated)});
    files.push_back({&mixturesPath, FormatSimulatedMixturesCsv(simulated)});
  }
  for (const Output& file : files) {
    if (!WriteTextTo(file.text, *file.path, nullptr)) {
      PrintError("Cannot write to " + *file.path + ": " + SystemErrorText(errno));
      return 1;
    }
  }
  for (const std::string& path : stale) {
    std::error_code failed;
    if (!std::filesystem::remove(path, failed) && failed) {
      PrintError("Cannot remove " + path + " from an earlier assessment: " + failed.message());
      return 1;
    }
  }
  if (!options.common.quiet) PrintText(text);
  for (const std::string& output : outputs) std::cout << "Written: " << output << "\n";
  for (const std::string& path : stale)
    std::cout << "Removed: " << path << " (simulated mixtures of an earlier assessment)\n";
  return 0;
}

}  // namespace

void RegisterAssessCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AssessOptions>();
  CLI::App* command = app.add_subcommand(
      "assess",
      "Judge how well a baseline tells its stocks and groups apart: leave-one-out "
      "self-assignment and, with --simulate, mixtures of known composition");
  command->add_option("input", options->input,
                      "A control file (.tcf) whose baseline holds individual fish, or the fish "
                      "themselves: a genotype table, a Genepop file, a Genepop label file")
      ->required();
  command->add_option("--prior", options->prior,
                      "reciprocal: 1/K added to every allele count (default); run: the run's "
                      "allele prior")
      ->check(CLI::IsMember({"reciprocal", "run"}));
  command->add_option("--pop-names", options->popNames,
                      "Standard Genepop only: stock names and groups, one line per POP block");
  command->add_option("-o,--output,--out", options->out,
                      "Prefix of the files written (default: the input without its extension)");
  command->add_option("--simulate", options->simulate,
                      "Number of simulated mixtures to run through the sampler (default 0: none)")
      ->check(CLI::Range(0, 100000));
  command->add_option("--fish", options->fish, "Fish per simulated mixture (default 100)")
      ->check(CLI::Range(1, 100000));
  command->add_option("--shares", options->shares,
                      "Composition of every simulated mixture by group of level 1, e.g. "
                      "0.5,0.3,0.2 (default: drawn from a Dirichlet)");
  command->add_option("--dirichlet", options->dirichlet,
                      "Dirichlet parameter of every group when no shares are given (default 1)")
      ->check(CLI::PositiveNumber);
  command->add_option("--seed", options->seed, "Seed of the simulated mixtures (default 1)");
  command->add_option("--threads", options->threads,
                      "Threads for the simulated mixtures (default: one per processor); the "
                      "result does not depend on it")
      ->check(CLI::Range(0, 1024));
  AddCommonOptions(*command, options->common);
  command->footer(
      "Files: <prefix>_assess.Txt, <prefix>_selfassign.csv, <prefix>_confusion.csv and, with "
      "--simulate, <prefix>_simulated.csv and <prefix>_simulated_mixtures.csv.\n"
      "Charts of them: mixora plot <prefix>_selfassign.csv --kind assessment --format png\n"
      "Example: mixora assess reference.csv --simulate 20 --fish 100");
  command->callback([options, &exitCode] { exitCode = RunAssess(*options); });
}

}  // namespace mixora::cli
