#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "sampler/generator_handle.h"
#include "sampler/variate_tables.h"
#include "sampler/variates.h"

namespace mixora {
namespace {

using namespace variate_tables;

// A uniform source that hands out chosen values; reading past them throws,
// so a routine that draws more than expected fails loudly.
struct Script {
  std::vector<double> values;
  std::size_t next = 0;
};
double ScriptedUniform(void* state) {
  Script& s = *static_cast<Script*>(state);
  return s.values.at(s.next++);
}
GeneratorHandle ScriptedHandle(Script& script) {
  GeneratorHandle h;
  h.uniform = &ScriptedUniform;
  h.state = &script;
  return h;
}

struct Seeded {
  ChainGenerators gens;
  Seeded(int32_t ranGen, int32_t seed1, int32_t seed2 = 788781) {
    SeedChainGenerators(gens, seed1, seed2, ranGen, false);
  }
  GeneratorHandle& handle() { return gens.handle; }
  uint64_t draws() const { return gens.handle.state == &gens.mt ? gens.mt.draws : gens.randLib.draws; }
};

template <std::size_t N>
void ExpectBits(const float (&table)[N], const std::vector<uint32_t>& bits, const char* name) {
  ASSERT_EQ(N, bits.size()) << name;
  for (std::size_t i = 0; i < N; ++i)
    EXPECT_EQ(std::bit_cast<uint32_t>(table[i]), bits[i]) << name << "[" << i << "]";
}

TEST(VariateTables, EntriesHaveThePublishedSinglePrecisionBits) {
  ExpectBits(kNormA,
             {0x00000000, 0x3D20771C, 0x3DA096B0, 0x3DF13166, 0x3E21160E, 0x3E49D459, 0x3E72E51B,
              0x3E8E2D70, 0x3EA324B4, 0x3EB862F6, 0x3ECDF3BA, 0x3EE3E3B0, 0x3EFA40E6, 0x3F088D8A,
              0x3F144202, 0x3F204806, 0x3F2CAB5D, 0x3F3979C7, 0x3F46C394, 0x3F549C5D, 0x3F631C0A,
              0x3F72604B, 0x3F81475A, 0x3F89EC0B, 0x3F933EA3, 0x3F9D6C05, 0x3FA8B496, 0x3FB57A5F,
              0x3FC45E14, 0x3FD68534, 0x3FEE6E01, 0x4009D917},
             "a");
  ExpectBits(kNormD,
             {0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x3E8701A1, 0x3E785426,
              0x3E66FB24, 0x3E58B6A3, 0x3E4CB8F5, 0x3E4277FA, 0x3E399319, 0x3E31C491, 0x3E2AD89A,
              0x3E24A7E4, 0x3E1F13FE, 0x3E1A04EC, 0x3E15677E, 0x3E112C28, 0x3E0D463A, 0x3E09AB1C,
              0x3E065201, 0x3E033376, 0x3E00492A, 0x3DFB1B6C, 0x3DF5F8E0, 0x3DF1228F, 0x3DEC9181,
              0x3DE83F77, 0x3DE42719, 0x3DE04395},
             "d");
  ExpectBits(kNormT,
             {0x3A492A30, 0x3B172EDB, 0x3B7D026C, 0x3BB2350F, 0x3BE7098F, 0x3C0EADA9, 0x3C2AC79F,
              0x3C480A7B, 0x3C66B50B, 0x3C83876F, 0x3C94B564, 0x3CA714F2, 0x3CBADFC0, 0x3CD05B1C,
              0x3CE7DB9C, 0x3D00E4D2, 0x3D0F541E, 0x3D1F8F1A, 0x3D3201D5, 0x3D473B1B, 0x3D5FFBA3,
              0x3D7D4E45, 0x3D9057BB, 0x3DA62882, 0x3DC1CA75, 0x3DE5FD98, 0x3E0BC622, 0x3E2FCF23,
              0x3E69164B, 0x3EA93709, 0x3F15AF1A},
             "t");
  ExpectBits(kNormH,
             {0x3D2096A6, 0x3D211567, 0x3D21D53D, 0x3D22D844, 0x3D24216A, 0x3D25B47D, 0x3D27964A,
              0x3D29CCCB, 0x3D2C5F57, 0x3D2F56E5, 0x3D32BE6C, 0x3D36A34A, 0x3D3B15F3, 0x3D402AB0,
              0x3D45FAC9, 0x3D4CA5FB, 0x3D5454B4, 0x3D5D3B09, 0x3D679D5E, 0x3D73D718, 0x3D8132A7,
              0x3D89FBEB, 0x3D94C722, 0x3DA25589, 0x3DB3DA90, 0x3DCB5FE3, 0x3DECAAB9, 0x3E0FCE09,
              0x3E3C055C, 0x3E8ED94C, 0x3F3377D8},
             "h");
  ExpectBits(kExpQ,
             {0x3F317218, 0x3F6EF194, 0x3F7D2718, 0x3F7F9D6D, 0x3F7FF4D0, 0x3F7FFEE8, 0x3F7FFFE9,
              0x3F7FFFFE},
             "q");
}

TEST(DrawExponential, UniformRoundingToOneStopsAtTheLastTableEntry) {
  // 0.99999999 becomes 1.0f: u ends at 1.0, above every entry of the table.
  Script script{{0.99999999, 0.6, 0.5, 0.7, 0.4, 0.9, 0.8, 0.95, 0.3, 0.1}};
  GeneratorHandle h = ScriptedHandle(script);
  EXPECT_EQ(DrawExponential(h), 0.3f * kExpQ[0]);
  EXPECT_EQ(script.next, 9u);  // umin and seven more, the last at q[7]
}

TEST(DrawExponential, BranchesConsumeTheExpectedUniforms) {
  const float q0 = kExpQ[0];
  struct Case {
    std::vector<double> uniforms;
    float expected;
    std::size_t used;
  } cases[] = {
      {{0.75}, 0.5f, 1},                                // u - 1 <= q[0]: one uniform
      {{0.2}, (q0 + q0) + (1.6f - 1.0f), 1},            // two doublings below 1
      {{0.99, 0.3, 0.8, 0.2}, 0.2f * q0, 4},            // 0.98 > q[1], <= q[2]
      {{0.99, 0.3, 0.5, 0.4}, 0.3f * q0, 4},            // umin keeps the smallest
      {{0.5}, 0.0f, 1},                                 // 2u = 1 exactly
  };
  for (const auto& c : cases) {
    Script script{c.uniforms};
    GeneratorHandle h = ScriptedHandle(script);
    EXPECT_EQ(DrawExponential(h), c.expected) << c.uniforms[0];
    EXPECT_EQ(script.next, c.used) << c.uniforms[0];
  }
}

TEST(DrawNormal, ScriptedPathsThroughCentreClampAndTail) {
  // u = 0.5 exactly folds to 1.0: interval 32 is clamped to 31 and u* = 1.
  {
    Script script{{0.5}};
    GeneratorHandle h = ScriptedHandle(script);
    EXPECT_EQ(DrawNormal(h), kNormA[30] + (1.0f - kNormT[30]) * kNormH[30]);
    EXPECT_EQ(script.next, 1u);
  }
  // u = 0.75: negative half, interval 16, u* = 0 goes the slow way; the
  // Forsythe chain breaks at once and a fresh u* passes the t test.
  {
    Script script{{0.75, 0.3, 0.6, 0.5}};
    GeneratorHandle h = ScriptedHandle(script);
    EXPECT_EQ(DrawNormal(h), -(kNormA[15] + (0.5f - kNormT[15]) * kNormH[15]));
    EXPECT_EQ(script.next, 4u);
  }
  // Tail: 32 * 2u = 0.64; one doubling reaches 1.28, accepted at once.
  {
    Script script{{0.01, 0.9}};
    GeneratorHandle h = ScriptedHandle(script);
    float u = static_cast<float>(0.01);
    u = u + u;
    u = static_cast<float>(32.0 * u);
    u = u + u - 1.0f;
    EXPECT_EQ(DrawNormal(h), kNormA[31] + u * kNormD[5]);
    EXPECT_EQ(script.next, 2u);
  }
  // Deep tail: seven doublings below 1 add d[5] .. d[11] to the base.
  {
    Script script{{1e-4, 0.999}};
    GeneratorHandle h = ScriptedHandle(script);
    const float y = DrawNormal(h);
    float base = kNormA[31];
    for (int i = 5; i <= 11; ++i) base = base + kNormD[i];
    EXPECT_GT(y, base);
    EXPECT_LT(y, base + kNormD[12]);
    EXPECT_EQ(script.next, 2u);
  }
}

// The normal routine in its published step-and-jump form (labels C2..C6 and
// T4..T7), as a second formulation to compare the structured one against.
float StepwiseNormal(GeneratorHandle& h) {
  auto uni = [&h] { return static_cast<float>(NextUniform(h)); };
  float u = uni(), ustar, base, w, tt;
  const float s = u > 0.5 ? 1.0f : 0.0f;
  u += (u - s);
  u = static_cast<float>(32.0 * u);
  int i = static_cast<int>(u);
  if (i == 32) i = 31;
  if (i == 0) goto tail;
  ustar = u - static_cast<float>(i);
  base = kNormA[i - 1];
c2:
  if (ustar <= kNormT[i - 1]) goto c3;
  w = (ustar - kNormT[i - 1]) * kNormH[i - 1];
exit:
  return s == 1.0f ? -(base + w) : base + w;
c3:
  u = uni();
  w = u * (kNormA[i] - base);
  tt = static_cast<float>((0.5 * w + base) * w);
  goto c4;
c5:
  tt = u;
  ustar = uni();
c4:
  if (ustar > tt) goto exit;
  u = uni();
  if (ustar >= u) goto c5;
  ustar = uni();
  goto c2;
tail:
  i = 6;
  base = kNormA[31];
  goto doubling;
add:
  base += kNormD[i - 1];
  i += 1;
doubling:
  u += u;
  if (u < 1.0) goto add;
  u -= 1.0;
t4:
  w = u * kNormD[i - 1];
  tt = static_cast<float>((0.5 * w + base) * w);
  goto t5;
t6:
  tt = u;
t5:
  ustar = uni();
  if (ustar > tt) goto exit;
  u = uni();
  if (ustar >= u) goto t6;
  u = uni();
  goto t4;
}

TEST(DrawNormal, AgreesWithTheStepwiseFormulationBitForBit) {
  for (int ranGen : {0, 1}) {
    Seeded a(ranGen, 9001), b(ranGen, 9001);
    for (int i = 0; i < 1000000; ++i) {
      const float x = DrawNormal(a.handle());
      const float y = StepwiseNormal(b.handle());
      ASSERT_EQ(std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y)) << ranGen << " " << i;
    }
    EXPECT_EQ(a.draws(), b.draws());
  }
}

TEST(DrawNormal, AcceptanceBoundIsRoundedOnceFromDouble) {
  // Find a second uniform whose bound differs between the double-then-round
  // form and an all-single form, with a u* on the grid of interval 2 lying
  // strictly above the correct bound but not above the single one.
  const float base = kNormA[1];
  const float grid = std::ldexp(1.0f, -22);
  float u2 = 0, ustar = 0;
  for (int n = 1; n < (1 << 21) && ustar == 0; ++n) {
    const float cand = std::ldexp(static_cast<float>(n), -22);
    const float w = cand * (kNormA[2] - base);
    const float once = static_cast<float>((0.5 * w + base) * w);
    const float single = (0.5f * w + base) * w;
    const float m = std::floor(single / grid) * grid;
    if (once < m && m <= single && m <= kNormT[1]) {
      u2 = cand;
      ustar = m;
    }
  }
  ASSERT_GT(ustar, 0.0f);
  Script script{{(2.0 + ustar) / 64.0, u2}};
  GeneratorHandle h = ScriptedHandle(script);
  EXPECT_EQ(DrawNormal(h), base + u2 * (kNormA[2] - base));
  EXPECT_EQ(script.next, 2u);
}

TEST(DrawGamma, ShapeOneTakesTheLargeShapeBranchAndCachesItsSetup) {
  Seeded g(1, 4357);
  DrawGamma(g.handle(), 1.0);
  EXPECT_EQ(g.handle().aa, 1.0);
  EXPECT_EQ(g.handle().s2, 0.5);

  DrawGamma(g.handle(), 2.5);
  EXPECT_EQ(g.handle().aa, 2.5);
  EXPECT_EQ(g.handle().s2, 2.0);
  EXPECT_EQ(g.handle().s, std::sqrt(2.0));
  EXPECT_EQ(g.handle().d, 5.656854 - 12.0 * std::sqrt(2.0));

  // The small-shape branch leaves the cached shape alone.
  DrawGamma(g.handle(), 0.5);
  EXPECT_EQ(g.handle().aa, 2.5);
  EXPECT_EQ(g.handle().b0, 1.0 + 0.3678794 * 0.5);
}

TEST(DrawGamma, SecondStageSetupFollowsTheShapeRanges) {
  struct Case {
    double shape;
    double b, si;
  } cases[] = {{2.5, 0.463 + std::sqrt(2.0) + 0.178 * 2.0, 1.235},
               {8.0, 1.654 + 0.0076 * 7.5, 1.68 / std::sqrt(7.5) + 0.275},
               {40.0, 1.77, 0.75}};
  for (const auto& c : cases) {
    Seeded g(1, 11);
    // Draw until a negative normal deviate forces the second stage.
    for (int i = 0; i < 200 && g.handle().aaa != c.shape; ++i) DrawGamma(g.handle(), c.shape);
    ASSERT_EQ(g.handle().aaa, c.shape);
    EXPECT_EQ(g.handle().b, c.b) << c.shape;
    EXPECT_EQ(g.handle().si, c.si) << c.shape;
    EXPECT_EQ(g.handle().r, 1.0 / c.shape);
  }
}

// Largest distance between the sample's distribution and the true one.
double KolmogorovDistance(std::vector<double> xs, const std::function<double(double)>& cdf) {
  std::sort(xs.begin(), xs.end());
  const double n = static_cast<double>(xs.size());
  double worst = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double f = cdf(xs[i]);
    worst = std::max({worst, f - i / n, (i + 1) / n - f});
  }
  return worst;
}

