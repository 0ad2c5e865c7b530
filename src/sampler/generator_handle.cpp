#include "sampler/generator_handle.h"

#include <cstring>

namespace mixora {
double Mt19937Operation(void* state) { return Mt19937Uniform(*static_cast<Mt19937State*>(state)); }
double RandLibOperation(void* state) { return RandLibUniform(*static_cast<RandLibState*>(state)); }

namespace {

constexpr std::size_t kRetainedOffset = offsetof(GeneratorHandle, aaa);
constexpr std::size_t kRetainedBytes = kGeneratorHandleRecordSize - kRetainedOffset;

}  // namespace

void UseMt19937(GeneratorHandle& handle, Mt19937State& state) {
  handle.uniform = &Mt19937Operation;
  handle.state = &state;
}

void UseRandLib(GeneratorHandle& handle, RandLibState& state) {
  handle.uniform = &RandLibOperation;
  handle.state = &state;
}

// The target is little-endian, so the doubles are copied as they lie.
void StoreGeneratorHandle(const GeneratorHandle& handle,
                          unsigned char out[kGeneratorHandleRecordSize]) {
  std::memset(out, 0, kRetainedOffset);
  std::memcpy(out + kRetainedOffset, &handle.aaa, kRetainedBytes);
}

void LoadGeneratorHandle(GeneratorHandle& handle,
                         const unsigned char in[kGeneratorHandleRecordSize]) {
  std::memcpy(&handle.aaa, in + kRetainedOffset, kRetainedBytes);
}

void SeedChainGenerators(ChainGenerators& gens, int32_t seed1, int32_t seed2, int32_t ranGen,
                         bool resuming) {
  if (!resuming) {
    // A chain record outlives its starts; clearing the gamma routine's values
    // makes a fresh start write the same restart bytes as the first one did.
    // The deviates do not depend on them: the cached setups are recomputed
    // from the shape alone.
    gens.handle = GeneratorHandle{};
    // The generator this run does not use is stored in restart files too;
    // clear it so a fresh start never carries bytes from an earlier one.
    gens.mt = Mt19937State{};
    gens.randLib = RandLibState{};
    gens.ran2 = Ran2State{};
    gens.ran2.idum = seed1;
    Ran2Seed(gens.ran2);
  }
  if (ranGen == 1) {
    UseMt19937(gens.handle, gens.mt);
    if (!resuming) Mt19937Seed(gens.mt, static_cast<uint32_t>(seed1));
  } else {
    UseRandLib(gens.handle, gens.randLib);
    if (!resuming) {
      gens.randLib = RandLibState{};
      gens.randLib.s1 = seed1;
      gens.randLib.s2 = seed2;
      gens.randLib.generator = kRandLibChainGenerator;
      RandLibSeed(gens.randLib);
    }
  }
}

int64_t DrawsInMillions(uint64_t draws) {
  if (draws % 1000000u > 500000u) draws += 500000u;
  return static_cast<int64_t>(draws / 1000000u);
}

}  // namespace mixora
