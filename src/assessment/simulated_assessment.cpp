#include "assessment/simulated_assessment.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <thread>

#include "core/string_format.h"
#include "sampler/generator_handle.h"
#include "sampler/memory_chains.h"
#include "sampler/mt19937.h"
#include "sampler/priors.h"
#include "sampler/variates.h"
#include "reports/tidy_tables.h"

namespace mixora {

namespace {

// Estimates and interval ends are kept as the mixtures table prints them
// (six decimals), and coverage compares them with the truth as printed, so
// that the coverage of the summary, the summary table and the charts is what
// a count over that table gives: an interval whose lower end is 1e-9 and
// prints as 0 covers a truth of 0. The truth itself stays the exact share of
// the fish drawn.
double AsPrinted(double value) { return std::round(value * 1e6) / 1e6; }

// A mixture of the plan: truth and estimate per group, or an error.
bool SimulateOne(const FishGenotypes& baseline, const RunSettings& settings,
                 const SimulationPlan& plan, int32_t m, SimulatedMixture& out) {
  const int32_t G = static_cast<int32_t>(baseline.groupNames[0].size());
  const int32_t C = baseline.Loci();
  Mt19937State mt;
  Mt19937Seed(mt, Mt19937StreamSeed(plan.seed, static_cast<uint32_t>(m)));
  GeneratorHandle handle;
  UseMt19937(handle, mt);

  std::vector<double> shares(static_cast<std::size_t>(G));
  if (!plan.groupShares.empty()) {
    shares = plan.groupShares;
  } else {
    for (double& share : shares) share = DrawGamma(handle, plan.dirichletAlpha);
  }
  double total = 0.0;
  for (double share : shares) total += share;
  for (double& share : shares) share /= total;

  // Fish of each group still available; a group gives at most half of its
  // fish, so every group keeps a baseline to be estimated from.
  std::vector<std::vector<int32_t>> pool(static_cast<std::size_t>(G));
  for (int32_t f = 0; f < baseline.Fish(); ++f)
    pool[baseline.stockGroup[0][baseline.fishStock[f]]].push_back(f);
  std::vector<int32_t> room(static_cast<std::size_t>(G));
  for (int32_t g = 0; g < G; ++g) room[g] = static_cast<int32_t>(pool[g].size()) / 2;

  std::vector<char> heldOut(static_cast<std::size_t>(baseline.Fish()), 0);
  std::vector<int32_t> genotypes;
  std::vector<int32_t> taken(static_cast<std::size_t>(G), 0);
  for (int32_t i = 0; i < plan.fish; ++i) {
    std::vector<double> weights(static_cast<std::size_t>(G));
    double sum = 0.0;
    for (int32_t g = 0; g < G; ++g) {
      weights[g] = taken[g] < room[g] ? shares[g] : 0.0;
      sum += weights[g];
    }
    if (!(sum > 0)) {
      // Only groups with no share left have fish: take from the fullest.
      for (int32_t g = 0; g < G; ++g) weights[g] = taken[g] < room[g] ? 1.0 : 0.0;
    }
    double u = Mt19937Uniform(mt) * (sum > 0 ? sum : 1.0);
    int32_t g = 0;
    double running = 0.0;
    for (g = 0; g < G; ++g) {
      running += weights[g];
      if (u < running && weights[g] > 0) break;
    }
    if (g == G) {
      for (g = G - 1; g > 0 && weights[g] == 0; --g) {
      }
    }
    std::vector<int32_t>& fishOfGroup = pool[g];
    const int32_t pick = Mt19937UniformInt(mt, 0, static_cast<int32_t>(fishOfGroup.size()) - 1);
    const int32_t f = fishOfGroup[pick];
    fishOfGroup.erase(fishOfGroup.begin() + pick);
    heldOut[f] = 1;
    ++taken[g];
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) genotypes.push_back(baseline.At(f, c, j));
  }

