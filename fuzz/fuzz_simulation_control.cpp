// The mixture simulation control file.
#include "fuzz_support.h"
#include "core/log_buffer.h"
#include "tools/simulation_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  const std::string path = fuzzing::WriteInput("sim.mcf", data, size);
  LogBuffer log;
  ReadSimulationControl(path, log);
  return 0;
}
