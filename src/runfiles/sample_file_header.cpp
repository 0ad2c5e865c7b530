#include "runfiles/sample_file_header.h"

#include <cstring>
#include <string>

#include "runfiles/sample_block.h"

namespace mixora {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

void EncodeSampleFileHeader(const SampleFileHeader& header, uint8_t* bytes) {
  std::memcpy(bytes, header.magic, kMagicSize);
  PutU32(bytes + 8, header.blockCapacity);
  PutU32(bytes + 12, header.recordCount);
  PutU32(bytes + 16, header.valuesPerRecord);
  PutU32(bytes + 20, header.thinning);
  PutU32(bytes + 24, header.elementSize);
  PutU32(bytes + 28, header.reserved);
}

SampleFileHeader DecodeSampleFileHeader(const uint8_t* bytes) {
  SampleFileHeader header;
  std::memcpy(header.magic, bytes, kMagicSize);
  header.blockCapacity = GetU32(bytes + 8);
  header.recordCount = GetU32(bytes + 12);
  header.valuesPerRecord = GetU32(bytes + 16);
  header.thinning = GetU32(bytes + 20);
  header.elementSize = GetU32(bytes + 24);
  header.reserved = GetU32(bytes + 28);
  return header;
}

SampleFileHeader MakeSampleFileHeader(uint32_t valuesPerRecord, uint32_t thinning,
                                      uint32_t recordCount, uint32_t blockCapacity,
                                      uint32_t elementSize, uint32_t inputsTag) {
  SampleFileHeader header;
  std::memcpy(header.magic, kSampleFileMagic, kMagicSize);
  header.blockCapacity = blockCapacity;
  header.recordCount = recordCount;
  header.valuesPerRecord = valuesPerRecord;
  header.thinning = thinning;
  header.elementSize = elementSize;
  header.reserved = inputsTag;
  return header;
}

int WriteSampleHeader(std::FILE* file, uint32_t valuesPerRecord, uint32_t thinning,
                      uint32_t recordCount, uint32_t blockCapacity, uint32_t elementSize,
                      uint32_t inputsTag) {
  uint8_t bytes[kSampleFileHeaderSize];
  EncodeSampleFileHeader(MakeSampleFileHeader(valuesPerRecord, thinning, recordCount,
                                              blockCapacity, elementSize, inputsTag),
                         bytes);
  if (std::fseek(file, 0, SEEK_SET) != 0) return 0;
  return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes ? 1 : 0;
}

int CheckSampleMagic(std::FILE* file, SampleFileHeader& header) {
  uint8_t bytes[kSampleFileHeaderSize] = {};
  if (std::fseek(file, 0, SEEK_SET) != 0) return 0;
  std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
  header = DecodeSampleFileHeader(bytes);
  return got == sizeof bytes && std::memcmp(bytes, kSampleFileMagic, kMagicSize) == 0 ? 1 : 0;
}

std::string SampleHeaderProblem(const SampleFileHeader& header) {
  if (header.blockCapacity < 1 || header.blockCapacity > kMaxBlockCapacity)
    return "block capacity " + std::to_string(header.blockCapacity);
  if (header.elementSize != 2 && header.elementSize != 4)
    return "element size " + std::to_string(header.elementSize);
  if (header.valuesPerRecord < 1) return "no values per record";
  if (SampleBlockBytes(header, header.blockCapacity) > 0xFFFFFFFFull)
    return std::to_string(header.valuesPerRecord) + " values per record";
  return "";
}

uint64_t SampleRecordBytes(const SampleFileHeader& header) {
  return static_cast<uint64_t>(header.valuesPerRecord) * header.elementSize;
}

uint64_t SampleBlockBytes(const SampleFileHeader& header, uint32_t count) {
  return SampleRecordBytes(header) * count;
}

bool PlausibleBlockLengths(uint32_t uncompressedLength, uint32_t compressedLength) {
  return uncompressedLength <= static_cast<uint64_t>(compressedLength) * 1032 + 1032;
}

}  // namespace mixora