  RunRecord run = MakeRunOfFish(baseline, heldOut, settings, genotypes, plan.fish);
  MemorySamples samples;
  if (!RunChainsInMemory(run, samples)) return false;
  const std::size_t rows = static_cast<std::size_t>(samples.chains) * samples.records;
  out.truth.assign(G, 0.0);
  out.estimate.assign(G, 0.0);
  out.lower.assign(G, 0.0);
  out.upper.assign(G, 0.0);
  for (int32_t g = 0; g < G; ++g) out.truth[g] = static_cast<double>(taken[g]) / plan.fish;
  std::vector<std::vector<double>> draws(static_cast<std::size_t>(G), std::vector<double>(rows));
  for (std::size_t r = 0; r < rows; ++r)
    for (int32_t s = 0; s < samples.stocks; ++s)
      draws[baseline.stockGroup[0][s]][r] += samples.proportions[r * samples.stocks + s];
  for (int32_t g = 0; g < G; ++g) {
    double sum = 0.0;
    for (double d : draws[g]) sum += d;
    out.estimate[g] = AsPrinted(rows > 0 ? sum / static_cast<double>(rows) : 0.0);
    std::sort(draws[g].begin(), draws[g].end());
    out.lower[g] = AsPrinted(QuantileOfSorted(draws[g], 0.025));
    out.upper[g] = AsPrinted(QuantileOfSorted(draws[g], 0.975));
  }
  return true;
}

}  // namespace

double QuantileOfSorted(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0.0;
  const double h = (static_cast<double>(sorted.size()) - 1.0) * q;
  std::size_t i = h > 0 ? static_cast<std::size_t>(h) : 0;
  if (i >= sorted.size()) i = sorted.size() - 1;
  const std::size_t j = std::min(i + 1, sorted.size() - 1);
  const double f = h - static_cast<double>(i);
  return sorted[i] * (1.0 - f) + sorted[j] * f;
}

RunSettings DefaultAssessmentSettings() {
  RunSettings set{};
  set.NumberOfChains = 4;
  set.NumberOfReps = 2000;
  set.NumberToKeep = 1000;
  set.Seed1 = 687688;
  set.Seed2 = 788781;
  set.ChangeSeeds = 1;
  set.RanGen = 0;
  set.ThinIse = 1;
  set.ThinSta = 1;
  set.SaveEvery = 100;
  set.MaxMissingLoci = 999;
  set.Timer = 1000;
  set.Levels = 1;
  for (int32_t& id : set.StartStock) id = -1;
  SetField(set.Title, "Assessment");
  return set;
}

