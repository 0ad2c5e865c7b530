// A chain's stock composition sample file (.Ise), loaded by stock and by
// group as the composition report and the diagnostics load it.
#include "fuzz_fixture.h"
#include "fuzz_support.h"
#include "runfiles/composition_samples.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  static RunRecord run = fuzzing::FixtureRun(fuzzing::ScratchFolder());
  const std::string path = BuildRunFileName(run, 0, kNoReport, kNoGroup, kExtComposition);
  fuzzing::WriteInput(path.substr(path.rfind('/') + 1), data, size);
  SampleFileSummary summary;
  std::string error;
  SummarizeSampleFile(path, summary, error);
  for (int byGroup = 0; byGroup < 2; ++byGroup) {
    CompositionLoadRequest request;
    request.length = 50;
    request.discard = 10;
    if (byGroup == 1) UseGroupingLevel(run, 0, request);
    CompositionSamples samples;
    LoadCompositionSamples(run, request, samples, fuzzing::SilentUi(), error);
  }
  return 0;
}
