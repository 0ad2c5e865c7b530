// A chain's restart file, read in full into a chain of the fixture run as a
// resume reads it, then one iteration run from what was read.
#include "fuzz_fixture.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  static RunRecord run = fuzzing::FixtureRun(fuzzing::ScratchFolder());
  Chain probe;
  probe.run = &run;
  const std::string path = RestartFilePath(probe);
  fuzzing::WriteInput(path.substr(path.rfind('/') + 1), data, size);
  RestartChainValues values;
  ReadRestartChainValues(path, values);
  auto chain = fuzzing::FixtureChain(run, fuzzing::SilentUi(), true, false);
  if (chain == nullptr) return 0;
  // An accepted file must leave a chain that can go on sampling.
  chain->iteration.store(chain->iteration.load() + 1);
  RunIteration(*chain);
  return 0;
}
