#include "sampler/randlib.h"

namespace mixora {
namespace {

// 40014^(2^50) mod m1 and 40692^(2^50) mod m2: one jump to the next virtual
// generator.
constexpr int32_t kJump1 = 2082007225;
constexpr int32_t kJump2 = 784306273;

int32_t Magnitude(int32_t v) {
  // The most negative seed has no positive counterpart in 32 bits; reduce it
  // into the component's range so the jumps below work on a valid value.
  if (v == INT32_MIN) return static_cast<int32_t>(2147483648LL % kRandLibModulus1);
  return v < 0 ? -v : v;
}

}  // namespace

int32_t ModMultiply(int32_t a, int32_t s, int32_t m) {
  return static_cast<int32_t>(static_cast<int64_t>(a) * s % m);
}

void RandLibSeed(RandLibState& state) {
  state.padding = 0;
  int32_t s1 = Magnitude(state.s1);
  int32_t s2 = Magnitude(state.s2);
  // Seeds at or above a modulus are taken modulo it (the jumps would do the
  // same; this keeps ModMultiply within its range for generator 1 too).
  s1 %= kRandLibModulus1;
  s2 %= kRandLibModulus2;
  for (int32_t g = 1; g < state.generator; ++g) {
    s1 = ModMultiply(kJump1, s1, kRandLibModulus1);
    s2 = ModMultiply(kJump2, s2, kRandLibModulus2);
  }
  state.s1 = s1;
  state.s2 = s2;
}

double RandLibUniform(RandLibState& state) {
  state.draws += 1;
  int32_t k = state.s1 / 53668;
  state.s1 = 40014 * (state.s1 - k * 53668) - k * 12211;
  if (state.s1 < 0) state.s1 += kRandLibModulus1;
  k = state.s2 / 52774;
  state.s2 = 40692 * (state.s2 - k * 52774) - k * 3791;
  if (state.s2 < 0) state.s2 += kRandLibModulus2;
  int32_t z = state.s1 - state.s2;
  if (z < 1) z += kRandLibModulus1 - 1;
  return z * 4.656613057391769e-10;
}

}  // namespace mixora