TEST(VariateDistributions, GammaMatchesItsDistributionForEveryBranch) {
  const int n = 50000;
  const double ksBound = 1.95 / std::sqrt(static_cast<double>(n));  // 0.1% level
  for (int ranGen : {0, 1}) {
    for (double shape : {0.05, 0.3, 1.0, 2.5, 8.0, 40.0}) {
      Seeded g(ranGen, 687688);
      std::vector<double> xs(n);
      double sum = 0.0, sumSq = 0.0;
      for (double& x : xs) {
        x = DrawGamma(g.handle(), shape);
        ASSERT_GE(x, 0.0);
        sum += x;
        sumSq += x * x;
      }
      const double mean = sum / n;
      const double var = sumSq / n - mean * mean;
      // Mean and variance of gamma(a, 1) are both a.
      EXPECT_NEAR(mean, shape, 5 * std::sqrt(shape / n)) << ranGen << " " << shape;
      EXPECT_NEAR(var / shape, 1.0, 5 * std::sqrt((2.0 + 6.0 / shape) / n)) << ranGen << " " << shape;
      EXPECT_LT(KolmogorovDistance(xs, [shape](double x) { return boost::math::gamma_p(shape, x); }),
                ksBound)
          << ranGen << " " << shape;
    }
  }
}

