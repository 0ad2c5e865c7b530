#include "sampler/ran2.h"

namespace mixora {
namespace {

constexpr int32_t kM = 714025;
constexpr int32_t kA = 1366;
constexpr int32_t kC = 150889;

// 64-bit products give the 32-bit results for every state in range, and no
// overflow for a state read from a damaged restart record.
int32_t Step(int64_t idum) { return static_cast<int32_t>((kA * idum + kC) % kM); }

}  // namespace

void Ran2Seed(Ran2State& state) {
  state.padding = 0;
  // Worked in 64 bits: for seeds of magnitude above 2147332758 the 32-bit
  // form of (c - idum) overflows into a negative state, and negative states
  // index the shuffle table out of bounds. Every other seed gives the same
  // value either way.
  int64_t idum = state.idum;
  if (idum > 0) idum = -idum;
  int32_t v = static_cast<int32_t>((kC - idum) % kM);
  for (int j = 0; j < kRan2TableSize; ++j) {
    v = Step(v);
    state.table[j] = v;
  }
  v = Step(v);
  state.idum = v;
  state.iy = v;
}

double Ran2Uniform(Ran2State& state) {
  state.draws += 1;
  int64_t j = kRan2TableSize * static_cast<int64_t>(state.iy) / kM;
  // A damaged restart record could hold a value outside the table's range.
  if (j < 0 || j >= kRan2TableSize) j = (j % kRan2TableSize + kRan2TableSize) % kRan2TableSize;
  state.iy = state.table[j];
  state.idum = Step(state.idum);
  state.table[j] = state.idum;
  return state.iy * 1.4005112e-6;
}

}  // namespace mixora
