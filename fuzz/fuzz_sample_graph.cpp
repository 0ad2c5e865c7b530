// A binary graph file: its header checked and its blocks walked and
// decompressed with the readers every sample file goes through.
#include <cstring>

#include "fuzz_support.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  const std::string path = fuzzing::WriteInput("Fuzz_01.gse", data, size);
  if (size < kSampleFileHeaderSize || std::memcmp(data, kGraphFileMagic, kMagicSize) != 0) return 0;
  SampleFileReader reader;
  reader.header = DecodeSampleFileHeader(data);
  if (!SampleHeaderProblem(reader.header).empty()) return 0;
  reader.file = std::fopen(path.c_str(), "rb");
  if (reader.file == nullptr) return 0;
  reader.path = path;
  reader.fileSize = SampleFileSize(reader.file);
  std::fseek(reader.file, kSampleFileHeaderSize, SEEK_SET);
  uint64_t sum = 0;
  while (uint32_t records = ReadNextSampleBlock(reader)) {
    for (uint32_t r = 0; r < records; ++r)
      for (uint32_t i = 0; i < reader.header.valuesPerRecord; ++i) sum += SampleValue(reader, r, i);
  }
  CloseSampleFileReader(reader);
  return sum == 1 ? 1 : 0;
}
