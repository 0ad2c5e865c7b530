#include "core/ordered_sums.h"

namespace mixora {

double SumOf(const double* values, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum = sum + values[i];
  return sum;
}

void DivideBy(double* values, double total, int n) {
  for (int i = 0; i < n; ++i) values[i] = values[i] / total;
}

}  // namespace mixora
