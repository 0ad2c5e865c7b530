// The text control file: keywords, character, stock and group blocks and the
// checks between them (the baseline and mixture it names are only classified).
#include "fuzz_support.h"
#include "input/control.h"
#include "input/load_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  const std::string path = fuzzing::WriteInput("run.tcf", data, size);
  Control control;
  control.controlKind = kControlMixora;
  LoadControlFile(path, control);
  return 0;
}
