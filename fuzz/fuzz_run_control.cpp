// The run control file. Inputs whose first byte is even are the file's
// uncompressed content, decoded whole and for its first two mixtures, so the
// fuzzer does not have to get through zlib to reach the sections; odd ones
// are the file itself, compressed block and all.
#include "fuzz_support.h"
#include "runfiles/run_control_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  if (size == 0) return 0;
  const Interaction& ui = fuzzing::SilentUi();
  if ((data[0] & 1) != 0) {
    const std::string path = fuzzing::WriteInput("run.rcf", data + 1, size - 1);
    ReadNewControl(path, ui);
    ReadRunControl(ui, path, 0);
    return 0;
  }
  for (int p = -1; p < 2; ++p) {
    RunControlContent content;
    content.bytes.assign(data + 1, data + size);
    if (p < 0) {
      DecodeNewControl(content, "run.rcf", ui);
    } else {
      DecodeRunControl(content, "run.rcf", p, ui);
    }
  }
  return 0;
}
