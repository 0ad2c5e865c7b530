#include "reports/genotype_zscores.h"

#include <cmath>
#include <cstdarg>
#include <limits>

#include "core/string_format.h"
#include "reports/genotype_likelihood.h"
#include "reports/tidy_tables.h"

namespace mixora {

namespace {


std::string NameOf(const std::vector<std::string>& names, int32_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < names.size() ? names[i] : std::string();
}

}  // namespace

std::vector<GenotypeZScore> ComputeGenotypeZScores(const RunRecord& run) {
  const int32_t S = static_cast<int32_t>(run.stockId.size());
  const int32_t C = static_cast<int32_t>(run.alleleCount.size());
  const int32_t A = run.maxAlleles;
  const std::vector<double> prior = ReciprocalAllelePrior(run.alleleCount, A);
  // Frequencies and moments of every stock and locus, computed once.
  std::vector<double> frequencies(static_cast<std::size_t>(S) * C * A, 0.0);
  std::vector<double> mean(static_cast<std::size_t>(S) * C), variance(mean.size());
  for (int32_t s = 0; s < S; ++s)
    for (int32_t c = 0; c < C; ++c) {
      const std::size_t at = static_cast<std::size_t>(s) * C + c;
      PosteriorMeanFrequencies(run.counts.data() + at * A,
                               prior.data() + static_cast<std::size_t>(c) * A, run.alleleCount[c],
                               frequencies.data() + at * A);
      LogGenotypeMoments(frequencies.data() + at * A, run.alleleCount[c], mean[at], variance[at]);
    }
  // A locus counts only when both gene copies are scored; its expected mean
  // and variance then count too, so the fish is compared with the stock's
  // genotypes at its own loci.
  auto scored = [&](int32_t f, int32_t c, int32_t& a, int32_t& b) {
    a = run.genotypes[(static_cast<std::size_t>(f) * C + c) * 2];
    b = run.genotypes[(static_cast<std::size_t>(f) * C + c) * 2 + 1];
    return a > 0 && b > 0 && a <= run.alleleCount[c] && b <= run.alleleCount[c];
  };
  std::vector<GenotypeZScore> scores(static_cast<std::size_t>(run.fishCount));
  for (int32_t f = 0; f < run.fishCount; ++f) {
    GenotypeZScore& score = scores[f];
    for (int32_t s = 0; s < S; ++s) {
      double sum = 0.0;
      int32_t loci = 0;
      for (int32_t c = 0; c < C; ++c) {
        int32_t a = 0, b = 0;
        if (!scored(f, c, a, b)) continue;
        const std::size_t at = static_cast<std::size_t>(s) * C + c;
        sum += LogGenotypeProbability(frequencies.data() + at * A, a, b);
        ++loci;
      }
      if (score.stock < 0 || sum > score.logLikelihood) {
        score.stock = s;
        score.logLikelihood = sum;
        score.loci = loci;
      }
    }
    double expected = 0.0, spread = 0.0;
    for (int32_t c = 0; c < C && score.stock >= 0; ++c) {
      int32_t a = 0, b = 0;
      if (!scored(f, c, a, b)) continue;
      const std::size_t at = static_cast<std::size_t>(score.stock) * C + c;
      expected += mean[at];
      spread += variance[at];
    }
    score.expected = expected;
    score.sd = std::sqrt(spread);
    score.z = score.loci > 0 && score.sd > 0 ? (score.logLikelihood - expected) / score.sd
                                             : std::numeric_limits<double>::quiet_NaN();
  }
  return scores;
}

std::string FormatStrayFishNotes(const RunRecord& run, const std::vector<GenotypeZScore>& scores) {
  std::string lines;
  for (std::size_t f = 0; f < scores.size(); ++f) {
    const GenotypeZScore& score = scores[f];
    if (!(score.z < kStrayZScore)) continue;
    lines += StringPrintf("  %s: log-likelihood %.2f under %s (expected %.2f), z = %.2f at %d loci\r\n",
                          NameOf(run.fishNames, static_cast<int32_t>(f)).c_str(),
                          score.logLikelihood, NameOf(run.stockNames, score.stock).c_str(),
                          score.expected, score.z, score.loci);
  }
  if (lines.empty()) return "";
  return "\r\n\r\nNotes:\r\nFish unlike every baseline stock (z-score below -3): they may come "
         "from a stock the baseline lacks.\r\n" +
         lines;
}

}  // namespace mixora
