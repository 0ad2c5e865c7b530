#include "reports/composition_stats.h"

#include <algorithm>

namespace mixora {

void RoundToUnit(int digits, uint32_t* destination, const uint32_t* source, std::size_t count) {
  digits = std::clamp(digits, 1, 8);
  uint64_t unit = 1;
  for (int d = digits; d < 8; ++d) unit *= 10;
  const uint64_t half = unit / 2;
  for (std::size_t i = 0; i < count; ++i) {
    const uint64_t value = source[i];
    const uint64_t remainder = value % unit;
    uint64_t rounded = value - remainder + (remainder > half ? unit : 0);
    destination[i] = static_cast<uint32_t>(std::min<uint64_t>(rounded, 0xFFFFFFFFu));
  }
}

double SortedMedian(const uint32_t* sorted, std::size_t n) {
  if (n % 2 == 0)
    return (static_cast<double>(sorted[n / 2 - 1]) + static_cast<double>(sorted[n / 2])) / 2.0 /
           kProportionScale;
  return static_cast<double>(sorted[n / 2]) / kProportionScale;
}

double SortedQuantile(const uint32_t* sorted, std::size_t n, double q) {
  const double h = static_cast<double>(n - 1) * q;
  std::size_t i = h > 0.0 ? static_cast<std::size_t>(h) : 0;
  if (i > n - 1) i = n - 1;
  const double f = h - static_cast<double>(i);
  const std::size_t j = std::min(i + 1, n - 1);
  return (static_cast<double>(sorted[i]) * (1.0 - f) + static_cast<double>(sorted[j]) * f) /
         kProportionScale;
}

}  // namespace mixora
