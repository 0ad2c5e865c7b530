#include "diagnostics/raftery_lewis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "diagnostics/normal_quantile.h"

namespace mixora {

namespace {

// Truncates toward zero; false when the value is not finite or does not fit
// (the plain conversion would be undefined).
bool TruncateToInt64(double value, int64_t& out) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.0e18) return false;
  out = static_cast<int64_t>(value);
  return true;
}

// Takes series[0], series[step], ... into thinned; returns how many.
int Thin(const uint32_t* series, int count, int step, uint32_t* thinned) {
  int n = 0;
  for (int t = 0; t < count; t += step) thinned[n++] = series[t];
  return n;
}

}  // namespace

uint32_t EmpiricalQuantile(const uint32_t* values, int count, double q, uint32_t* work) {
  if (count <= 0) return 0;
  // Outside [0, 1] the position would index past the sorted copy.
  if (!(q > 0.0)) q = 0.0;
  if (q > 1.0) q = 1.0;
  std::copy(values, values + count, work);
  std::sort(work, work + count);
  double whole = 0.0;
  const double position = (count - 1) * q;
  const double frac = std::modf(position, &whole);
  const int lo = whole > 0.0 ? static_cast<int>(whole) : 0;
  const int hi = std::min(lo + 1, count - 1);
  const double value = work[lo] * (1.0 - frac) + work[hi] * frac;
  return static_cast<uint32_t>(value);
}

void SecondOrderTest(const uint32_t* series, int count, double& g2, double& bic) {
  if (count < 3) {
    g2 = 0.0;
    bic = std::numeric_limits<double>::infinity();
    return;
  }
  int64_t n[2][2][2] = {};
  for (int t = 0; t + 2 < count; ++t) ++n[series[t] & 1][series[t + 1] & 1][series[t + 2] & 1];

  double sum = 0.0;
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      for (int c = 0; c < 2; ++c) {
        if (n[a][b][c] == 0) continue;
        const double nab = static_cast<double>(n[a][b][0] + n[a][b][1]);
        const double nbc = static_cast<double>(n[0][b][c] + n[1][b][c]);
        const double nb = static_cast<double>(n[0][b][0] + n[0][b][1] + n[1][b][0] + n[1][b][1]);
        const double expected = nab * nbc / nb;
        const double observed = static_cast<double>(n[a][b][c]);
        sum += observed * std::log(observed / expected);
      }
    }
  }
  g2 = 2.0 * sum;
  bic = g2 - 2.0 * std::log(static_cast<double>(count - 2));
}

int TransitionEstimate(const uint32_t* series, int count, double& alpha, double& beta) {
  int64_t n[2][2] = {};
  for (int t = 0; t + 1 < count; ++t) ++n[series[t] & 1][series[t + 1] & 1];
  int problems = kRunLengthsDefined;
  const int64_t from0 = n[0][0] + n[0][1];
  const int64_t from1 = n[1][0] + n[1][1];
  if (from0 > 0) {
    alpha = static_cast<double>(n[0][1]) / static_cast<double>(from0);
  } else {
    alpha = 0.0;
    problems |= kAlphaUndefined;
  }
  if (from1 > 0) {
    beta = static_cast<double>(n[1][0]) / static_cast<double>(from1);
  } else {
    beta = 0.0;
    problems |= kBetaUndefined;
  }
  return problems;
}

RunLengths gibbmain(const uint32_t* values, int count, double q, double r, double s,
                    uint32_t* work) {
  RunLengths result;
  const double phi = NormalQuantile((1.0 + s) / 2.0);
  int64_t nmin = 0;
  if (TruncateToInt64(1.0 + phi * phi * q * (1.0 - q) / (r * r), nmin) &&
      nmin <= std::numeric_limits<int32_t>::max())
    result.nmin = static_cast<int32_t>(nmin);

  if (count <= 0) {
    result.problems = kAlphaUndefined | kBetaUndefined;
    return result;
  }
  uint32_t* dichotomised = work;
  uint32_t* thinned = work + count;
  const uint32_t cut = EmpiricalQuantile(values, count, q, dichotomised);
  for (int t = 0; t < count; ++t) dichotomised[t] = values[t] <= cut ? 1u : 0u;

  int kthin = 1;
  int n = 0;
  for (;;) {
    n = Thin(dichotomised, count, kthin, thinned);
    // A single value cannot be thinned further, nor tested.
    if (n < 2) break;
    double g2 = 0.0;
    double bic = 0.0;
    SecondOrderTest(thinned, n, g2, bic);
    if (!(bic > 0.0)) break;
    ++kthin;
  }
  result.kthin = kthin;

  double alpha = 0.0;
  double beta = 0.0;
  result.problems = TransitionEstimate(thinned, n, alpha, beta);
  result.alpha = alpha;
  result.beta = beta;
  if (result.problems != kRunLengthsDefined) return result;

  const double psum = alpha + beta;
  int64_t burn = 0;
  int64_t prec = 0;
  // A strictly alternating series (alpha = beta = 1) gives ln|1 - psum| = 0.
  if (!TruncateToInt64(
          std::log(psum * kRunLengthEpsilon / std::max(alpha, beta)) / std::log(std::fabs(1.0 - psum)) +
              1.0,
          burn) ||
      !TruncateToInt64((2.0 - psum) * alpha * beta * phi * phi / (psum * psum * psum * r * r) + 1.0,
                       prec) ||
      std::fabs(static_cast<double>(burn) * kthin) >= 4.0e18 ||
      std::fabs(static_cast<double>(prec) * kthin) >= 4.0e18) {
    result.problems = kBurnInUndefined;
    return result;
  }
  result.nburn = burn * kthin;
  result.nprec = prec * kthin;
  return result;
}

}  // namespace mixora
