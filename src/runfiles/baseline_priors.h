#pragma once
// The Dirichlet priors of the mixture model (allele frequencies per character,
// stock proportions) as a run control file stores them, computed from the
// baseline when the file is written; the summary file's table of their
// weights; the run's starting stocks as a record of four IDs.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "runfiles/run_record.h"

namespace mixora {

// Passes of the character-weight iteration before it gives up on a character.
inline constexpr int kLambdaMaxPasses = 10000;

// Computes, from baseline counts in the run's order (S stocks x C characters x
// A allele slots, counts[(s * C + c) * A + k], K_c = alleleCount[c] alleles in
// use):
//   allelePrior[c * A + k] (C x A), lambda[c] (C), beta[s] (S).
// priorWeight (S entries) is read only when informativePrior is set. Messages
// ("Error in CalcLambda", the invariant-character weight message, a character
// whose weight does not settle) go through ui. Returns 1, or 0 when some
// character with alleles has no stock with data; then allelePrior and lambda
// keep the values they had and only beta is computed. The output spans must
// have the sizes above.
int ComputeBaselinePriors(const Interaction& ui, int32_t stockCount, int32_t charCount,
                          int32_t maxAlleles, std::span<const int32_t> alleleCount,
                          std::span<const int32_t> counts, std::span<const std::string> charNames,
                          bool informativePrior, std::span<const double> priorWeight,
                          std::span<double> allelePrior, std::span<double> lambda,
                          std::span<double> beta);

// The priors of a loaded baseline in its own stock order (vectors sized here,
// zero-filled before computing). priorWeight as above.
struct BaselinePriors {
  std::vector<double> allelePrior;  // [c * A + k]
  std::vector<double> lambda;       // [C]
  std::vector<double> beta;         // [S]
};
int ComputeBaselinePriors(const Interaction& ui, const BaselineData& baseline,
                          bool informativePrior, std::span<const double> priorWeight,
                          BaselinePriors& out);

// Appends the weights table of the summary file: per stock and character the
// weight lambda / (n + lambda) of the prior mean, n being the stock's count
// total over the character's alleles.
void PrintPriorWeights(std::string& out, std::span<const int32_t> stockIds,
                       std::span<const std::string> charNames, int32_t maxAlleles,
                       std::span<const int32_t> alleleCount, std::span<const int32_t> counts,
                       std::span<const double> lambda);
void PrintPriorWeights(const RunRecord& run, std::string& out);
void PrintPriorWeights(const BaselineData& baseline, std::span<const double> lambda,
                       std::string& out);
// Writes into the run's open summary file; nothing when none is open.
void PrintPriorWeights(const RunRecord& run, std::FILE* summary);

// Four stock IDs, -1 marking an unused entry.
using StartStocks = std::array<int32_t, 4>;
StartStocks RunStartStocks(const RunSettings& settings);

// "%d" then "/%d" per further entry, up to the first negative one ("-1" when
// the first is already negative).
std::string FormatStartStocks(const StartStocks& stocks);

}  // namespace mixora