RunRecord MakeRunOfFish(const FishGenotypes& baseline, const std::vector<char>& heldOut,
                        const RunSettings& settings, const std::vector<int32_t>& mixtureGenotypes,
                        int32_t mixtureFish) {
  const int32_t S = baseline.Stocks();
  const int32_t C = baseline.Loci();
  RunRecord run;
  run.settings = settings;
  run.settings.NumberOfStocks = S;
  run.settings.NumberOfChars = C;
  run.settings.InformativePrior = 0;
  // The stock IDs of the made-up run are positions, so the control file's
  // start stocks mean nothing here: chains start from even proportions.
  for (int32_t& id : run.settings.StartStock) id = -1;
  int32_t A = 0;
  for (int32_t c = 0; c < C; ++c) A = std::max(A, baseline.AlleleCount(c));
  run.maxAlleles = A;
  for (int32_t c = 0; c < C; ++c) {
    run.alleleCount.push_back(baseline.AlleleCount(c));
    run.charId.push_back(c + 1);
    run.isLocus.push_back(1);
    run.charNames.push_back(baseline.locusNames[c]);
  }
  for (int32_t s = 0; s < S; ++s) {
    run.stockId.push_back(s + 1);
    run.stockNames.push_back(baseline.stockNames[s]);
  }
  run.groupAt.assign(1, std::vector<int32_t>(static_cast<std::size_t>(S), 0));
  run.levelGroupNames.assign(1, {"All"});
  if (baseline.Levels() > 0) {
    run.groupAt[0] = baseline.stockGroup[0];
    run.levelGroupNames[0] = baseline.groupNames[0];
  }
  run.levelGroupCount = {static_cast<int32_t>(run.levelGroupNames[0].size())};
  run.counts.assign(static_cast<std::size_t>(S) * C * A, 0);
  for (int32_t f = 0; f < baseline.Fish(); ++f) {
    if (!heldOut.empty() && heldOut[f]) continue;
    const std::size_t s = static_cast<std::size_t>(baseline.fishStock[f]);
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) {
        const int32_t a = baseline.At(f, c, j);
        if (a > 0) ++run.counts[(s * C + c) * A + (a - 1)];
      }
  }
  run.allelePrior.assign(static_cast<std::size_t>(C) * A, 0.0);
  run.lambda.assign(static_cast<std::size_t>(C), 0.0);
  run.beta.assign(static_cast<std::size_t>(S), 0.0);
  const Interaction nobody{};
  ComputeBaselinePriors(nobody, S, C, A, run.alleleCount, run.counts, run.charNames, false, {},
                        run.allelePrior, run.lambda, run.beta);
  run.fishCount = mixtureFish;
  run.genotypes = mixtureGenotypes;
  for (int32_t i = 0; i < mixtureFish; ++i) run.fishNames.push_back("Fish " + std::to_string(i + 1));
  run.runTitle = "Assessment";
  return run;
}

