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

// The seed of stream `stream` of a family seeded from one user seed (the
// simulated mixtures of an assessment, the replicates of a bootstrap), for
// Mt19937Seed. Consecutive seeds would pair streams up, as Mt19937Seed
// ignores bit 0: these differ above bit 0 for every two streams below 2^31,
// and the families of two user seeds do not overlap by a shift.
uint32_t Mt19937StreamSeed(uint32_t seed, uint32_t stream);

// Replaces all 624 words by the next block of the recurrence; index = 0.
void Mt19937Regenerate(Mt19937State& state);

// The next tempered 32-bit word. Does not change draws. Inline: the gamma
// routine takes one or more of these per variate, and a call per word cost
// more than the tempering itself.
inline uint32_t Mt19937NextWord(Mt19937State& state) {
  // An index out of range (a damaged restart record) regenerates as well.
  if (static_cast<uint32_t>(state.index) >= static_cast<uint32_t>(kMt19937Words)) [[unlikely]]
    Mt19937Regenerate(state);
  uint32_t y = state.words[state.index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

// A double in the open interval (0, 1): words 0 and 0xFFFFFFFF are skipped.
// Adds one to draws per call, however many words were skipped.
inline double Mt19937Uniform(Mt19937State& state) {
  state.draws += 1;
  uint32_t word;
  do {
    word = Mt19937NextWord(state);
  } while (word == 0u || word == 0xFFFFFFFFu);
  return word * 2.3283064370807974e-10;
}

// An integer in [lo, hi]; requires lo <= hi. Words up to and including the
// largest multiple of n = hi - lo + 1 are accepted, then reduced mod n. Does not
// change draws.
int32_t Mt19937UniformInt(Mt19937State& state, int32_t lo, int32_t hi);

}  // namespace mixora
