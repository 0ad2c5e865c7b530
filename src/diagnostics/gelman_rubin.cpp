#include "diagnostics/gelman_rubin.h"

#include <cmath>
#include <vector>

#include "diagnostics/f_distribution.h"

namespace mixora {

int ScaledMeanVariance(const uint32_t* values, int n, double& mean, double& variance) {
  if (n < 2) return 0;
  double sum = 0.0;
  for (int t = 0; t < n; ++t) sum += values[t] / kProportionScale;
  const double average = sum / n;
  double squares = 0.0;
  for (int t = 0; t < n; ++t) {
    const double d = values[t] / kProportionScale - average;
    squares += d * d;
  }
  mean = average;
  variance = squares / (n - 1);
  return 1;
}

int MeanVariance(const double* values, int m, double& mean, double& variance) {
  if (m < 2) return 0;
  double sum = 0.0;
  for (int j = 0; j < m; ++j) sum += values[j];
  const double average = sum / m;
  double squares = 0.0;
  for (int j = 0; j < m; ++j) {
    const double d = values[j] - average;
    squares += d * d;
  }
  mean = average;
  variance = squares / (m - 1);
  return 1;
}

double Covariance(const double* a, const double* b, int m) {
  double sumA = 0.0;
  double sumB = 0.0;
  for (int j = 0; j < m; ++j) {
    sumA += a[j];
    sumB += b[j];
  }
  const double meanA = sumA / m;
  const double meanB = sumB / m;
  double products = 0.0;
  for (int j = 0; j < m; ++j) products += (a[j] - meanA) * (b[j] - meanB);
  return products / (m - 1);
}

int GelRubin(const uint32_t* row, ShrinkFactors& result, int n, int m) {
  std::vector<double> chainVariance(m > 0 ? m : 0, 0.0);
  std::vector<double> chainMean(chainVariance.size(), 0.0);
  std::vector<double> chainMeanSquared(chainVariance.size(), 0.0);

  for (int j = 0; j < m; ++j) {
    double mean = 0.0;
    double variance = 0.0;
    if (ScaledMeanVariance(row + static_cast<std::size_t>(j) * n, n, mean, variance)) {
      chainVariance[j] = variance;
      chainMean[j] = mean;
      chainMeanSquared[j] = mean * mean;
    }
  }

  double W = 0.0;
  double varianceOfVariances = 0.0;
  MeanVariance(chainVariance.data(), m, W, varianceOfVariances);

  result.estimate = 1.0;
  result.quantile97 = 1.0;
  if (!(W > 1e-8) || !(varianceOfVariances > 0.0)) return 1;

  const double dn = n;
  const double dm = m;
  const double varW = varianceOfVariances / dm;
  double mu = 0.0;
  double varianceOfMeans = 0.0;
  MeanVariance(chainMean.data(), m, mu, varianceOfMeans);
  const double B = dn * varianceOfMeans;
  const double varB = 2.0 * B * B / (dm - 1.0);
  const double covWB =
      (dn / dm) * (Covariance(chainVariance.data(), chainMeanSquared.data(), m) -
                   2.0 * mu * Covariance(chainVariance.data(), chainMean.data(), m));
  const double sigma2 = ((dn - 1.0) * W + B) / dn;
  const double V = sigma2 + B / (dm * dn);
  const double inflation = 1.0 + 1.0 / dm;
  const double varV = ((dn - 1.0) * (dn - 1.0) * varW + inflation * inflation * varB +
                       2.0 * (dn - 1.0) * inflation * covWB) /
                      (dn * dn);
  const double df = 2.0 * V * V / varV;
  const double dfW = 2.0 * W * W / varW;

  double F = 0.0;
  int status = 0;
  double bound = 0.0;
  FQuantile(0.975, 0.025, dm - 1.0, dfW, F, status, bound);

  const double R = V / W;
  const double R97 = (dn - 1.0) / dn + inflation * (1.0 / dn) * (B / W) * F;
  // A zero estimated variance of V makes df infinite and the correction
  // inf/inf; its limit for unbounded df, 1, is used rather than printing nan.
  const double factor = (df + 3.0) / (df + 1.0);
  if (std::isfinite(factor) && factor >= 0.0) {
    result.estimate = std::sqrt(R * (df + 3.0) / (df + 1.0));
    result.quantile97 = std::sqrt(R97 * (df + 3.0) / (df + 1.0));
  } else {
    result.estimate = std::sqrt(R);
    result.quantile97 = std::sqrt(R97);
  }
  return 1;
}

}  // namespace mixora
