#include "diagnostics/f_distribution.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/complement.hpp>
#include <boost/math/distributions/fisher_f.hpp>

namespace mixora {

namespace {

constexpr double kUpperLimit = 1e100;

// Lower-tail quantile when lowerTail, else the quantile whose upper tail is
// `tail`. Boost rejects infinite degrees of freedom, so the limits of the F
// distribution are taken through the chi-squared distribution.
double Quantile(double tail, bool lowerTail, double dfn, double dfd) {
  namespace bm = boost::math;
  const bool infN = std::isinf(dfn);
  const bool infD = std::isinf(dfd);
  if (infN && infD) return 1.0;
  if (infD) {
    // dfn * F is chi-squared with dfn degrees of freedom.
    bm::chi_squared chi(dfn);
    double x = lowerTail ? bm::quantile(chi, tail) : bm::quantile(bm::complement(chi, tail));
    return x / dfn;
  }
  if (infN) {
    // F = dfd / X with X chi-squared on dfd: its lower tail is X's upper tail.
    bm::chi_squared chi(dfd);
    double x = lowerTail ? bm::quantile(bm::complement(chi, tail)) : bm::quantile(chi, tail);
    return dfd / x;
  }
  bm::fisher_f dist(dfn, dfd);
  return lowerTail ? bm::quantile(dist, tail) : bm::quantile(bm::complement(dist, tail));
}

}  // namespace

void FQuantile(double p, double q, double dfn, double dfd, double& f, int& status,
               double& bound) {
  // Written as negated range tests so that NaN arguments are refused too.
  if (!(p >= 0.0 && p <= 1.0)) {
    status = kFQuantileBadP;
    bound = p < 0.0 ? 0.0 : 1.0;
    return;
  }
  if (!(q > 0.0 && q <= 1.0)) {
    status = kFQuantileBadQ;
    bound = q <= 0.0 ? 0.0 : 1.0;
    return;
  }
  if (!(dfn > 0.0)) {
    status = kFQuantileBadDfn;
    bound = 0.0;
    return;
  }
  if (!(dfd > 0.0)) {
    status = kFQuantileBadDfd;
    bound = 0.0;
    return;
  }
  if (std::fabs(p + q - 0.5 - 0.5) > 3.0 * std::numeric_limits<double>::epsilon()) {
    status = kFQuantileTailsDontSum;
    bound = p + q < 0.0 ? 0.0 : 1.0;
    return;
  }

  const bool lowerTail = p <= q;
  double x;
  try {
    x = Quantile(lowerTail ? p : q, lowerTail, dfn, dfd);
  } catch (const std::overflow_error&) {
    x = std::numeric_limits<double>::infinity();
  } catch (const std::exception&) {
    x = std::numeric_limits<double>::quiet_NaN();
  }

  if (x < 0.0) {
    f = 0.0;
    status = kFQuantileBelowRange;
    bound = 0.0;
    return;
  }
  if (!(x <= kUpperLimit)) {
    f = kUpperLimit;
    status = kFQuantileAboveRange;
    bound = kUpperLimit;
    return;
  }
  f = x;
  status = kFQuantileFound;
  bound = 0.0;
}

}  // namespace mixora