TEST(VariateDistributions, NormalAndExponentialMatchTheirDistributions) {
  const int n = 200000;
  const double ksBound = 1.95 / std::sqrt(static_cast<double>(n));
  for (int ranGen : {0, 1}) {
    Seeded g(ranGen, 31337);
    std::vector<double> normal(n), expo(n);
    int tail = 0;
    for (int i = 0; i < n; ++i) {
      normal[i] = DrawNormal(g.handle());
      expo[i] = DrawExponential(g.handle());
      if (std::fabs(normal[i]) > kNormA[31]) ++tail;
    }
    EXPECT_LT(KolmogorovDistance(normal, [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }),
              ksBound);
    EXPECT_LT(KolmogorovDistance(expo, [](double x) { return -std::expm1(-x); }), ksBound);
    // The tail beyond the last interval holds one part in 32.
    EXPECT_NEAR(tail / static_cast<double>(n), 1.0 / 32, 5 * std::sqrt((1.0 / 32) / n));
  }
}

TEST(DrawDirichlet, OnePositiveParameterGivesExactlyOneAndOneGammasUniforms) {
  Seeded g(0, 2024);
  Seeded twin(0, 2024);
  const int32_t counts[3] = {0, 2, 0};
  const double priors[3] = {0.0, 0.5, 0.0};
  double out[3] = {9, 9, 9};
  DrawDirichlet(g.handle(), counts, priors, 3, out);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 1.0);
  EXPECT_EQ(out[2], 0.0);
  DrawGamma(twin.handle(), 2.5);
  EXPECT_EQ(g.draws(), twin.draws());
  EXPECT_EQ(NextUniform(g.handle()), NextUniform(twin.handle()));
}

