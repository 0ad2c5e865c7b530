#pragma once
// Gelman-Rubin shrink factors of one row of the composition sample array:
// m chains of n scaled proportions each (proportion times 100,000,000).
#include <cstdint>

#include "runfiles/composition_samples.h"

namespace mixora {

// The shrink factor estimate and its 97.5% upper confidence limit.
struct ShrinkFactors {
  double estimate = 1.0;
  double quantile97 = 1.0;
};

// Mean and variance (denominator n - 1) of n scaled integers, each divided by
// 100,000,000 as it is read. Returns 0 and leaves both outputs untouched when
// n < 2, else 1.
int ScaledMeanVariance(const uint32_t* values, int n, double& mean, double& variance);

// Mean and variance (denominator m - 1) of m doubles. Returns 0 and leaves
// both outputs untouched when m < 2, else 1.
int MeanVariance(const double* values, int m, double& mean, double& variance);

// Sample covariance (denominator m - 1) of two arrays of m doubles; m >= 2.
double Covariance(const double* a, const double* b, int m);

// Shrink factors of one row: `row` holds m chains one after the other, n
// values each. Degenerate rows (fewer than 2 chains or records, all chains
// constant, equal chain variances) give 1.0 and 1.0. Always returns 1.
int GelRubin(const uint32_t* row, ShrinkFactors& result, int n, int m);

}  // namespace mixora
