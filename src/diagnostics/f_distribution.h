#pragma once
// Quantile of the F distribution, for the upper confidence limit of the
// Gelman-Rubin shrink factor.
namespace mixora {

// Status codes of FQuantile (bound tells which limit was violated or reached).
enum FQuantileStatus : int {
  kFQuantileFound = 0,
  kFQuantileBelowRange = 1,   // the answer lies below 0 (bound 0)
  kFQuantileAboveRange = 2,   // the answer lies above 1e100 (bound 1e100)
  kFQuantileTailsDontSum = 3, // p + q differs from 1 (bound 0 or 1)
  kFQuantileBadP = -2,        // p outside [0, 1] (bound 0 or 1)
  kFQuantileBadQ = -3,        // q outside (0, 1] (bound 0 or 1)
  kFQuantileBadDfn = -5,      // numerator degrees of freedom not > 0 (bound 0)
  kFQuantileBadDfd = -6,      // denominator degrees of freedom not > 0 (bound 0)
};

// Finds f with P(F <= f) = p for the F distribution with dfn and dfd degrees
// of freedom (real, either may be +infinity). q must be 1 - p: the smaller of
// the two tails is matched, so upper quantiles keep their precision. On a
// status other than 0, f is left unchanged for argument errors and set to the
// violated limit (0 or 1e100) when the answer is out of range. Never throws.
void FQuantile(double p, double q, double dfn, double dfd, double& f, int& status,
               double& bound);

}  // namespace mixora