TEST(DrawDirichlet, ComponentMeansFollowTheParameters) {
  const int n = 50000;
  const int32_t counts[4] = {0, 1, 5, 0};
  const double priors[4] = {0.3, 1.0, 0.25, 2.0};
  const double alpha[4] = {0.3, 2.0, 5.25, 2.0};
  const double total = 9.55;
  for (int ranGen : {0, 1}) {
    Seeded g(ranGen, 555);
    double sums[4] = {0, 0, 0, 0};
    double out[4];
    for (int i = 0; i < n; ++i) {
      DrawDirichlet(g.handle(), counts, priors, 4, out);
      ASSERT_NEAR(out[0] + out[1] + out[2] + out[3], 1.0, 1e-12);
      for (int k = 0; k < 4; ++k) sums[k] += out[k];
    }
    for (int k = 0; k < 4; ++k) {
      const double m = alpha[k] / total;
      const double sd = std::sqrt(m * (1 - m) / (total + 1) / n);
      EXPECT_NEAR(sums[k] / n, m, 5 * sd) << ranGen << " " << k;
    }
  }
}

Ran2State Ran2Delivering(int32_t value) {
  Ran2State st;
  st.iy = 0;  // next slot read is table[0]
  st.table[0] = value;
  return st;
}

TEST(DrawCategorical, EdgeWeightsAndUniforms) {
  struct Case {
    int32_t ran2Value;  // the uniform is ran2Value * 1.4005112e-6
    std::vector<double> weights;
    int expected;
  } cases[] = {
      {0, {0.0, 0.0, 0.25, 0.75}, 2},        // u = 0 skips leading zero weights
      {714024, {0.5, 0.4999, 0.0001}, 2},    // running sum short of u: last index
      {357012, {0.5, 0.5}, 0},               // 0.49999... < 0.5 (strict test)
      {357013, {0.5, 0.5}, 1},
      {100, {1.0}, 0},                       // a single category
  };
  for (const auto& c : cases) {
    Ran2State st = Ran2Delivering(c.ran2Value);
    EXPECT_EQ(DrawCategorical(st, c.weights.data(), static_cast<int>(c.weights.size())), c.expected)
        << c.ran2Value;
    EXPECT_EQ(st.draws, 1u);
  }
}

