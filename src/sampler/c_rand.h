#pragma once
// A fixed stand-in for the C library's srand/rand pair (values 0 .. 32767),
// used once per run to pick the starting stocks of the chains. Owning the
// sequence keeps runs identical on every platform.
#include <cstdint>

namespace mixora {

inline constexpr int32_t kCRandMax = 32767;

struct CRandState {
  uint32_t state = 1;  // the C library starts as if seeded with 1
};

// srand: the state becomes the seed.
void CRandSeed(CRandState& rng, uint32_t seed);

// rand: state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30.
int32_t CRandNext(CRandState& rng);

}  // namespace mixora
