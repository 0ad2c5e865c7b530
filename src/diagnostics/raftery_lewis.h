#pragma once
// Raftery-Lewis run-length estimates for one variable of one chain: the
// series is cut at its empirical q-quantile into a 0/1 series, thinned until
// a first-order two-state Markov chain fits, and the burn-in and estimation
// lengths follow from that chain's transition probabilities.
#include <cstdint>

namespace mixora {

// Precision of the burn-in criterion (fixed, not a setting).
inline constexpr double kRunLengthEpsilon = 0.001;

// Why a variable's burn-in and estimation lengths could not be computed.
enum RunLengthProblem : int {
  kRunLengthsDefined = 0,
  kAlphaUndefined = 1,    // no step out of the values above the quantile
  kBetaUndefined = 2,     // no step out of the values at or below the quantile
  kBurnInUndefined = 4,   // the series alternates, so it never settles
};

struct RunLengths {
  int32_t kthin = 1;   // thinning interval
  int64_t nburn = 0;   // burn-in iterations
  int64_t nprec = 0;   // iterations for the estimate itself
  int32_t nmin = 0;    // iterations an independent sample would need
  double alpha = 0.0;  // P(above -> at or below) of the thinned series
  double beta = 0.0;   // P(at or below -> above)
  int problems = kRunLengthsDefined;  // RunLengthProblem bits; nburn, nprec unset unless 0

  int64_t Total() const { return nburn + nprec; }
  double DependenceFactor() const { return static_cast<double>(Total()) / nmin; }
};

// The q-quantile of count values: they are copied into work (count words)
// and sorted; the two order statistics around (count - 1) * q are
// interpolated and the result is truncated to a whole number. 0 for count 0.
uint32_t EmpiricalQuantile(const uint32_t* values, int count, double q, uint32_t* work);

// Likelihood-ratio statistic G2 of a second-order against a first-order
// two-state chain on the 0/1 series, and BIC = G2 - 2 ln(count - 2). A
// series of fewer than 3 values holds no triple: G2 = 0 and BIC = +infinity
// (nothing shows it to be first-order).
void SecondOrderTest(const uint32_t* series, int count, double& g2, double& bic);

// Transition probabilities alpha = n01 / (n00 + n01) and beta =
// n10 / (n10 + n11) of the 0/1 series. A state with no successor leaves its
// probability undefined (returned as 0): the result holds kAlphaUndefined
// and/or kBetaUndefined for those.
int TransitionEstimate(const uint32_t* series, int count, double& alpha, double& beta);

// Run lengths of one variable of count values for quantile q, accuracy r and
// probability s. work must hold 2 * count words.
RunLengths gibbmain(const uint32_t* values, int count, double q, double r, double s,
                    uint32_t* work);

}  // namespace mixora