TEST(DrawCategorical, FrequenciesFollowTheWeights) {
  Ran2State st;
  st.idum = 687688;
  Ran2Seed(st);
  const double w[4] = {0.1, 0.2, 0.3, 0.4};
  const int n = 200000;
  int hits[4] = {0, 0, 0, 0};
  for (int i = 0; i < n; ++i) ++hits[DrawCategorical(st, w, 4)];
  for (int k = 0; k < 4; ++k)
    EXPECT_NEAR(hits[k] / static_cast<double>(n), w[k], 5 * std::sqrt(w[k] * (1 - w[k]) / n)) << k;
}

TEST(SumAndDivide, WorkInIndexOrderAndDivideExactly) {
  const double values[3] = {1e16, 1.0, -1e16};
  EXPECT_EQ(SumOf(values, 3), 0.0);  // any other order gives 1 or 2
  double v[3] = {5.0, 7.0, 10.0};
  DivideBy(v, 3.0, 3);
  // Division, not multiplication by the reciprocal (which differs here).
  EXPECT_EQ(v[0], 5.0 / 3.0);
  EXPECT_EQ(v[1], 7.0 / 3.0);
  EXPECT_EQ(v[2], 10.0 / 3.0);
}

TEST(VariateStreams, FirstValuesForFixedSeedsArePinned) {
  struct Golden {
    int ranGen;
    float exponential[3];
    float normal[3];
    double gamma[15];  // three each for shapes 0.3, 1, 2.5, 8, 40
    uint64_t draws;
  } cases[] = {
      {0,
       {0x1.29597cp+1f, 0x1.8210cp-2f, 0x1.defdd2p-4f},
       {-0x1.b4045ap-1f, 0x1.cfc6a8p-2f, -0x1.bd7cacp-2f},
       {0x1.8ebae1b96f78bp-1, 0x1.dc192106358c9p-2, 0x1.0c5be3d870e33p-8,
        0x1.2b6de68b0457ep-1, 0x1.d40680b958253p-4, 0x1.8a7a85917cc9ap+1,
        0x1.6e4f88dff48adp-1, 0x1.3157d2a51213ep+1, 0x1.45318f425cf62p+1,
        0x1.1e20373539767p+2, 0x1.2b09d9a7b4d0bp+2, 0x1.9d7869bf0d2d3p+2,
        0x1.5355bdd5c613ep+5, 0x1.59799de3df762p+5, 0x1.1f8466c91f68ap+5},
       35},
      {1,
       {0x1.f39cep-1f, 0x1.9487p-5f, 0x1.1f0e7ep-1f},
       {-0x1.b09b84p+0f, -0x1.8f5516p+0f, 0x1.d32528p-4f},
       {0x1.7c2e80dcf2be5p+0, 0x1.ee0c19fb3d1e3p-5, 0x1.b40f55ac1706bp-6,
        0x1.d468ffdb64f2dp+0, 0x1.3ade724d88d8fp-6, 0x1.8e4b5d5178581p+2,
        0x1.7e5528684a492p+1, 0x1.39f36843d6bdfp+1, 0x1.a200988b732fbp+0,
        0x1.22825c16817afp+3, 0x1.479822baea464p+1, 0x1.9103ce9acfe13p+2,
        0x1.292a988256c85p+5, 0x1.1266562a8e02cp+5, 0x1.39231df5d8a17p+5},
       47},
  };
  for (const auto& c : cases) {
    Seeded g(c.ranGen, 687688);
    for (float v : c.exponential) EXPECT_EQ(DrawExponential(g.handle()), v) << c.ranGen;
    for (float v : c.normal) EXPECT_EQ(DrawNormal(g.handle()), v) << c.ranGen;
    int k = 0;
    for (double shape : {0.3, 1.0, 2.5, 8.0, 40.0})
      for (int i = 0; i < 3; ++i, ++k) EXPECT_EQ(DrawGamma(g.handle(), shape), c.gamma[k]) << c.ranGen << " " << shape;
    EXPECT_EQ(g.draws(), c.draws);
  }
}