int RunSimulatedAssessment(const FishGenotypes& baseline, const RunSettings& settings,
                           const SimulationPlan& plan, SimulatedAssessment& out,
                           std::string& error) {
  if (baseline.Levels() == 0) {
    error = "the baseline has no groups";
    return 0;
  }
  const int32_t G = static_cast<int32_t>(baseline.groupNames[0].size());
  if (!plan.groupShares.empty()) {
    if (static_cast<int32_t>(plan.groupShares.size()) != G) {
      error = std::to_string(plan.groupShares.size()) + " shares for " + std::to_string(G) +
              " groups";
      return 0;
    }
    double sum = 0.0;
    for (double share : plan.groupShares) {
      if (share < 0) {
        error = "a negative share";
        return 0;
      }
      sum += share;
    }
    if (!(sum > 0)) {
      error = "the shares add up to 0";
      return 0;
    }
  }
  if (plan.mixtures < 1 || plan.fish < 1) {
    error = "at least one mixture of at least one fish is needed";
    return 0;
  }
  std::vector<int32_t> groupFish(static_cast<std::size_t>(G), 0);
  for (int32_t f = 0; f < baseline.Fish(); ++f) ++groupFish[baseline.stockGroup[0][baseline.fishStock[f]]];
  int32_t room = 0;
  for (int32_t n : groupFish) room += n / 2;
  if (plan.fish > room) {
    error = "mixtures of " + std::to_string(plan.fish) + " fish need more baseline fish: at most " +
            std::to_string(room) + " can be held out (half of each group)";
    return 0;
  }

  out = SimulatedAssessment{};
  out.mixtures.resize(static_cast<std::size_t>(plan.mixtures));
  std::vector<char> ok(static_cast<std::size_t>(plan.mixtures), 0);
  std::atomic<int32_t> next{0};
  auto worker = [&]() {
    for (int32_t m = next.fetch_add(1); m < plan.mixtures; m = next.fetch_add(1))
      ok[m] = SimulateOne(baseline, settings, plan, m, out.mixtures[m]) ? 1 : 0;
  };
  int32_t threads = plan.threads > 0 ? plan.threads
                                     : static_cast<int32_t>(std::thread::hardware_concurrency());
  threads = std::max(1, std::min(threads, plan.mixtures));
  std::vector<std::thread> pool;
  for (int32_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  for (int32_t m = 0; m < plan.mixtures; ++m) {
    if (!ok[m]) {
      error = "the sampler could not run simulated mixture " + std::to_string(m + 1);
      return 0;
    }
  }

  for (int32_t g = 0; g < G; ++g) {
    SimulatedGroupRow row;
    row.group = baseline.groupNames[0][g];
    double squares = 0.0;
    int32_t covered = 0;
    for (const SimulatedMixture& mix : out.mixtures) {
      const double error = mix.estimate[g] - mix.truth[g];
      row.meanTruth += mix.truth[g];
      row.meanEstimate += mix.estimate[g];
      row.bias += error;
      squares += error * error;
      const double truth = AsPrinted(mix.truth[g]);
      if (mix.lower[g] <= truth && truth <= mix.upper[g]) ++covered;
    }
    const double n = static_cast<double>(plan.mixtures);
    row.meanTruth /= n;
    row.meanEstimate /= n;
    row.bias /= n;
    row.rmse = std::sqrt(squares / n);
    row.coverage = covered / n;
    out.rows.push_back(row);
  }
  return 1;
}

std::string FormatSimulatedAssessmentText(const SimulatedAssessment& result,
                                          const SimulationPlan& plan,
                                          const RunSettings& settings) {
  std::string out = "\r\nSimulated mixtures of known composition:\r\n";
  out += "----------------------------------------\r\n";
  out += StringPrintf("Mixtures:        %d of %d fish, drawn without replacement and held out\r\n",
                      plan.mixtures, plan.fish);
  if (plan.groupShares.empty())
    out += StringPrintf("Compositions:    Dirichlet(%g) over the groups\r\n", plan.dirichletAlpha);
  else
    out += "Compositions:    as given per group\r\n";
  out += StringPrintf("Seed:            %u\r\n", plan.seed);
  out += StringPrintf("Chains:          %d of %d reps, %d kept, seeds %d and %d%s\r\n",
                      settings.NumberOfChains, settings.NumberOfReps, settings.NumberToKeep,
                      settings.Seed1, settings.Seed2, settings.ChangeSeeds ? " (changed per chain)" : "");
  std::size_t width = 18;
  for (const SimulatedGroupRow& row : result.rows) width = std::max(width, row.group.size());
  const int w = static_cast<int>(width);
  out += StringPrintf("\r\n%-*s %7s %8s %8s %7s %9s\r\n", w, "GROUP", "TRUTH", "ESTIMATE", "BIAS",
                      "RMSE", "COVER95%");
  for (const SimulatedGroupRow& row : result.rows)
    out += StringPrintf("%-*s %7.4f %8.4f %8.4f %7.4f %9.1f\r\n", w, row.group.c_str(),
                        row.meanTruth, row.meanEstimate, row.bias, row.rmse, row.coverage * 100.0);
  return out;
}

std::string FormatSimulatedAssessmentCsv(const SimulatedAssessment& result) {
  std::string out = "group,mean_truth,mean_estimate,bias,rmse,coverage95\r\n";
  for (const SimulatedGroupRow& row : result.rows)
    out += StringPrintf("%s,%.6f,%.6f,%.6f,%.6f,%.4f\r\n", CsvField(row.group).c_str(),
                        row.meanTruth, row.meanEstimate, row.bias, row.rmse, row.coverage);
  return out;
}

std::string FormatSimulatedMixturesCsv(const SimulatedAssessment& result) {
  std::string out = "mixture,group,truth,estimate,lower95,upper95\r\n";
  for (std::size_t m = 0; m < result.mixtures.size(); ++m) {
    const SimulatedMixture& mix = result.mixtures[m];
    for (std::size_t g = 0; g < result.rows.size() && g < mix.truth.size(); ++g)
      out += StringPrintf("%d,%s,%.6f,%.6f,%.6f,%.6f\r\n", static_cast<int>(m) + 1,
                          CsvField(result.rows[g].group).c_str(), mix.truth[g], mix.estimate[g],
                          mix.lower[g], mix.upper[g]);
  }
  return out;
}

}  // namespace mixora
