#include "sampler/synthetic_run.h"

#include <cstdio>
#include <vector>

#include "core/interaction.h"
#include "sampler/mt19937.h"
#include "sampler/priors.h"

namespace mixora {
namespace {

std::string Numbered(const char* format, int32_t n) {
  char text[32];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

// Index k of a cumulative table that a uniform u falls into.
int32_t Pick(const std::vector<double>& cumulative, double u) {
  const int32_t n = static_cast<int32_t>(cumulative.size());
  for (int32_t k = 0; k < n - 1; ++k) {
    if (u < cumulative[k]) return k;
  }
  return n - 1;
}

std::vector<double> Cumulative(const std::vector<double>& weights) {
  double total = 0;
  for (double w : weights) total += w;
  std::vector<double> out(weights.size());
  double running = 0;
  for (std::size_t k = 0; k < weights.size(); ++k) {
    running += weights[k];
    out[k] = running / total;
  }
  return out;
}

}  // namespace

SyntheticRunShape SnpLikeShape() {
  SyntheticRunShape shape;
  shape.stocks = 70;
  shape.characters = 90;
  shape.maxAlleles = 2;
  shape.fish = 2000;
  return shape;
}

SyntheticRunShape MicrosatelliteLikeShape() {
  SyntheticRunShape shape;
  shape.stocks = 30;
  shape.characters = 15;
  shape.maxAlleles = 40;
  shape.varyAlleleCounts = true;
  shape.fish = 500;
  return shape;
}

SyntheticRunShape RealSizedSnpShape() {
  SyntheticRunShape shape;
  shape.stocks = 69;
  shape.characters = 91;
  shape.maxAlleles = 2;
  shape.fish = 772;
  shape.missingRate = 0.04;
  return shape;
}

SyntheticRunShape LargeSnpShape() {
  SyntheticRunShape shape;
  shape.stocks = 400;
  shape.characters = 300;
  shape.maxAlleles = 2;
  shape.fish = 3000;
  shape.missingRate = 0.04;
  return shape;
}

SyntheticRunShape WidePanelShape() {
  SyntheticRunShape shape;
  shape.stocks = 12;
  shape.characters = 1000;
  shape.maxAlleles = 2;
  shape.fish = 200;
  shape.baselineFishPerStock = 50;
  shape.missingRate = 0.04;
  return shape;
}

RunRecord MakeSyntheticRun(const SyntheticRunShape& shape) {
  const int32_t S = shape.stocks, C = shape.characters, A = shape.maxAlleles, F = shape.fish;
  Mt19937State rng;
  Mt19937Seed(rng, shape.seed);

  RunRecord run;
  RunSettings& set = run.settings;
  set.NumberOfStocks = S;
  set.NumberOfChars = C;
  set.Levels = 1;
  set.NumberOfChains = 1;
  set.NumberOfReps = 1000;
  set.Seed1 = 687688;
  set.Seed2 = 788781;
  set.RanGen = 1;
  for (int32_t& id : set.StartStock) id = -1;
  set.MaxMissingLoci = 999;
  set.Timer = 1000;
  set.SaveEvery = 100;
  set.NumberToKeep = 500;
  set.ThinIse = 1;
  set.ThinSta = 1;
  SetField(set.Title, "Synthetic");
  run.runTitle = "Synthetic";

  run.maxAlleles = A;
  for (int32_t c = 0; c < C; ++c) {
    int32_t alleles = A;
    if (shape.varyAlleleCounts && c > 0) alleles = Mt19937UniformInt(rng, A < 2 ? A : 2, A);
    run.alleleCount.push_back(alleles);
    run.charId.push_back(c + 1);
    run.isLocus.push_back(1);
    run.charNames.push_back(Numbered("Locus%03d", c + 1));
  }
  run.charNameWidth = 8;
  for (int32_t s = 0; s < S; ++s) {
    run.stockId.push_back(s + 1);
    run.stockNames.push_back(Numbered("Stock%03d", s + 1));
  }
  run.stockNameWidth = 8;
  run.groupAt.assign(1, std::vector<int32_t>(S, 0));
  run.groupCount = 1;
  run.groupLevel = {0};
  run.groupId = {1};
  run.groupNames = {"All"};
  run.levelGroupCount = {1};
  run.levelGroupId = {{1}};
  run.levelGroupNames = {{"All"}};

  // Each stock's own frequencies: skewed, so that stocks differ.
  std::vector<std::vector<double>> cumulative(static_cast<std::size_t>(S) * C);
  for (int32_t s = 0; s < S; ++s) {
    for (int32_t c = 0; c < C; ++c) {
      std::vector<double> weights(run.alleleCount[c]);
      for (double& w : weights) {
        const double u = Mt19937Uniform(rng);
        w = u * u * u + 0.01;
      }
      cumulative[static_cast<std::size_t>(s) * C + c] = Cumulative(weights);
    }
  }

  run.counts.assign(static_cast<std::size_t>(S) * C * A, 0);
  for (int32_t s = 0; s < S; ++s) {
    for (int32_t c = 0; c < C; ++c) {
      const auto& table = cumulative[static_cast<std::size_t>(s) * C + c];
      for (int32_t n = 0; n < 2 * shape.baselineFishPerStock; ++n) {
        const int32_t k = Pick(table, Mt19937Uniform(rng));
        ++run.counts[(static_cast<std::size_t>(s) * C + c) * A + k];
      }
    }
  }
  run.allelePrior.assign(static_cast<std::size_t>(C) * A, 0.0);
  run.lambda.assign(C, 0.0);
  run.beta.assign(S, 0.0);
  const Interaction nobody{};
  ComputeBaselinePriors(nobody, S, C, A, run.alleleCount, run.counts, run.charNames, false, {},
                        run.allelePrior, run.lambda, run.beta);

  // The mixture: stock s contributes in proportion to 1 / (s + 1).
  std::vector<double> stockWeights(S);
  for (int32_t s = 0; s < S; ++s) stockWeights[s] = 1.0 / (s + 1);
  const std::vector<double> stockTable = Cumulative(stockWeights);
  run.mixtureTitle = "Synthetic mixture";
  run.mixtureCount = 1;
  run.mixtures.resize(1);
  run.fishCount = F;
  run.fishNameWidth = 9;
  run.genotypes.assign(static_cast<std::size_t>(F) * C * 2, 0);
  for (int32_t i = 0; i < F; ++i) {
    run.fishNames.push_back(Numbered("Fish%05d", i + 1));
    const int32_t s = Pick(stockTable, Mt19937Uniform(rng));
    for (int32_t c = 0; c < C; ++c) {
      if (Mt19937Uniform(rng) < shape.missingRate) continue;
      const auto& table = cumulative[static_cast<std::size_t>(s) * C + c];
      for (int j = 0; j < 2; ++j) {
        run.genotypes[(static_cast<std::size_t>(i) * C + c) * 2 + j] =
            Pick(table, Mt19937Uniform(rng)) + 1;
      }
    }
  }
  run.mixtureIndex = 0;
  return run;
}

}  // namespace mixora
