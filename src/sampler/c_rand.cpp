#include "sampler/c_rand.h"

namespace mixora {

void CRandSeed(CRandState& rng, uint32_t seed) { rng.state = seed; }

int32_t CRandNext(CRandState& rng) {
  rng.state = rng.state * 214013u + 2531011u;
  return static_cast<int32_t>((rng.state >> 16) & 0x7FFFu);
}

}  // namespace mixora
