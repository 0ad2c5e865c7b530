#pragma once
// L'Ecuyer's combined multiplicative congruential generator, started at
// virtual generator g by jumping ahead (g - 1) * 2^50 steps. The state record
// is written raw into restart files: its layout must not change.
#include <cstddef>
#include <cstdint>

namespace mixora {

inline constexpr int32_t kRandLibModulus1 = 2147483563;
inline constexpr int32_t kRandLibModulus2 = 2147483399;
inline constexpr int32_t kRandLibChainGenerator = 4;

struct RandLibState {
  uint64_t draws = 0;  // uniform doubles delivered
  int32_t s1 = 0;      // 1 .. 2147483562 once seeded
  int32_t s2 = 0;      // 1 .. 2147483398 once seeded
  int32_t generator = 0;
  uint32_t padding = 0;  // always zero
};
static_assert(sizeof(RandLibState) == 24);
static_assert(offsetof(RandLibState, s1) == 8);
static_assert(offsetof(RandLibState, generator) == 16);

// (a * s) mod m exactly, for 0 <= a, s < m < 2^31.
int32_t ModMultiply(int32_t a, int32_t s, int32_t m);

// Seeds from the s1, s2 and generator already placed in the state: both seeds
// lose their sign, then the jump is applied generator - 1 times. A zero seed
// keeps its component at zero (the stream still lies in (0, 1)).
void RandLibSeed(RandLibState& state);

// A double in (0, 1); adds one to draws.
double RandLibUniform(RandLibState& state);

}  // namespace mixora
