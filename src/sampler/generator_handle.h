#pragma once
// The generator a chain's variates draw from: its uniform operation, the state
// it works on, and the gamma routine's retained working values. Every variate
// routine takes a handle, so no generator state is global.
#include <cstddef>
#include <cstdint>

#include "sampler/mt19937.h"
#include "sampler/ran2.h"
#include "sampler/randlib.h"

namespace mixora {

// Returns the next uniform double of the state it is given.
using UniformOperation = double (*)(void* state);

// In memory the two pointers take 16 bytes; the stored record has the two
// handle fields in 8 bytes followed by an unused 8-byte slot, so the
// retained values sit at offset 16 in both and the record is 176 bytes in
// both. Use StoreGeneratorHandle/LoadGeneratorHandle for the stored form:
// they write zeros in place of the pointers, which keeps restart files
// byte-identical from run to run.
struct GeneratorHandle {
  UniformOperation uniform = nullptr;
  void* state = nullptr;
  // Retained working values of DrawGamma, in stored order. aa guards s2, s
  // and d; aaa guards q0, b, si and c; the rest are scratch kept for restart
  // files. b0 is the small-shape branch's b; result is the last deviate.
  double aaa = 0, s2 = 0, s = 0, d = 0, t = 0, x = 0, u = 0, r = 0, q0 = 0, b = 0,
         b0 = 0, si = 0, c = 0, v = 0, q = 0, e = 0, w = 0, p = 0, result = 0, aa = 0;
};
inline constexpr std::size_t kGeneratorHandleRecordSize = 176;
static_assert(sizeof(GeneratorHandle) == kGeneratorHandleRecordSize);
static_assert(offsetof(GeneratorHandle, aaa) == 16);
static_assert(offsetof(GeneratorHandle, aa) == 168);

// The uniform operations a handle can point at.
double Mt19937Operation(void* state);
double RandLibOperation(void* state);

// MT19937, the generator nearly every run uses, is taken inline: an indirect
// call per uniform cost more than producing the uniform.
inline double NextUniform(GeneratorHandle& handle) {
  if (handle.uniform == &Mt19937Operation)
    return Mt19937Uniform(*static_cast<Mt19937State*>(handle.state));
  return handle.uniform(handle.state);
}

// Points the handle at a generator; the retained values are left alone.
void UseMt19937(GeneratorHandle& handle, Mt19937State& state);
void UseRandLib(GeneratorHandle& handle, RandLibState& state);

// The 176-byte stored form (little-endian): 16 zero bytes, then the 20
// retained values. Loading leaves uniform and state as they were.
void StoreGeneratorHandle(const GeneratorHandle& handle, unsigned char out[kGeneratorHandleRecordSize]);
void LoadGeneratorHandle(GeneratorHandle& handle, const unsigned char in[kGeneratorHandleRecordSize]);

// The generators of one chain.
struct ChainGenerators {
  Mt19937State mt;
  RandLibState randLib;
  Ran2State ran2;
  GeneratorHandle handle;
};

// Installs the handle (ranGen 1: MT19937, otherwise RandLib) and, unless the
// chain resumes from a restart file, seeds: ran2 from seed1, then MT19937 from
// seed1 or RandLib from seed1 and seed2 at virtual generator 4. A resumed
// chain keeps states, counters and retained values as the file gave them.
// Call at every start of a chain, after the restart file has been read (the
// handle points into the record, so call again after copying it).
void SeedChainGenerators(ChainGenerators& gens, int32_t seed1, int32_t seed2, int32_t ranGen,
                         bool resuming);

// The draws counter of the generator ranGen selects, in millions as the
// chain monitor shows it (rounded, halves down).
int64_t DrawsInMillions(uint64_t draws);

}  // namespace mixora
