#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "sampler/c_rand.h"
#include "sampler/generator_handle.h"
#include "sampler/mt19937.h"
#include "sampler/ran2.h"
#include "sampler/randlib.h"

namespace mixora {
namespace {

// Loads our freshly seeded vector into the standard engine (which regenerates
// on its first call, as ours does at index 625).
std::mt19937 StandardEngineFrom(const Mt19937State& st) {
  std::stringstream text;
  for (uint32_t w : st.words) text << w << ' ';
  text << 624;
  std::mt19937 engine;
  text >> engine;
  EXPECT_FALSE(text.fail());
  return engine;
}

// Inverse of the output tempering, to plant chosen output words in a state.
uint32_t Untemper(uint32_t y) {
  y ^= y >> 18;
  y ^= (y << 15) & 0xEFC60000u;
  uint32_t x = y;
  for (int i = 0; i < 5; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
  y = x;
  x = y;
  for (int i = 0; i < 3; ++i) x = y ^ (x >> 11);
  return x;
}

Mt19937State StateDelivering(std::vector<uint32_t> outputs) {
  Mt19937State st;
  Mt19937Seed(st, 1);
  for (std::size_t i = 0; i < outputs.size(); ++i) st.words[i] = Untemper(outputs[i]);
  st.index = 0;
  return st;
}

TEST(Mt19937, SeededStreamMatchesTheStandardRecurrenceAndTempering) {
  for (uint32_t seed : {0u, 1u, 4357u, 19650218u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    Mt19937State st;
    Mt19937Seed(st, seed);
    EXPECT_EQ(st.index, 625);
    EXPECT_EQ(st.words[0], 0x80000000u);
    std::mt19937 engine = StandardEngineFrom(st);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(Mt19937NextWord(st), engine()) << seed << " " << i;
  }
}

TEST(Mt19937, SeedsDifferingInTheLowestBitGiveTheSameStream) {
  Mt19937State a, b, c;
  Mt19937Seed(a, 4);
  Mt19937Seed(b, 5);
  Mt19937Seed(c, 6);
  bool differs = false;
  for (int i = 0; i < 2000; ++i) {
    double u = Mt19937Uniform(a);
    ASSERT_EQ(u, Mt19937Uniform(b)) << i;
    differs = differs || u != Mt19937Uniform(c);
  }
  EXPECT_TRUE(differs);
  EXPECT_EQ(a.draws, 2000u);
}

// Families of streams from one user seed (simulated mixtures, bootstrap
// replicates) must not pair up the way consecutive seeds do, nor repeat the
// family of a neighbouring user seed shifted by one.
TEST(Mt19937, StreamSeedsGiveEveryStreamItsOwnDraws) {
  std::set<std::pair<uint32_t, uint32_t>> firstWords;
  int streams = 0;
  for (uint32_t seed : {0u, 1u, 2u, 7u, 8u, 687688u, 0xFFFFFFFFu}) {
    for (uint32_t stream = 0; stream < 256; ++stream, ++streams) {
      Mt19937State st;
      Mt19937Seed(st, Mt19937StreamSeed(seed, stream));
      const uint32_t a = Mt19937NextWord(st);
      firstWords.insert({a, Mt19937NextWord(st)});
    }
  }
  EXPECT_EQ(firstWords.size(), static_cast<std::size_t>(streams));
}

TEST(Mt19937, FirstDrawAfterSeedingRegeneratesTheVector) {
  Mt19937State st;
  Mt19937Seed(st, 77);
  const uint32_t seeded = st.words[5];
  Mt19937Uniform(st);
  EXPECT_EQ(st.index, 1);
  EXPECT_NE(st.words[5], seeded);
  EXPECT_NE(st.words[0], 0x80000000u);
}

TEST(Mt19937, UniformSkipsTheExtremeWordsAndCountsOneDrawPerCall) {
  Mt19937State st = StateDelivering({0u, 0xFFFFFFFFu, 1u, 0xFFFFFFFEu});
  st.draws = 10;
  EXPECT_EQ(Mt19937Uniform(st), 2.3283064370807974e-10);
  EXPECT_EQ(st.index, 3);
  EXPECT_EQ(st.draws, 11u);
  const double top = Mt19937Uniform(st);
  EXPECT_EQ(top, 4294967294.0 * 2.3283064370807974e-10);
  EXPECT_LT(top, 1.0);
}

TEST(Mt19937, UniformIntAcceptsTheLimitWordAndLeavesDrawsAlone) {
  struct Case {
    std::vector<uint32_t> words;
    int32_t lo, hi;
    int32_t expected;
    int32_t wordsUsed;
  } cases[] = {
      // n = 3 divides 2^32 - 1: the limit is 0xFFFFFFFF itself and is taken.
      {{0xFFFFFFFFu}, 10, 12, 10, 1},
      // n = 2: limit 0xFFFFFFFE; 0xFFFFFFFF is refused, the next word used.
      {{0xFFFFFFFFu, 7u}, -1, 0, 0, 2},
      {{0xFFFFFFFEu}, -1, 0, -1, 1},
      {{123456789u}, 5, 5, 5, 1},
      // The whole 32-bit range.
      {{0x80000000u}, INT32_MIN, INT32_MAX, 0, 1},
  };
  for (const auto& c : cases) {
    Mt19937State st = StateDelivering(c.words);
    EXPECT_EQ(Mt19937UniformInt(st, c.lo, c.hi), c.expected) << c.lo << ".." << c.hi;
    EXPECT_EQ(st.index, c.wordsUsed);
    EXPECT_EQ(st.draws, 0u);
  }
  Mt19937State st;
  Mt19937Seed(st, 99);
  std::vector<int> seen(7, 0);
  for (int i = 0; i < 7000; ++i) {
    int32_t v = Mt19937UniformInt(st, -3, 3);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
    ++seen[static_cast<std::size_t>(v + 3)];
  }
  for (int n : seen) EXPECT_NEAR(n, 1000, 150);
}

int64_t PowMod(int64_t base, int64_t exponentLog2, int64_t m) {
  int64_t v = base % m;
  for (int64_t i = 0; i < exponentLog2; ++i) v = v * v % m;
  return v;
}

// Plain 64-bit arithmetic: the generator as the modular products define it.
struct PlainRandLib {
  int64_t s1, s2;
  double Next() {
    s1 = 40014 * s1 % 2147483563;
    s2 = 40692 * s2 % 2147483399;
    int64_t z = s1 - s2;
    if (z < 1) z += 2147483562;
    return static_cast<double>(z) * 4.656613057391769e-10;
  }
};

TEST(RandLib, SeedingJumpsThreeTimesTwoToTheFiftySteps) {
  const int64_t jump1 = PowMod(40014, 50, 2147483563);
  const int64_t jump2 = PowMod(40692, 50, 2147483399);
  EXPECT_EQ(jump1, 2082007225);
  EXPECT_EQ(jump2, 784306273);
  struct Case {
    int32_t seed1, seed2;
  } cases[] = {{7, 12}, {-7, 12}, {687688, -788781}, {1, 1}, {2147483562, 2147483398},
               {INT32_MAX, 5}};
  for (const auto& c : cases) {
    RandLibState st;
    st.s1 = c.seed1;
    st.s2 = c.seed2;
    st.generator = 4;
    RandLibSeed(st);
    int64_t a = c.seed1 < 0 ? -static_cast<int64_t>(c.seed1) : c.seed1;
    int64_t b = c.seed2 < 0 ? -static_cast<int64_t>(c.seed2) : c.seed2;
    for (int j = 0; j < 3; ++j) {
      a = a * jump1 % 2147483563;
      b = b * jump2 % 2147483399;
    }
    EXPECT_EQ(st.s1, a) << c.seed1;
    EXPECT_EQ(st.s2, b) << c.seed2;
    PlainRandLib plain{a, b};
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(RandLibUniform(st), plain.Next()) << c.seed1 << " " << i;
    EXPECT_EQ(st.draws, 20000u);
  }
}

TEST(RandLib, NegativeSeedsBehaveAsTheirMagnitudes) {
  RandLibState a, b;
  a.s1 = -7, a.s2 = 12, a.generator = 4;
  b.s1 = 7, b.s2 = -12, b.generator = 4;
  RandLibSeed(a);
  RandLibSeed(b);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(RandLibUniform(a), RandLibUniform(b));
}

TEST(RandLib, ModMultiplyIsExactAcrossTheRange) {
  std::mt19937_64 pick(5);
  for (int32_t m : {2147483563, 2147483399, 2147483647, 3, 65537}) {
    for (int i = 0; i < 20000; ++i) {
      int32_t a = static_cast<int32_t>(pick() % static_cast<uint64_t>(m));
      int32_t s = i == 0 ? m - 1 : static_cast<int32_t>(pick() % static_cast<uint64_t>(m));
      if (i == 0) a = m - 1;
      ASSERT_EQ(ModMultiply(a, s, m), static_cast<int64_t>(a) * s % m);
    }
  }
}

TEST(RandLib, ZeroSeedKeepsItsComponentAtZeroButStaysInsideTheInterval) {
  RandLibState st;
  st.s1 = 0, st.s2 = 99, st.generator = 4;
  RandLibSeed(st);
  EXPECT_EQ(st.s1, 0);
  for (int i = 0; i < 1000; ++i) {
    double u = RandLibUniform(st);
    ASSERT_GT(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
}

// Straight transcription of the shuffled generator's definition.
struct PlainRan2 {
  int64_t idum, iy, table[97];
  explicit PlainRan2(int64_t seed) {
    idum = (150889 + (seed < 0 ? -seed : seed)) % 714025;
    for (auto& t : table) t = idum = (1366 * idum + 150889) % 714025;
    iy = idum = (1366 * idum + 150889) % 714025;
  }
  double Next() {
    int64_t j = 97 * iy / 714025;
    iy = table[j];
    table[j] = idum = (1366 * idum + 150889) % 714025;
    return static_cast<double>(iy) * 1.4005112e-6;
  }
};

TEST(Ran2, SignOfTheSeedDoesNotMatterAndZeroStartsFromTheIncrement) {
  for (int32_t seed : {0, 1, 687688, 2147332758, 2147483647, INT32_MIN + 1}) {
    Ran2State pos, neg;
    pos.idum = seed;
    neg.idum = -seed;
    Ran2Seed(pos);
    Ran2Seed(neg);
    PlainRan2 plain(seed);
    for (int i = 0; i < 5000; ++i) {
      double u = Ran2Uniform(pos);
      ASSERT_EQ(u, Ran2Uniform(neg)) << seed << " " << i;
      ASSERT_EQ(u, plain.Next()) << seed << " " << i;
      ASSERT_GE(u, 0.0);
      ASSERT_LE(u, 0.9999986090688);
    }
    EXPECT_EQ(pos.draws, 5000u);
  }
  Ran2State zero;
  Ran2Seed(zero);
  EXPECT_EQ(zero.table[0], (1366 * 150889 + 150889) % 714025);
}

TEST(Ran2, ExtremeSeedsStayInRange) {
  // Without 64-bit seeding these overflow into negative states.
  for (int32_t seed : {INT32_MIN, INT32_MAX, -2147332759}) {
    Ran2State st;
    st.idum = seed;
    Ran2Seed(st);
    EXPECT_GE(st.idum, 0);
    for (int i = 0; i < 1000; ++i) {
      double u = Ran2Uniform(st);
      ASSERT_GE(u, 0.0);
      ASSERT_LT(u, 1.0);
    }
  }
}

TEST(CRand, FollowsTheFixedLinearCongruence) {
  CRandState rng;  // unseeded behaves as seed 1
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (int32_t v : expected) EXPECT_EQ(CRandNext(rng), v);
  CRandSeed(rng, 1);
  EXPECT_EQ(CRandNext(rng), 41);
  CRandSeed(rng, 0xFFFFFFFFu);
  for (int i = 0; i < 10000; ++i) {
    int32_t v = CRandNext(rng);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, kCRandMax);
  }
}

TEST(GeneratorHandle, StoredFormZeroesThePointersAndRoundTripsTheValues) {
  Mt19937State mt;
  GeneratorHandle h;
  UseMt19937(h, mt);
  double* values = &h.aaa;
  for (int i = 0; i < 20; ++i) values[i] = 0.5 + i;
  unsigned char bytes[kGeneratorHandleRecordSize];
  std::memset(bytes, 0xAB, sizeof bytes);
  StoreGeneratorHandle(h, bytes);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << i;
  double aaa, aa;
  std::memcpy(&aaa, bytes + 16, 8);
  std::memcpy(&aa, bytes + 168, 8);
  EXPECT_EQ(aaa, 0.5);
  EXPECT_EQ(aa, 19.5);

  GeneratorHandle back;
  LoadGeneratorHandle(back, bytes);
  EXPECT_EQ(back.uniform, nullptr);
  EXPECT_EQ(std::memcmp(&back.aaa, &h.aaa, 160), 0);
}

TEST(GeneratorHandle, SeedingInstallsTheSelectedGenerator) {
  ChainGenerators g;
  SeedChainGenerators(g, 687688, 788781, 1, false);
  Mt19937State mt;
  Mt19937Seed(mt, 687688);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(NextUniform(g.handle), Mt19937Uniform(mt));
  EXPECT_EQ(g.mt.draws, 50u);
  EXPECT_EQ(g.randLib.draws, 0u);

  ChainGenerators r;
  SeedChainGenerators(r, -687688, 788781, 0, false);
  RandLibState rl;
  rl.s1 = 687688, rl.s2 = 788781, rl.generator = 4;
  RandLibSeed(rl);
  EXPECT_EQ(r.randLib.generator, 4);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(NextUniform(r.handle), RandLibUniform(rl));

  Ran2State ran2;
  ran2.idum = -687688;
  Ran2Seed(ran2);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(Ran2Uniform(r.ran2), Ran2Uniform(ran2));
}

TEST(GeneratorHandle, ResumingKeepsStatesAndRepointsTheHandle) {
  ChainGenerators g;
  SeedChainGenerators(g, 11, 22, 1, false);
  for (int i = 0; i < 700; ++i) NextUniform(g.handle);
  Ran2Uniform(g.ran2);
  g.handle.aa = 3.5;

  ChainGenerators copy = g;  // as if read back from a restart file
  copy.handle.uniform = nullptr;
  copy.handle.state = nullptr;
  SeedChainGenerators(copy, 11, 22, 1, true);
  EXPECT_EQ(copy.handle.state, &copy.mt);
  EXPECT_EQ(copy.handle.aa, 3.5);
  EXPECT_EQ(copy.mt.draws, 700u);
  EXPECT_EQ(copy.ran2.draws, 1u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(NextUniform(copy.handle), NextUniform(g.handle));

  // A fresh start clears what an earlier start left in the handle.
  SeedChainGenerators(copy, 11, 22, 1, false);
  EXPECT_EQ(copy.handle.aa, 0.0);
  EXPECT_EQ(copy.mt.draws, 0u);
}

TEST(GeneratorHandle, DrawsInMillionsRoundsHalvesDown) {
  struct Case {
    uint64_t draws;
    int64_t shown;
  } cases[] = {{0, 0},       {499999, 0},   {500000, 0},   {500001, 1},
               {1500000, 1}, {1500001, 2},  {2000000, 2},  {10999999, 11}};
  for (const auto& c : cases) EXPECT_EQ(DrawsInMillions(c.draws), c.shown) << c.draws;
}

TEST(GeneratorStreams, FirstValuesForFixedSeedsArePinned) {
  Mt19937State mt;
  Mt19937Seed(mt, 687688);
  RandLibState rl;
  rl.s1 = 687688, rl.s2 = 788781, rl.generator = 4;
  RandLibSeed(rl);
  Ran2State r2;
  r2.idum = 687688;
  Ran2Seed(r2);
  const double expected[4][3] = {
      {0x1.485c585d485c6p-2, 0x1.3e5cb213698e4p-4, 0x1.8b9ec35a5db7cp-1},
      {0x1.0ca4384b0ca44p-1, 0x1.60842f2e17c75p-1, 0x1.a62c4764adbaep-2},
      {0x1.e202b3f5e202bp-1, 0x1.b815ad3c3e651p-1, 0x1.4a809a8ac912fp-1},
      {0x1.e4a43a57e4a44p-1, 0x1.5984f1e57248ap-3, 0x1.22a0c3e6710d7p-1},
  };
  for (const auto& row : expected) {
    EXPECT_EQ(Mt19937Uniform(mt), row[0]);
    EXPECT_EQ(RandLibUniform(rl), row[1]);
    EXPECT_EQ(Ran2Uniform(r2), row[2]);
  }
}

}  // namespace
}  // namespace mixora
