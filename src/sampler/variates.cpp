#include "sampler/variates.h"

#include <cmath>

namespace mixora {
namespace {

// Standard exponential: q[k] = sum over i = 1 .. k+1 of (ln 2)^i / i!.
constexpr float kExpQ[8] = {0.6931472f, 0.9333737f, 0.9888778f, 0.9984959f,
                            0.9998293f, 0.9999833f, 0.9999986f, .9999999f};

// Standard normal, 32 intervals: interval bounds a, tail increments d (the
// first five are never read), acceptance bounds t and slopes h.
constexpr float kNormA[32] = {
    0.0f,       3.917609E-2f, 7.841241E-2f, 0.11777f,   0.1573107f, 0.1970991f, 0.2372021f,
    0.2776904f, 0.3186394f,   0.36013f,     0.4022501f, 0.4450965f, 0.4887764f, 0.5334097f,
    0.5791322f, 0.626099f,    0.6744898f,   0.7245144f, 0.7764218f, 0.8305109f, 0.8871466f,
    0.9467818f, 1.00999f,     1.077516f,    1.150349f,  1.229859f,  1.318011f,  1.417797f,
    1.534121f,  1.67594f,     1.862732f,    2.153875f};
constexpr float kNormD[31] = {
    0.0f,       0.0f,       0.0f,       0.0f,       0.0f,       0.2636843f, 0.2425085f, 0.2255674f,
    0.2116342f, 0.1999243f, 0.1899108f, 0.1812252f, 0.1736014f, 0.1668419f, 0.1607967f, 0.1553497f,
    0.1504094f, 0.1459026f, 0.14177f,   0.1379632f, 0.1344418f, 0.1311722f, 0.128126f,  0.1252791f,
    0.1226109f, 0.1201036f, 0.1177417f, 0.1155119f, 0.1134023f, 0.1114027f, 0.1095039f};
constexpr float kNormT[31] = {
    7.673828E-4f, 2.30687E-3f,  3.860618E-3f, 5.438454E-3f, 7.0507E-3f,   8.708396E-3f,
    1.042357E-2f, 1.220953E-2f, 1.408125E-2f, 1.605579E-2f, 1.81529E-2f,  2.039573E-2f,
    2.281177E-2f, 2.543407E-2f, 2.830296E-2f, 3.146822E-2f, 3.499233E-2f, 3.895483E-2f,
    4.345878E-2f, 4.864035E-2f, 5.468334E-2f, 6.184222E-2f, 7.047983E-2f, 8.113195E-2f,
    9.462444E-2f, 0.1123001f,   0.136498f,    0.1716886f,   0.2276241f,   0.330498f,
    0.5847031f};
constexpr float kNormH[31] = {
    3.920617E-2f, 3.932705E-2f, 3.951E-2f,    3.975703E-2f, 4.007093E-2f, 4.045533E-2f,
    4.091481E-2f, 4.145507E-2f, 4.208311E-2f, 4.280748E-2f, 4.363863E-2f, 4.458932E-2f,
    4.567523E-2f, 4.691571E-2f, 4.833487E-2f, 4.996298E-2f, 5.183859E-2f, 5.401138E-2f,
    5.654656E-2f, 5.95313E-2f,  6.308489E-2f, 6.737503E-2f, 7.264544E-2f, 7.926471E-2f,
    8.781922E-2f, 9.930398E-2f, 0.11556f,     0.1404344f,   0.1836142f,   0.2790016f,
    0.7010474f};

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

float DrawNormal(GeneratorHandle& handle) {
  float u = UniformSingle(handle);
  const float s = u > 0.5f ? 1.0f : 0.0f;
  u = u + (u - s);
  u = static_cast<float>(32.0 * u);
  int i = static_cast<int>(u);
  if (i == 32) i = 31;
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
  float y = base + w;
  return s == 1.0f ? -y : y;
}

double DrawGamma(GeneratorHandle& handle, double a) {
  GeneratorHandle& h = handle;
  if (a != h.aa) {
    if (a < 1.0) {
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
    h.aa = a;
    h.s2 = a - 0.5;
    h.s = std::sqrt(h.s2);
    h.d = kSqrt32 - 12.0 * h.s;
  }

  h.t = DrawNormal(h);
  h.x = h.s + h.t / 2;
  h.result = h.x * h.x;
  if (h.t >= 0.0) return h.result;

  h.u = NextUniform(h);
  if (h.d * h.u <= h.t * h.t * h.t) return h.result;

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

void DrawDirichlet(GeneratorHandle& handle, const int32_t* counts, const double* priors, int n,
                   double* out) {
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    const double alpha = counts[i] + priors[i];
    if (alpha == 0.0) {
      out[i] = 0.0;
      continue;
    }
    out[i] = DrawGamma(handle, alpha);
    total = total + out[i];
  }
  DivideBy(out, total, n);
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

double SumOf(const double* values, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum = sum + values[i];
  return sum;
}

void DivideBy(double* values, double total, int n) {
  for (int i = 0; i < n; ++i) values[i] = values[i] / total;
}

}  // namespace mixora
