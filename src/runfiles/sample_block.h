#pragma once
// The compressed block that every binary file of a run stores its bulk data
// in: a 12-byte little-endian header (record count, uncompressed length,
// compressed length) followed by one zlib stream. Nothing outside this pair
// knows the byte layout of a block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mixora {

inline constexpr std::size_t kSampleBlockHeaderSize = 12;
inline constexpr std::size_t kMagicSize = 8;

// Opens the stock assignment and stock composition sample files and the
// restart files.
inline constexpr uint8_t kSampleFileMagic[kMagicSize] = {0x87, 'T', 'a', 'l', 'm', 'o', 1, 2};
// Opens the binary graph files.
inline constexpr uint8_t kGraphFileMagic[kMagicSize] = {0x87, 'T', 'a', 'l', 'm', 'o', 2, 2};

struct SampleBlockHeader {
  uint32_t count = 0;               // records in the block
  uint32_t uncompressedLength = 0;  // bytes
  uint32_t compressedLength = 0;    // bytes of the zlib stream that follows
};

// Why a block could not be written or read. kEnd is the normal end of a file
// of blocks: no header byte was left.
enum class BlockStatus {
  kOk,
  kEnd,
  kTruncated,      // the file ends inside the header or the zlib stream
  kTooLarge,       // the uncompressed length exceeds what the caller can take
  kCorrupt,        // the zlib stream is damaged or yields another length
  kCompressFailed,
  kWriteFailed,
};

// A short English phrase for a status ("block cut short", ...).
const char* DescribeBlockStatus(BlockStatus status);

// Header <-> its 12 little-endian bytes.
void EncodeSampleBlockHeader(const SampleBlockHeader& header, uint8_t* bytes);
SampleBlockHeader DecodeSampleBlockHeader(const uint8_t* bytes);

// Compresses n bytes of data into a whole block (header and stream) in out.
// Requires n < 2^32. Returns kOk or kCompressFailed (out is then empty).
BlockStatus EncodeSampleBlock(const void* data, uint32_t count, std::size_t n,
                              std::vector<uint8_t>& out);

// Writes one block with a single write at the file's current position.
// Returns 1 when all 12 + compressed length bytes were written, else 0;
// nothing is written when compression fails, and a short write leaves what
// was written in the file.
int WriteSampleBlock(std::FILE* file, const void* data, uint32_t count, std::size_t n);

// The inner step of reading a block, after its header is known: decompresses
// compressedLength bytes at `compressed` (of which `available` exist) into
// destination. Succeeds only when the stream is complete, the uncompressed
// length fits in capacity, and zlib yields exactly that length. Never reads
// or writes outside the two buffers.
BlockStatus DecompressSampleBlock(const SampleBlockHeader& header, const uint8_t* compressed,
                                  std::size_t available, void* destination,
                                  std::size_t capacity);

// Reads the rest of a block whose header has already been read from file:
// the compressed bytes, then decompresses them into destination. On return
// the file position is behind whatever was read.
BlockStatus ReadSampleBlockBody(std::FILE* file, const SampleBlockHeader& header,
                                void* destination, std::size_t capacity);

// Reads the block at the file's current position into destination, which
// holds capacity bytes. header (when given) receives the block header as
// soon as it has been read, also on failure. On success the file is
// positioned just behind the block, so consecutive calls read consecutive
// blocks.
BlockStatus ReadSampleBlockChecked(std::FILE* file, void* destination, std::size_t capacity,
                                   SampleBlockHeader* header = nullptr);

// As ReadSampleBlockChecked, returning the block's record count on success
// and 0 at the end of the file or on any failure.
uint32_t ReadSampleBlock(std::FILE* file, void* destination, std::size_t capacity);

// Reads the block at the current position into out, sized to its
// uncompressed length, refusing lengths above maxLength.
BlockStatus ReadSampleBlockToVector(std::FILE* file, std::vector<uint8_t>& out,
                                    std::size_t maxLength, SampleBlockHeader* header = nullptr);

// Reads one block held in memory (bytes[0..size)): header, stream, into out.
// consumed receives the block's total length on success.
BlockStatus ReadSampleBlockFromMemory(const uint8_t* bytes, std::size_t size,
                                      std::vector<uint8_t>& out, std::size_t maxLength,
                                      SampleBlockHeader* header = nullptr,
                                      std::size_t* consumed = nullptr);

}  // namespace mixora
