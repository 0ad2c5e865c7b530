#include "diagnostics/normal_quantile.h"

#include <cmath>

namespace mixora {

namespace {
// Published coefficients of the 7-digit form; evaluated in double precision.
constexpr double kSplit1 = 0.425;
constexpr double kSplit2 = 5.0;
constexpr double kConst1 = 0.180625;
constexpr double kConst2 = 1.6;

constexpr double kA0 = 3.3871327179E+00;
constexpr double kA1 = 5.0434271938E+01;
constexpr double kA2 = 1.5929113202E+02;
constexpr double kA3 = 5.9109374720E+01;
constexpr double kB1 = 1.7895169469E+01;
constexpr double kB2 = 7.8757757664E+01;
constexpr double kB3 = 6.7187563600E+01;

constexpr double kC0 = 1.4234372777E+00;
constexpr double kC1 = 2.7568153900E+00;
constexpr double kC2 = 1.3067284816E+00;
constexpr double kC3 = 1.7023821103E-01;
constexpr double kD1 = 7.3700164250E-01;
constexpr double kD2 = 1.2021132975E-01;

constexpr double kE0 = 6.6579051150E+00;
constexpr double kE1 = 3.0812263860E+00;
constexpr double kE2 = 4.2868294337E-01;
constexpr double kE3 = 1.7337203997E-02;
constexpr double kF1 = 2.4197894225E-01;
constexpr double kF2 = 1.2258202635E-02;
}  // namespace

double NormalQuantile(double p) {
  if (!(p > 0.0 && p < 1.0)) return 0.0;
  const double q = p - 0.5;
  if (std::fabs(q) <= kSplit1) {
    const double r = kConst1 - q * q;
    return q * (((kA3 * r + kA2) * r + kA1) * r + kA0) /
           (((kB3 * r + kB2) * r + kB1) * r + 1.0);
  }
  double r = q < 0.0 ? p : 1.0 - p;
  r = std::sqrt(-std::log(r));
  double value;
  if (r <= kSplit2) {
    r -= kConst2;
    value = (((kC3 * r + kC2) * r + kC1) * r + kC0) / ((kD2 * r + kD1) * r + 1.0);
  } else {
    r -= kSplit2;
    value = (((kE3 * r + kE2) * r + kE1) * r + kE0) / ((kF2 * r + kF1) * r + 1.0);
  }
  return q < 0.0 ? -value : value;
}

}  // namespace mixora
