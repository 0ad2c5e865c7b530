// The baseline layouts read directly (Talmo and SPAM), chosen by the layout
// the loader would tell from the file, with the totals summed after a
// successful read.
#include "fuzz_support.h"
#include "core/log_buffer.h"
#include "input/baseline_reader.h"
#include "input/control.h"

#ifndef MIXORA_FUZZ_BASELINE
#define MIXORA_FUZZ_BASELINE ReadSpamBaseline
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  const std::string path = fuzzing::WriteInput("baseline.bse", data, size);
  ClassifyBaselineFile(path);
  BaselineData baseline;
  LogBuffer log;
  if (MIXORA_FUZZ_BASELINE(path, baseline, log) == 0) SumBaselineTotals(baseline);
  return 0;
}
