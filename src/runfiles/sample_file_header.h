#pragma once
// The 32-byte header that opens a chain sample file: magic, block capacity,
// record count, values per record, thinning interval, element size and a
// reserved word, all little-endian.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace mixora {

inline constexpr std::size_t kSampleFileHeaderSize = 32;
// The writer clamps its block capacity to 100..5000; graph files use 1000.
inline constexpr uint32_t kMaxBlockCapacity = 5000;
inline constexpr uint32_t kAssignmentElementSize = 2;
inline constexpr uint32_t kCompositionElementSize = 4;

struct SampleFileHeader {
  uint8_t magic[8] = {};
  uint32_t blockCapacity = 0;    // records in a full block
  uint32_t recordCount = 0;      // records in the file when the header was last written
  uint32_t valuesPerRecord = 0;  // mixture individuals, or stocks
  uint32_t thinning = 0;
  uint32_t elementSize = 0;      // bytes per value: 2 or 4
  // A tag of the inputs the records were computed from (run_fingerprint.h);
  // 0 in files written before it was kept.
  uint32_t reserved = 0;
};

void EncodeSampleFileHeader(const SampleFileHeader& header, uint8_t* bytes);
SampleFileHeader DecodeSampleFileHeader(const uint8_t* bytes);

// A header with the sample file magic and the given fields.
SampleFileHeader MakeSampleFileHeader(uint32_t valuesPerRecord, uint32_t thinning,
                                      uint32_t recordCount, uint32_t blockCapacity,
                                      uint32_t elementSize, uint32_t inputsTag = 0);

// Writes the 32 bytes at offset 0 of the file, which is left just behind
// them. Returns 1 when all 32 bytes were written, else 0.
int WriteSampleHeader(std::FILE* file, uint32_t valuesPerRecord, uint32_t thinning,
                      uint32_t recordCount, uint32_t blockCapacity, uint32_t elementSize,
                      uint32_t inputsTag = 0);

// Rewinds and reads the 32-byte header. Returns 1 when all of it was read and
// its first 8 bytes are the sample file magic, else 0 (header then holds
// whatever was read).
int CheckSampleMagic(std::FILE* file, SampleFileHeader& header);

// Empty when the header's fields describe blocks a reader can hold (capacity
// 1..5000, element size 2 or 4, at least one value per record, a full block
// shorter than 4 GiB); otherwise what is wrong, e.g. "element size 3".
std::string SampleHeaderProblem(const SampleFileHeader& header);

// Bytes of one record, and the uncompressed length a block of count records
// must have.
uint64_t SampleRecordBytes(const SampleFileHeader& header);
uint64_t SampleBlockBytes(const SampleFileHeader& header, uint32_t count);

// zlib cannot expand data by more than 1032 to 1; a block header claiming
// more lies, and is refused before anything is allocated for it.
bool PlausibleBlockLengths(uint32_t uncompressedLength, uint32_t compressedLength);

}  // namespace mixora
