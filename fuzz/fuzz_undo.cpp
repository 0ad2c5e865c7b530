// The undo file of an in-place block rewrite, applied to a small sample file.
// Inputs whose first byte is odd get their length and CRC-32 fields set to
// match, so the fuzzer reaches the put-back path instead of stopping at the
// checksum.
#include <zlib.h>

#include "fuzz_support.h"
#include "runfiles/block_undo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  if (size == 0) return 0;
  std::vector<uint8_t> undo(data + 1, data + size);
  if ((data[0] & 1) != 0 && undo.size() >= 24) {
    const uint32_t length = static_cast<uint32_t>(undo.size() - 24);
    const uint32_t crc = static_cast<uint32_t>(crc32(0L, undo.data() + 24, length));
    for (int i = 0; i < 4; ++i) {
      undo[16 + i] = static_cast<uint8_t>(length >> (8 * i));
      undo[20 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
  }
  const std::string samplePath = fuzzing::ScratchFile("Fuzz_01.Ise");
  static const uint8_t kSample[64] = {0x87, 'T', 'a', 'l', 'm', 'o', 1, 2, 100};
  fuzzing::WriteInput("Fuzz_01.Ise", kSample, sizeof kSample);
  fuzzing::WriteInput("Fuzz_01.Ise.undo", undo.data(), undo.size());
  std::FILE* file = std::fopen(samplePath.c_str(), "r+b");
  if (file == nullptr) return 0;
  std::string error;
  ApplyBlockUndo(file, samplePath, error);
  std::fclose(file);
  return 0;
}
