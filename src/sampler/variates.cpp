#include "sampler/variates.h"

#include <cmath>
#include <cstddef>

#include "sampler/variate_tables.h"

namespace mixora {
namespace {

using namespace variate_tables;

// Gamma: coefficients of q0 (q1..q7), of the series for q (a1..a7) and of
// exp(q) - 1 (e1..e5).
constexpr double kQ1 = 0.04166669, kQ2 = 0.02083148, kQ3 = 0.00801191, kQ4 = 0.00144121,
                 kQ5 = -7.388e-5, kQ6 = 0.00024511, kQ7 = 0.0002424;
constexpr double kA1 = 0.3333333, kA2 = -0.250003, kA3 = 0.2000062, kA4 = -0.1662921,
                 kA5 = 0.1423657, kA6 = -0.1367177, kA7 = 0.1233795;
constexpr double kE1 = 1.0, kE2 = 0.4999897, kE3 = 0.166829, kE4 = 0.0407753, kE5 = 0.010293;
constexpr double kSqrt32 = 5.656854;

float UniformSingle(GeneratorHandle& h) { return static_cast<float>(NextUniform(h)); }

// The acceptance bound of the normal routine is formed in double from single
// values and rounded once; a single-precision evaluation differs in about one
// case in five.
float NormalBound(float w, float base) {
  return static_cast<float>((0.5 * static_cast<double>(w) + static_cast<double>(base)) *
                            static_cast<double>(w));
}

// q of the gamma routine from t and v = t / (s + s).
double GammaQ(const GeneratorHandle& h) {
  const double t = h.t, v = h.v;
  if (std::fabs(v) <= 0.25)
    return h.q0 +
           0.5 * t * t * ((((((kA7 * v + kA6) * v + kA5) * v + kA4) * v + kA3) * v + kA2) * v + kA1) * v;
  return h.q0 - h.s * t + 0.25 * t * t + 2 * h.s2 * std::log(1.0 + v);
}

}  // namespace

float DrawExponential(GeneratorHandle& handle) {
  float a = 0.0f;
  float u = UniformSingle(handle);
  u = u + u;
  while (u < 1.0f) {
    a = a + kExpQ[0];
    u = u + u;
  }
  u = u - 1.0f;
  if (u <= kExpQ[0]) return a + u;
  float umin = UniformSingle(handle);
  int k = 0;
  // The last entry is 0.99999988 in single precision, so a uniform that
  // rounds to 1.0 would never satisfy u <= q[k] and would walk past the end
  // of the table: stop at the last entry instead.
  do {
    float ustar = UniformSingle(handle);
    if (ustar < umin) umin = ustar;
    ++k;
  } while (k < 7 && u > kExpQ[k]);
  return a + umin * kExpQ[0];
}

namespace {

// A standard normal deviate as its magnitude (never negative) and its sign.
struct NormalDraw {
  float magnitude;
  bool negative;
};

// The normal routine after its first uniform, for the draws that uniform does
// not settle: u is the uniform scaled to the 32 intervals and i its interval.
// Kept out of line so the settled draws (most of them) stay short.
[[gnu::noinline]] float NormalMagnitudeUnsettled(GeneratorHandle& handle, float u, int i) {
  float base, w, tt, ustar;
  if (i != 0) {
    ustar = u - static_cast<float>(i);
    base = kNormA[i - 1];
    for (;;) {
      if (ustar > kNormT[i - 1]) {
        w = (ustar - kNormT[i - 1]) * kNormH[i - 1];
        break;
      }
      u = UniformSingle(handle);
      w = u * (kNormA[i] - base);
      tt = NormalBound(w, base);
      bool accepted = false;
      for (;;) {
        if (ustar > tt) {
          accepted = true;
          break;
        }
        u = UniformSingle(handle);
        if (ustar < u) break;
        tt = u;
        ustar = UniformSingle(handle);
      }
      if (accepted) break;
      ustar = UniformSingle(handle);
    }
  } else {
    i = 6;
    base = kNormA[31];
    u = u + u;
    // The bound on i only matters for uniforms below 2^-32, which no chain
    // generator delivers; it keeps the table read in range regardless.
    while (u < 1.0f && i < 31) {
      base = base + kNormD[i - 1];
      i += 1;
      u = u + u;
    }
    u = u - 1.0f;
    for (;;) {
      w = u * kNormD[i - 1];
      tt = NormalBound(w, base);
      bool accepted = false;
      for (;;) {
        ustar = UniformSingle(handle);
        if (ustar > tt) {
          accepted = true;
          break;
        }
        u = UniformSingle(handle);
        if (ustar < u) break;
        tt = u;
      }
      if (accepted) break;
      u = UniformSingle(handle);
    }
  }
  return base + w;
}

[[gnu::always_inline]] inline NormalDraw DrawNormalParts(GeneratorHandle& handle) {
  float u = UniformSingle(handle);
  const float s = u > 0.5f ? 1.0f : 0.0f;
  u = u + (u - s);
  u = static_cast<float>(32.0 * u);
  int i = static_cast<int>(u);
  if (i == 32) i = 31;
  if (i != 0) [[likely]] {
    const float ustar = u - static_cast<float>(i);
    if (ustar > kNormT[i - 1]) [[likely]] {
      const float w = (ustar - kNormT[i - 1]) * kNormH[i - 1];
      return {kNormA[i - 1] + w, s == 1.0f};
    }
  }
  return {NormalMagnitudeUnsettled(handle, u, i), s == 1.0f};
}

// Shapes below 1 (GS).
[[gnu::noinline]] double SmallShapeGamma(GeneratorHandle& h, double a) {
  h.b0 = 1.0 + 0.3678794 * a;
  for (;;) {
    h.p = h.b0 * NextUniform(h);
    if (h.p < 1.0) {
      h.result = std::exp(std::log(h.p) / a);
      if (DrawExponential(h) >= h.result) return h.result;
    } else {
      h.result = -std::log((h.b0 - h.p) / a);
      if (DrawExponential(h) >= (1.0 - a) * std::log(h.result)) return h.result;
    }
  }
}

// GD past its squeeze: the quotient test, then double exponential rejection.
// Reached by few draws, so kept out of line.
[[gnu::noinline]] double GammaPastSqueeze(GeneratorHandle& h, double a) {
  if (a != h.aaa) {
    h.aaa = a;
    h.r = 1.0 / a;
    const double r = h.r;
    h.q0 = ((((((kQ7 * r + kQ6) * r + kQ5) * r + kQ4) * r + kQ3) * r + kQ2) * r + kQ1) * r;
    if (a <= 3.686) {
      h.b = 0.463 + h.s + 0.178 * h.s2;
      h.si = 1.235;
      h.c = 0.195 / h.s - 0.079 + 0.16 * h.s;
    } else if (a <= 13.022) {
      h.b = 1.654 + 0.0076 * h.s2;
      h.si = 1.68 / h.s + 0.275;
      h.c = 0.062 / h.s + 0.024;
    } else {
      h.b = 1.77;
      h.si = 0.75;
      h.c = 0.1515 / h.s;
    }
  }

  if (h.x > 0.0) {
    h.v = h.t / (h.s + h.s);
    h.q = GammaQ(h);
    if (std::log(1.0 - h.u) <= h.q) return h.result;
  }

  for (;;) {
    h.e = DrawExponential(h);
    h.u = 2 * NextUniform(h) - 1;
    h.t = h.u >= 0.0 ? h.b + h.si * h.e : h.b - h.si * h.e;
    if (h.t < -0.7187449) continue;
    h.v = h.t / (h.s + h.s);
    h.q = GammaQ(h);
    if (h.q <= 0.0) continue;
    if (h.q <= 0.5) {
      h.w = ((((kE5 * h.q + kE4) * h.q + kE3) * h.q + kE2) * h.q + kE1) * h.q;
      if (h.c * std::fabs(h.u) > h.w * std::exp(h.e - 0.5 * h.t * h.t)) continue;
    } else if (h.q < 15.0) {
      h.w = std::exp(h.q) - 1.0;
      if (h.c * std::fabs(h.u) > h.w * std::exp(h.e - 0.5 * h.t * h.t)) continue;
    } else {
      const double y = h.q + h.e - 0.5 * h.t * h.t;
      if (y <= 87.49823 && h.c * std::fabs(h.u) > std::exp(y)) continue;
    }
    h.x = h.s + h.t / 2;
    h.result = h.x * h.x;
    return h.result;
  }
}

// The gamma routine's common road, inlined where deviates are drawn in bulk:
// nearly every draw of a shape of 1 or more ends at the first or the second
// test below.
[[gnu::always_inline]] inline double GammaDeviate(GeneratorHandle& h, double a) {
  if (a != h.aa) {
    if (a < 1.0) return SmallShapeGamma(h, a);
    h.aa = a;
    h.s2 = a - 0.5;
    h.s = std::sqrt(h.s2);
    h.d = kSqrt32 - 12.0 * h.s;
  }

  const NormalDraw normal = DrawNormalParts(h);
  h.t = normal.negative ? -normal.magnitude : normal.magnitude;
  h.x = h.s + h.t / 2;
  h.result = h.x * h.x;
  // t >= 0 exactly when the sign is positive or the magnitude is 0 (-0 >= 0).
  // The sign is known from the deviate's first uniform, so asking it first
  // settles this coin-toss branch long before the deviate itself is done,
  // and a wrong guess costs far less.
  if (!normal.negative || normal.magnitude == 0.0f) return h.result;

  h.u = NextUniform(h);
  if (h.d * h.u <= h.t * h.t * h.t) return h.result;
  return GammaPastSqueeze(h, a);
}

}  // namespace

float DrawNormal(GeneratorHandle& handle) {
  const NormalDraw normal = DrawNormalParts(handle);
  return normal.negative ? -normal.magnitude : normal.magnitude;
}

double DrawGamma(GeneratorHandle& handle, double a) { return GammaDeviate(handle, a); }

void DrawDirichlet(GeneratorHandle& handle, const int32_t* counts, const double* priors, int n,
                   double* out) {
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    const double alpha = counts[i] + priors[i];
    if (alpha == 0.0) {
      out[i] = 0.0;
      continue;
    }
    out[i] = GammaDeviate(handle, alpha);
    total = total + out[i];
  }
  DivideBy(out, total, n);
}

void DrawDirichletRows(GeneratorHandle& handle, const int32_t* counts, const double* priors,
                       const int32_t* sizes, int rows, int stride, double* out) {
  for (int r = 0; r < rows; ++r) {
    if (sizes[r] == 0) continue;
    const std::size_t at = static_cast<std::size_t>(r) * stride;
    DrawDirichlet(handle, counts + at, priors + at, sizes[r], out + at);
  }
}

int DrawCategorical(Ran2State& ran2, const double* weights, int n) {
  const double u = Ran2Uniform(ran2);
  double cum = 0.0;
  for (int k = 0; k < n - 1; ++k) {
    cum = cum + weights[k];
    if (cum > u) return k;
  }
  return n - 1;
}

}  // namespace mixora
