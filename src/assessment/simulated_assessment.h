#pragma once
// Mixtures of known composition made from the baseline's own fish, run
// through the sampler to see how well the baseline estimates groups: each
// mixture's fish are drawn without replacement from the baseline and held out
// of the baseline that estimates it, at a composition given per group or
// drawn from a Dirichlet. Reported per group of the first level: the bias,
// the root mean square error and the coverage of the 95% interval.
#include <cstdint>
#include <string>
#include <vector>

#include "input/control.h"
#include "runfiles/run_record.h"
#include "formats/fish_genotypes.h"

namespace mixora {

struct SimulationPlan {
  int32_t mixtures = 10;
  int32_t fish = 100;                // per mixture
  std::vector<double> groupShares;   // [group of level 1]; empty: Dirichlet draws
  double dirichletAlpha = 1.0;       // every group's Dirichlet parameter
  uint32_t seed = 1;
  int32_t threads = 0;               // 0: the machine's processors
};

// One mixture: its true and estimated shares and the 95% interval, per group.
struct SimulatedMixture {
  std::vector<double> truth, estimate, lower, upper;
};

struct SimulatedGroupRow {
  std::string group;
  double meanTruth = 0.0, meanEstimate = 0.0, bias = 0.0, rmse = 0.0, coverage = 0.0;
};

struct SimulatedAssessment {
  std::vector<SimulatedMixture> mixtures;
  std::vector<SimulatedGroupRow> rows;
};

// The settings of the runs the simulated mixtures go through: the control
// file's when there is one, otherwise those the importers write.
RunSettings DefaultAssessmentSettings();

// A run record of the baseline's counts (fish flagged in `heldOut` left
// out) and the priors computed from them, ready for the given mixture fish.
RunRecord MakeRunOfFish(const FishGenotypes& baseline, const std::vector<char>& heldOut,
                        const RunSettings& settings, const std::vector<int32_t>& mixtureGenotypes,
                        int32_t mixtureFish);

// Runs the plan. Mixtures are independent and run side by side on threads;
// mixture m draws its composition and fish from a generator of its own
// (Mt19937StreamSeed(plan.seed, m)), so no two mixtures share their draws and
// the result is the same whatever the number of threads. Returns 1, or 0 with
// `error` saying why (too few fish for the mixture size, a share per group
// that does not fit the groups).
int RunSimulatedAssessment(const FishGenotypes& baseline, const RunSettings& settings,
                           const SimulationPlan& plan, SimulatedAssessment& out,
                           std::string& error);

std::string FormatSimulatedAssessmentText(const SimulatedAssessment& result,
                                          const SimulationPlan& plan, const RunSettings& settings);
std::string FormatSimulatedAssessmentCsv(const SimulatedAssessment& result);
// Every mixture's truth, estimate and 95% interval per group, in long form
// (mixture counted from 1), for the charts and the user's own summaries.
std::string FormatSimulatedMixturesCsv(const SimulatedAssessment& result);

// The q quantile of sorted values, interpolated between neighbours.
double QuantileOfSorted(const std::vector<double>& sorted, double q);

}  // namespace mixora