// Sums of long streams pin every branch's bits, not just the first values.
TEST(VariateStreams, LongStreamSumsArePinned) {
  struct Pinned {
    int ranGen;
    double exponentialSum, normalSum;
    double gammaSums[7];  // shapes 0.05, 0.3, 1, 2.5, 8, 40, 200
    uint64_t draws;
  } cases[] = {
      {0, 0x1.37ee7eada4a28p+14, 0x1.4ed51ffb148p+4,
       {0x1.eaf27906ba9afp+9, 0x1.737ba56eadfcdp+12, 0x1.38b932b1c5019p+14, 0x1.877331fa3b008p+15,
        0x1.3863310b7294ap+17, 0x1.870152b18a8aap+19, 0x1.e8222338a7595p+21},
       388617},
      {1, 0x1.3cf24852212b2p+14, -0x1.fa62a12874p+2,
       {0x1.041b22d11cbaap+10, 0x1.7c527536fd894p+12, 0x1.33dfcfb8e5f82p+14, 0x1.87ce5d8a071f4p+15,
        0x1.37ea0c4efff61p+17, 0x1.86592c5452ac6p+19, 0x1.e82f5bf9db9d1p+21},
       388854},
  };
  for (const auto& c : cases) {
    Seeded g(c.ranGen, -4242);
    double e = 0, n = 0;
    for (int i = 0; i < 20000; ++i) e += DrawExponential(g.handle());
    for (int i = 0; i < 20000; ++i) n += DrawNormal(g.handle());
    EXPECT_EQ(e, c.exponentialSum) << c.ranGen;
    EXPECT_EQ(n, c.normalSum) << c.ranGen;
    int k = 0;
    for (double shape : {0.05, 0.3, 1.0, 2.5, 8.0, 40.0, 200.0}) {
      double sum = 0;
      for (int i = 0; i < 20000; ++i) sum += DrawGamma(g.handle(), shape);
      EXPECT_EQ(sum, c.gammaSums[k++]) << c.ranGen << " " << shape;
    }
    EXPECT_EQ(g.draws(), c.draws) << c.ranGen;
  }
}

