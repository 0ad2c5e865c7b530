#pragma once
// Standard normal quantile to about 7 significant digits (Wichura's
// Algorithm AS 241, the short form), enough for run-length estimates.
namespace mixora {

// The z with P(Z <= z) = p for a standard normal Z. Returns 0 for p <= 0,
// p >= 1 and NaN (the algorithm's fault case).
double NormalQuantile(double p);

}  // namespace mixora
