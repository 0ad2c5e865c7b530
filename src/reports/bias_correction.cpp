#include "reports/bias_correction.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <thread>

#include "core/string_format.h"
#include "reports/report_job.h"
#include "runfiles/composition_samples.h"
#include "sampler/memory_chains.h"
#include "sampler/mt19937.h"
#include "reports/tidy_tables.h"

namespace mixora {

namespace {


int32_t DrawIndex(Mt19937State& mt, const std::vector<double>& cumulative) {
  const double u = Mt19937Uniform(mt) * cumulative.back();
  for (std::size_t k = 0; k < cumulative.size(); ++k)
    if (u < cumulative[k]) return static_cast<int32_t>(k);
  return static_cast<int32_t>(cumulative.size()) - 1;
}

// One bootstrap mixture estimated again: the posterior mean by stock.
// 1 when estimated, 0 when the chains could not run, -1 when stopped.
int Replicate(const RunRecord& run, const std::vector<double>& cumulativeStock, uint32_t seed,
              std::vector<double>& stockMean, const std::atomic<int>* stop) {
  const int32_t C = static_cast<int32_t>(run.alleleCount.size());
  const int32_t A = run.maxAlleles;
  Mt19937State mt;
  Mt19937Seed(mt, seed);
  RunRecord copy = run;
  copy.summary = nullptr;
  for (int32_t i = 0; i < run.fishCount; ++i) {
    const int32_t s = DrawIndex(mt, cumulativeStock);
    for (int32_t c = 0; c < C; ++c) {
      const std::size_t at = (static_cast<std::size_t>(s) * C + c) * A;
      int32_t total = 0;
      for (int32_t k = 0; k < run.alleleCount[c]; ++k) total += run.counts[at + k];
      for (int j = 0; j < 2; ++j) {
        int32_t& allele = copy.genotypes[(static_cast<std::size_t>(i) * C + c) * 2 + j];
        if (allele <= 0 || total == 0) {
          allele = 0;
          continue;
        }
        // One of the stock's baseline gene copies, each as likely as any.
        int32_t pick = Mt19937UniformInt(mt, 0, total - 1);
        int32_t k = 0;
        while (pick >= run.counts[at + k]) pick -= run.counts[at + k++];
        allele = k + 1;
      }
    }
  }
  MemorySamples samples;
  const int ran = RunChainsInMemory(copy, samples, stop);
  if (ran != 1) return ran;
  stockMean = MeanProportions(samples);
  return 1;
}

}  // namespace

int PosteriorMeanComposition(const RunRecord& run, std::vector<double>& stockMean,
                             std::string& error) {
  ReportJob job;
  job.run = const_cast<RunRecord*>(&run);
  PrepareReportJob(job);
  CompositionLoadRequest request;
  request.length = job.length;
  request.discard = job.discard;
  request.chainTotals = job.compositionTotals;
  CompositionSamples samples;
  Interaction nobody;
  if (!LoadCompositionSamples(run, request, samples, nobody, error)) return 0;
  if (samples.records == 0 || samples.chains == 0) {
    error = "no kept composition samples";
    return 0;
  }
  stockMean.assign(samples.rows, 0.0);
  for (uint32_t k = 0; k < samples.rows; ++k) {
    double sum = 0.0;
    for (uint32_t c = 0; c < samples.chains; ++c)
      for (uint32_t r = 0; r < samples.records; ++r) sum += samples.At(k, c, r) / 100000000.0;
    stockMean[k] = sum / (static_cast<double>(samples.chains) * samples.records);
  }
  return 1;
}

int BiasCorrectGroups(const RunRecord& run, const std::vector<double>& stockMean,
                      int32_t replicates, int32_t threads, BiasCorrection& out,
                      std::string& error, const std::atomic<int>* stop) {
  const int32_t S = static_cast<int32_t>(run.stockId.size());
  if (static_cast<int32_t>(stockMean.size()) != S || S == 0) {
    error = "the composition does not match the run's stocks";
    return 0;
  }
  if (replicates < 1) {
    error = "at least one bootstrap replicate is needed";
    return 0;
  }
  std::vector<double> cumulative(static_cast<std::size_t>(S));
  double running = 0.0;
  for (int32_t s = 0; s < S; ++s) cumulative[s] = running += std::max(0.0, stockMean[s]);
  if (!(running > 0)) {
    error = "the posterior mean composition is empty";
    return 0;
  }
  out = BiasCorrection{};
  out.replicates = replicates;
  out.seed = static_cast<uint32_t>(run.settings.Seed1);
  std::vector<std::vector<double>> estimates(static_cast<std::size_t>(replicates));
  std::vector<int> ok(static_cast<std::size_t>(replicates), 0);
  std::atomic<int32_t> next{0};
  auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; };
  auto worker = [&]() {
    for (int32_t b = next.fetch_add(1); b < replicates && !stopped(); b = next.fetch_add(1))
      ok[b] = Replicate(run, cumulative, Mt19937StreamSeed(out.seed, static_cast<uint32_t>(b)),
                        estimates[b], stop);
  };
  int32_t count = threads > 0 ? threads : static_cast<int32_t>(std::thread::hardware_concurrency());
  count = std::max(1, std::min(count, replicates));
  std::vector<std::thread> pool;
  for (int32_t t = 1; t < count; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  if (stopped()) {
    error = "stopped";
    return 0;
  }
  for (int32_t b = 0; b < replicates; ++b) {
    if (ok[b] != 1) {
      error = "bootstrap replicate " + std::to_string(b + 1) + " could not be estimated";
      return 0;
    }
  }

  for (std::size_t v = 0; v < run.groupAt.size(); ++v) {
    GroupCorrection level;
    level.level = StringPrintf("Level %d", static_cast<int>(v) + 1);
    const std::size_t G = v < run.levelGroupNames.size() ? run.levelGroupNames[v].size() : 0;
    if (G == 0) continue;
    level.groups = run.levelGroupNames[v];
    level.estimate.assign(G, 0.0);
    level.bootstrapMean.assign(G, 0.0);
    level.corrected.assign(G, 0.0);
    for (int32_t s = 0; s < S; ++s) {
      const std::size_t g = static_cast<std::size_t>(run.groupAt[v][s]);
      level.estimate[g] += stockMean[s];
      for (int32_t b = 0; b < replicates; ++b) level.bootstrapMean[g] += estimates[b][s];
    }
    double total = 0.0;
    for (std::size_t g = 0; g < G; ++g) {
      level.bootstrapMean[g] /= replicates;
      level.corrected[g] = std::max(0.0, 2.0 * level.estimate[g] - level.bootstrapMean[g]);
      total += level.corrected[g];
    }
    for (std::size_t g = 0; g < G; ++g)
      level.corrected[g] = total > 0 ? level.corrected[g] / total : level.estimate[g];
    out.levels.push_back(level);
  }
  return 1;
}

std::string FormatBiasCorrectionText(const RunRecord& run, const BiasCorrection& result) {
  std::string out = "Bias-Corrected Group Estimates (parametric bootstrap):\r\n";
  out += "------------------------------------------------------\r\n";
  out += StringPrintf("Mixture:                %s\r\n", run.runTitle.c_str());
  out += StringPrintf("Bootstrap replicates:   %d\r\n", result.replicates);
  out += StringPrintf(
      "Seed:                   %u (every replicate draws from a stream of its own)\r\n",
      result.seed);
  out += StringPrintf("Re-estimated with:      %d chains of %d reps, %d kept\r\n",
                      run.settings.NumberOfChains, run.settings.NumberOfReps,
                      run.settings.NumberToKeep);
  out += "Corrected = 2 x estimate - bootstrap mean; negative values set to 0, then "
         "renormalised.\r\n";
  for (const GroupCorrection& level : result.levels) {
    out += StringPrintf("\r\n%s\r\n", level.level.c_str());
    out += StringPrintf("%-18.18s %8s %8s %9s\r\n", "GROUP", "ESTIMATE", "BOOTMEAN", "CORRECTED");
    for (std::size_t g = 0; g < level.groups.size(); ++g)
      out += StringPrintf("%-18.18s %8.4f %8.4f %9.4f\r\n", level.groups[g].c_str(),
                          level.estimate[g], level.bootstrapMean[g], level.corrected[g]);
  }
  return out;
}

std::string FormatBiasCorrectionCsv(const RunRecord& run, const BiasCorrection& result) {
  std::string out = "mixture,level,group,estimate,bootstrap_mean,corrected\r\n";
  for (std::size_t v = 0; v < result.levels.size(); ++v) {
    const GroupCorrection& level = result.levels[v];
    for (std::size_t g = 0; g < level.groups.size(); ++g)
      out += StringPrintf("%s,%d,%s,%.6f,%.6f,%.6f\r\n", CsvField(run.runTitle).c_str(),
                          static_cast<int>(v) + 1, CsvField(level.groups[g]).c_str(),
                          level.estimate[g], level.bootstrapMean[g], level.corrected[g]);
  }
  return out;
}

}  // namespace mixora
