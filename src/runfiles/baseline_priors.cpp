#include "runfiles/baseline_priors.h"

#include <cmath>
#include <cstdio>

#include "core/ordered_sums.h"
#include "core/string_format.h"

namespace mixora {
namespace {

// Sum of a stock's counts over the alleles in use at a character.
int64_t CountTotal(std::span<const int32_t> counts, std::size_t base, int32_t alleles) {
  int64_t n = 0;
  for (int32_t k = 0; k < alleles; ++k) n += counts[base + static_cast<std::size_t>(k)];
  return n;
}

void ComputeStockPrior(int32_t stockCount, bool informativePrior,
                       std::span<const double> priorWeight, std::span<double> beta) {
  const std::size_t S = static_cast<std::size_t>(stockCount);
  if (!informativePrior) {
    for (std::size_t s = 0; s < S; ++s) beta[s] = 1.0 / stockCount;
    return;
  }
  double T = 0.0;
  int32_t M = 0;
  for (std::size_t s = 0; s < S; ++s) {
    if (priorWeight[s] > 0) {
      T = T + priorWeight[s];
      ++M;
    }
  }
  for (std::size_t s = 0; s < S; ++s)
    beta[s] = priorWeight[s] > 0 ? 0.9 * priorWeight[s] / T : 0.1 / (stockCount - M);
  DivideBy(beta.data(), SumOf(beta.data(), stockCount), stockCount);
}

}  // namespace

int ComputeBaselinePriors(const Interaction& ui, int32_t stockCount, int32_t charCount,
                          int32_t maxAlleles, std::span<const int32_t> alleleCount,
                          std::span<const int32_t> counts, std::span<const std::string> charNames,
                          bool informativePrior, std::span<const double> priorWeight,
                          std::span<double> allelePrior, std::span<double> lambda,
                          std::span<double> beta) {
  const std::size_t S = static_cast<std::size_t>(stockCount < 0 ? 0 : stockCount);
  const std::size_t C = static_cast<std::size_t>(charCount < 0 ? 0 : charCount);
  const std::size_t A = static_cast<std::size_t>(maxAlleles < 0 ? 0 : maxAlleles);

  // Relative frequencies f[s][c][k] and their per-character means over the
  // stocks that have data there.
  std::vector<int64_t> totals(S * C, 0);
  std::vector<double> f(S * C * A, 0.0);
  for (std::size_t s = 0; s < S; ++s) {
    for (std::size_t c = 0; c < C; ++c) {
      const std::size_t base = (s * C + c) * A;
      const int64_t n = CountTotal(counts, base, alleleCount[c]);
      totals[s * C + c] = n;
      if (n >= 1)
        for (std::size_t k = 0; k < A; ++k) f[base + k] = static_cast<double>(counts[base + k]) / n;
    }
  }
  bool meansOk = true;
  std::vector<double> m(C * A, 0.0);
  for (std::size_t c = 0; c < C && meansOk; ++c) {
    const std::size_t K = static_cast<std::size_t>(alleleCount[c]);
    if (K == 0) continue;
    int32_t withData = 0;
    for (std::size_t s = 0; s < S; ++s)
      if (totals[s * C + c] > 0) ++withData;
    if (withData == 0) {
      ShowMessage(ui, kMbIconError, "Error in CalcLambda");
      meansOk = false;
      break;
    }
    for (std::size_t k = 0; k < K; ++k) {
      double sum = 0.0;
      for (std::size_t s = 0; s < S; ++s)
        if (totals[s * C + c] > 0) sum = sum + f[(s * C + c) * A + k];
      m[c * A + k] = sum / withData;
    }
  }

  if (meansOk) {
    for (std::size_t c = 0; c < C; ++c) {
      const std::size_t K = static_cast<std::size_t>(alleleCount[c]);
      double lam = 1.0;
      bool settled = false;
      // The fixed point is normally reached in a few passes; the bound turns
      // an iteration that oscillates or runs off (NaN never compares as
      // settled) into a reported character instead of a hang.
      for (int pass = 0; pass < kLambdaMaxPasses; ++pass) {
        double N = 0.0, D = 0.0;
        for (std::size_t s = 0; s < S; ++s) {
          const int64_t total = totals[s * C + c];
          if (total == 0) continue;
          const double n = static_cast<double>(total);
          const std::size_t base = (s * C + c) * A;
          double sumSquares = 0.0, spread = 0.0;
          for (std::size_t k = 0; k < K; ++k) {
            const double fk = f[base + k];
            sumSquares = sumSquares + fk * fk;
            const double dev = fk - m[c * A + k];
            spread = spread + dev * dev;
          }
          const double x = n + lam;
          const double cube = x * x * x;
          N = N + n * n * (1.0 - sumSquares) / cube;
          D = D + n * n * spread / cube;
        }
        if (D == 0.0 || S < 1) {
          ShowMessage(ui, kMbIconError,
                      "Error in Weight.  Denom = 0.0 for Char %s. - may be invariant.\r\n"
                      "You should exclude this character",
                      charNames[c].c_str());
          settled = true;
          break;
        }
        // A settled step keeps the weight it started from; only a step that
        // goes on takes the new value.
        const double next = N / D;
        if (std::fabs(next - lam) < 1e-6) {
          settled = true;
          break;
        }
        lam = next;
      }
      if (!settled)
        ShowMessage(ui, kMbIconError,
                    "Error in Weight.  No convergence for Char %s after %d passes.\r\n"
                    "You should exclude this character",
                    charNames[c].c_str(), kLambdaMaxPasses);
      lambda[c] = lam >= 1.0 ? lam : 1.0;
    }
    for (std::size_t c = 0; c < C; ++c)
      for (std::size_t k = 0; k < A; ++k) allelePrior[c * A + k] = lambda[c] * m[c * A + k];
  }

  ComputeStockPrior(stockCount, informativePrior, priorWeight, beta);
  return meansOk ? 1 : 0;
}

int ComputeBaselinePriors(const Interaction& ui, const BaselineData& baseline,
                          bool informativePrior, std::span<const double> priorWeight,
                          BaselinePriors& out) {
  const std::size_t S = static_cast<std::size_t>(baseline.stockCount);
  const std::size_t C = static_cast<std::size_t>(baseline.charCount);
  const std::size_t A = static_cast<std::size_t>(baseline.maxAlleles);
  out.allelePrior.assign(C * A, 0.0);
  out.lambda.assign(C, 0.0);
  out.beta.assign(S, 0.0);
  return ComputeBaselinePriors(ui, baseline.stockCount, baseline.charCount, baseline.maxAlleles,
                               baseline.alleleCount, baseline.counts, baseline.charNames,
                               informativePrior, priorWeight, out.allelePrior, out.lambda,
                               out.beta);
}

void PrintPriorWeights(std::string& out, std::span<const int32_t> stockIds,
                       std::span<const std::string> charNames, int32_t maxAlleles,
                       std::span<const int32_t> alleleCount, std::span<const int32_t> counts,
                       std::span<const double> lambda) {
  const std::size_t C = charNames.size();
  const std::size_t A = static_cast<std::size_t>(maxAlleles);
  out += "\r\nWEIGHTS (P) FOR PRIOR MEANS (WEIGHTS FOR OBSERVED MEANS ARE SIMPLY 1 - P)\r\n";
  out += " STOCK CHARACTER\r\n";
  out += "  ID#";
  for (const std::string& name : charNames) AppendFormat(out, " %5.5s", name.c_str());
  out += "\r\n";
  for (std::size_t s = 0; s < stockIds.size(); ++s) {
    AppendFormat(out, "%5d", stockIds[s]);
    for (std::size_t c = 0; c < C; ++c) {
      const double n = static_cast<double>(CountTotal(counts, (s * C + c) * A, alleleCount[c]));
      AppendFormat(out, " %5.2f", lambda[c] / (n + lambda[c]));
    }
    out += "\r\n";
  }
  out += "\r\n(Large weights for the prior means may indicate that there is little variation)\r\n"
         " in the character among the stocks.  Such a character''s value in\r\n"
         " discriminating stocks should be examined.)\r\n";
}

void PrintPriorWeights(const RunRecord& run, std::string& out) {
  PrintPriorWeights(out, run.stockId, run.charNames, run.maxAlleles, run.alleleCount, run.counts,
                    run.lambda);
}

void PrintPriorWeights(const BaselineData& baseline, std::span<const double> lambda,
                       std::string& out) {
  PrintPriorWeights(out, baseline.stockId, baseline.charNames, baseline.maxAlleles,
                    baseline.alleleCount, baseline.counts, lambda);
}

void PrintPriorWeights(const RunRecord& run, std::FILE* summary) {
  if (summary == nullptr) return;
  std::string text;
  PrintPriorWeights(run, text);
  std::fwrite(text.data(), 1, text.size(), summary);
}

StartStocks RunStartStocks(const RunSettings& settings) {
  return {settings.StartStock[0], settings.StartStock[1], settings.StartStock[2],
          settings.StartStock[3]};
}

std::string FormatStartStocks(const StartStocks& stocks) {
  std::string text;
  AppendFormat(text, "%d", stocks[0]);
  for (std::size_t j = 1; j < stocks.size() && stocks[j] >= 0; ++j)
    AppendFormat(text, "/%d", stocks[j]);
  return text;
}

}  // namespace mixora
