#pragma once
// Random variates for the Gibbs sampler. All uniforms come through the
// chain's generator handle (or its ran2 state for categorical draws); the
// routines allocate nothing and keep no static state.
#include <cstdint>

#include "core/ordered_sums.h"
#include "sampler/generator_handle.h"
#include "sampler/ran2.h"

namespace mixora {

// Standard exponential deviate (Ahrens-Dieter SA), single precision.
float DrawExponential(GeneratorHandle& handle);

// Standard normal deviate (Ahrens-Dieter FL, 32 intervals), single precision.
float DrawNormal(GeneratorHandle& handle);

// Gamma deviate of the given shape (> 0) and scale 1 (Ahrens-Dieter GD for
// shape >= 1, GS below). Keeps its shape-dependent setup and working values
// in the handle.
double DrawGamma(GeneratorHandle& handle, double shape);

// Dirichlet(counts + priors) into out[0 .. n-1]: a gamma per component whose
// parameter is not exactly 0 (those get 0 and consume no uniforms), divided by
// their total. The caller guarantees at least one positive parameter.
void DrawDirichlet(GeneratorHandle& handle, const int32_t* counts, const double* priors, int n,
                   double* out);

// DrawDirichlet on each of rows rows, in order: row r has sizes[r] components
// (none drawn when 0) and starts stride values into counts, priors and out.
void DrawDirichletRows(GeneratorHandle& handle, const int32_t* counts, const double* priors,
                       const int32_t* sizes, int rows, int stride, double* out);

// Index 0 .. n-1 drawn with normalised weights: the first k whose running sum
// exceeds a ran2 uniform, else n - 1 (the last weight is never summed).
int DrawCategorical(Ran2State& ran2, const double* weights, int n);

}  // namespace mixora
