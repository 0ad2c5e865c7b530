#pragma once
// Sums and normalisations in index order. The sampler, the priors and the
// tests that rebuild a draw by hand all go through these, so the same values
// are added in the same order everywhere and the results agree to the bit.

namespace mixora {

// Sum in index order.
double SumOf(const double* values, int n);

// Divides each of the n values by total.
void DivideBy(double* values, double total, int n);

}  // namespace mixora
