#pragma once
// The shuffled congruential generator that draws the stock origin of every
// mixture fish. The state record is written raw into restart files.
#include <cstddef>
#include <cstdint>

namespace mixora {

inline constexpr int kRan2TableSize = 97;

struct Ran2State {
  uint64_t draws = 0;  // uniform doubles delivered
  int32_t idum = 0;    // 0 .. 714024 once seeded
  int32_t iy = 0;      // last value taken from the table
  int32_t table[kRan2TableSize] = {};
  uint32_t padding = 0;  // always zero
};
static_assert(sizeof(Ran2State) == 408);
static_assert(offsetof(Ran2State, idum) == 8);
static_assert(offsetof(Ran2State, table) == 16);

// Seeds from the idum already placed in the state; s and -s give the same
// stream.
void Ran2Seed(Ran2State& state);

// A double in [0, 0.9999986090688]; it can be exactly 0. Adds one to draws.
double Ran2Uniform(Ran2State& state);

}  // namespace mixora