// The Dirichlet draws change the shape at every call, so the shape-dependent
// setup is redone each time; pin that road too, over every branch.
TEST(VariateStreams, ChangingShapeStreamSumsArePinned) {
  struct Pinned {
    int ranGen;
    double gammaSum;
    uint64_t draws;
  } cases[] = {{0, 0x1.30ab0e144b7a2p+18, 104175}, {1, 0x1.2f4fde66fb517p+18, 104903}};
  const double shapes[] = {0.5, 1.5, 3.0, 12.5, 0.7, 41.0, 2.0, 1.0};
  for (const auto& c : cases) {
    Seeded g(c.ranGen, 90210);
    double sum = 0;
    for (int i = 0; i < 40000; ++i) sum += DrawGamma(g.handle(), shapes[i % 8]);
    EXPECT_EQ(sum, c.gammaSum) << c.ranGen;
    EXPECT_EQ(g.draws(), c.draws) << c.ranGen;
  }
}

TEST(DrawDirichletRows, MatchesOneDrawPerRowAndLeavesEmptyRowsAlone) {
  constexpr int kRows = 5, kStride = 4;
  const int32_t sizes[kRows] = {2, 0, 4, 1, 3};
  int32_t counts[kRows * kStride];
  double priors[kRows * kStride];
  for (int i = 0; i < kRows * kStride; ++i) {
    counts[i] = (i * 7) % 5;
    priors[i] = i % 3 == 0 ? 0.0 : 0.25 * (i % 4);
  }
  for (int ranGen : {0, 1}) {
    Seeded rows(ranGen, 31337), single(ranGen, 31337);
    std::vector<double> got(kRows * kStride, -1.0), want(kRows * kStride, -1.0);
    DrawDirichletRows(rows.handle(), counts, priors, sizes, kRows, kStride, got.data());
    for (int r = 0; r < kRows; ++r)
      if (sizes[r] > 0)
        DrawDirichlet(single.handle(), counts + r * kStride, priors + r * kStride, sizes[r],
                      want.data() + r * kStride);
    for (int i = 0; i < kRows * kStride; ++i)
      EXPECT_EQ(std::bit_cast<uint64_t>(got[i]), std::bit_cast<uint64_t>(want[i])) << ranGen << " " << i;
    EXPECT_EQ(rows.draws(), single.draws());
    EXPECT_EQ(got[kStride], -1.0) << "an empty row is not written";
  }
}

}  // namespace
}  // namespace mixora
