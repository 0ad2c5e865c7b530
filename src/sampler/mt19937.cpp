#include "sampler/mt19937.h"

#include "core/cpu_clones.h"

namespace mixora {
namespace {

constexpr int kMiddle = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpper = 0x80000000u;
constexpr uint32_t kLower = 0x7FFFFFFFu;

}  // namespace

// Vectorised by the compiler (the file is built with vectorisation on): each
// word of the first loop reads only words not yet replaced, and the second
// reads words 227 places back, so blocks of words are independent.
MIXORA_CPU_CLONES void Mt19937Regenerate(Mt19937State& st) {
  uint32_t* w = st.words;
  int k = 0;
  for (; k < kMt19937Words - kMiddle; ++k) {
    uint32_t y = (w[k] & kUpper) | (w[k + 1] & kLower);
    w[k] = w[k + kMiddle] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
  }
  for (; k < kMt19937Words - 1; ++k) {
    uint32_t y = (w[k] & kUpper) | (w[k + 1] & kLower);
    w[k] = w[k + (kMiddle - kMt19937Words)] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
  }
  uint32_t y = (w[kMt19937Words - 1] & kUpper) | (w[0] & kLower);
  w[kMt19937Words - 1] = w[kMiddle - 1] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
  st.index = 0;
}

void Mt19937Seed(Mt19937State& state, uint32_t seed) {
  state.draws = 0;
  state.padding = 0;
  uint32_t* w = state.words;
  w[0] = seed | 1u;
  for (uint32_t i = 1; i < kMt19937Words; ++i) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
  state.index = kMt19937Words + 1;
  // The first word is replaced by the top bit alone: only its upper bit ever
  // enters the recurrence, and a vector with it set can never be all zero.
  w[0] = 0x80000000u;
}

uint32_t Mt19937StreamSeed(uint32_t seed, uint32_t stream) {
  // The finaliser of MurmurHash3: a bijection that scatters neighbouring
  // user seeds over the whole word.
  uint32_t h = seed;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h + 2u * stream;
}

int32_t Mt19937UniformInt(Mt19937State& state, int32_t lo, int32_t hi) {
  uint32_t n = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
  // n == 0 means the full 32-bit range: every word is acceptable.
  if (n == 0u) return static_cast<int32_t>(static_cast<uint32_t>(lo) + Mt19937NextWord(state));
  uint32_t limit = (0xFFFFFFFFu / n) * n;
  uint32_t word;
  do {
    word = Mt19937NextWord(state);
  } while (word > limit);
  return static_cast<int32_t>(static_cast<uint32_t>(lo) + word % n);
}

}  // namespace mixora
