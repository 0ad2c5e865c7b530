#pragma once
// The Mersenne Twister MT19937 with the chain seeding variant. The state
// record is written raw into restart files: its layout must not change.
#include <cstddef>
#include <cstdint>

namespace mixora {

inline constexpr int kMt19937Words = 624;

struct Mt19937State {
  uint64_t draws = 0;   // uniform doubles delivered since seeding
  int32_t index = 0;    // next word; 624 or more regenerates the vector first
  uint32_t words[kMt19937Words] = {};
  uint32_t padding = 0;  // always zero
};
static_assert(sizeof(Mt19937State) == 2512);
static_assert(offsetof(Mt19937State, index) == 8);
static_assert(offsetof(Mt19937State, words) == 12);

// Seeds with the odd form of seed (seeds differing only in bit 0 give the same
// stream); draws = 0, index = 625, so the first word regenerates the vector.
void Mt19937Seed(Mt19937State& state, uint32_t seed);

// The next tempered 32-bit word. Does not change draws.
uint32_t Mt19937NextWord(Mt19937State& state);

// A double in the open interval (0, 1): words 0 and 0xFFFFFFFF are skipped.
// Adds one to draws per call, however many words were skipped.
double Mt19937Uniform(Mt19937State& state);

// An integer in [lo, hi]; requires lo <= hi. Words up to and including the
// largest multiple of n = hi - lo + 1 are accepted, then reduced mod n. Does not
// change draws.
int32_t Mt19937UniformInt(Mt19937State& state, int32_t lo, int32_t hi);

}  // namespace mixora
