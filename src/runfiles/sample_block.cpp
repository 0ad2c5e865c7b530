#include "runfiles/sample_block.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace mixora {
namespace {

// Compressed bytes are read in pieces so that a header announcing gigabytes
// for a file of a few bytes never makes us allocate them.
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

BlockStatus ReadCompressed(std::FILE* file, uint32_t length, std::vector<uint8_t>& compressed) {
  compressed.clear();
  while (compressed.size() < length) {
    std::size_t piece = std::min<std::size_t>(kReadPiece, length - compressed.size());
    std::size_t old = compressed.size();
    compressed.resize(old + piece);
    std::size_t got = std::fread(compressed.data() + old, 1, piece, file);
    if (got != piece) {
      compressed.resize(old + got);
      return BlockStatus::kTruncated;
    }
  }
  return BlockStatus::kOk;
}

// Reads a header; kEnd when not one byte is left, kTruncated for 1 to 11.
BlockStatus ReadHeader(std::FILE* file, SampleBlockHeader& header) {
  uint8_t bytes[kSampleBlockHeaderSize];
  std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
  if (got == 0) return BlockStatus::kEnd;
  if (got < sizeof bytes) return BlockStatus::kTruncated;
  header = DecodeSampleBlockHeader(bytes);
  return BlockStatus::kOk;
}

}  // namespace

const char* DescribeBlockStatus(BlockStatus status) {
  switch (status) {
    case BlockStatus::kOk: return "block read";
    case BlockStatus::kEnd: return "end of file";
    case BlockStatus::kTruncated: return "block cut short";
    case BlockStatus::kTooLarge: return "block length does not fit the file's layout";
    case BlockStatus::kCorrupt: return "compressed data damaged";
    case BlockStatus::kCompressFailed: return "compression failed";
    case BlockStatus::kWriteFailed: return "write failed";
  }
  return "unknown block status";
}

void EncodeSampleBlockHeader(const SampleBlockHeader& header, uint8_t* bytes) {
  PutU32(bytes, header.count);
  PutU32(bytes + 4, header.uncompressedLength);
  PutU32(bytes + 8, header.compressedLength);
}

SampleBlockHeader DecodeSampleBlockHeader(const uint8_t* bytes) {
  SampleBlockHeader header;
  header.count = GetU32(bytes);
  header.uncompressedLength = GetU32(bytes + 4);
  header.compressedLength = GetU32(bytes + 8);
  return header;
}

BlockStatus EncodeSampleBlock(const void* data, uint32_t count, std::size_t n,
                              std::vector<uint8_t>& out) {
  out.clear();
  if (n > std::numeric_limits<uint32_t>::max()) return BlockStatus::kCompressFailed;
  uLong bound = compressBound(static_cast<uLong>(n));
  out.resize(kSampleBlockHeaderSize + bound);
  uLongf compressedLength = bound;
  // zlib wants a valid source pointer even for an empty source.
  static const uint8_t kNothing = 0;
  const Bytef* source = n == 0 ? &kNothing : static_cast<const Bytef*>(data);
  if (compress(out.data() + kSampleBlockHeaderSize, &compressedLength, source,
               static_cast<uLong>(n)) != Z_OK ||
      compressedLength > std::numeric_limits<uint32_t>::max()) {
    out.clear();
    return BlockStatus::kCompressFailed;
  }
  SampleBlockHeader header{count, static_cast<uint32_t>(n),
                           static_cast<uint32_t>(compressedLength)};
  EncodeSampleBlockHeader(header, out.data());
  out.resize(kSampleBlockHeaderSize + compressedLength);
  return BlockStatus::kOk;
}

int WriteSampleBlock(std::FILE* file, const void* data, uint32_t count, std::size_t n) {
  std::vector<uint8_t> block;
  if (EncodeSampleBlock(data, count, n, block) != BlockStatus::kOk) return 0;
  return std::fwrite(block.data(), 1, block.size(), file) == block.size() ? 1 : 0;
}

BlockStatus DecompressSampleBlock(const SampleBlockHeader& header, const uint8_t* compressed,
                                  std::size_t available, void* destination,
                                  std::size_t capacity) {
  if (available < header.compressedLength) return BlockStatus::kTruncated;
  if (header.uncompressedLength > capacity) return BlockStatus::kTooLarge;
  if (header.uncompressedLength > 0 && destination == nullptr) return BlockStatus::kTooLarge;
  // uncompress needs somewhere to point even when nothing is expected.
  uint8_t spare = 0;
  Bytef* target =
      header.uncompressedLength == 0 ? &spare : static_cast<Bytef*>(destination);
  uLongf targetLength = header.uncompressedLength;
  static const uint8_t kNothing = 0;
  const Bytef* source = header.compressedLength == 0 ? &kNothing : compressed;
  int result = uncompress(target, &targetLength, source, header.compressedLength);
  if (result != Z_OK || targetLength != header.uncompressedLength) return BlockStatus::kCorrupt;
  return BlockStatus::kOk;
}

BlockStatus ReadSampleBlockBody(std::FILE* file, const SampleBlockHeader& header,
                                void* destination, std::size_t capacity) {
  // Refuse before reading, so that a lying length costs no memory.
  if (header.uncompressedLength > capacity) return BlockStatus::kTooLarge;
  std::vector<uint8_t> compressed;
  BlockStatus status = ReadCompressed(file, header.compressedLength, compressed);
  if (status != BlockStatus::kOk) return status;
  return DecompressSampleBlock(header, compressed.data(), compressed.size(), destination,
                               capacity);
}

BlockStatus ReadSampleBlockChecked(std::FILE* file, void* destination, std::size_t capacity,
                                   SampleBlockHeader* header) {
  SampleBlockHeader local;
  BlockStatus status = ReadHeader(file, local);
  if (header != nullptr) *header = local;
  if (status != BlockStatus::kOk) return status;
  return ReadSampleBlockBody(file, local, destination, capacity);
}

uint32_t ReadSampleBlock(std::FILE* file, void* destination, std::size_t capacity) {
  SampleBlockHeader header;
  if (ReadSampleBlockChecked(file, destination, capacity, &header) != BlockStatus::kOk) return 0;
  return header.count;
}

BlockStatus ReadSampleBlockToVector(std::FILE* file, std::vector<uint8_t>& out,
                                    std::size_t maxLength, SampleBlockHeader* header) {
  out.clear();
  SampleBlockHeader local;
  BlockStatus status = ReadHeader(file, local);
  if (header != nullptr) *header = local;
  if (status != BlockStatus::kOk) return status;
  if (local.uncompressedLength > maxLength) return BlockStatus::kTooLarge;
  std::vector<uint8_t> compressed;
  status = ReadCompressed(file, local.compressedLength, compressed);
  if (status != BlockStatus::kOk) return status;
  out.resize(local.uncompressedLength);
  status = DecompressSampleBlock(local, compressed.data(), compressed.size(), out.data(),
                                 out.size());
  if (status != BlockStatus::kOk) out.clear();
  return status;
}

BlockStatus ReadSampleBlockFromMemory(const uint8_t* bytes, std::size_t size,
                                      std::vector<uint8_t>& out, std::size_t maxLength,
                                      SampleBlockHeader* header, std::size_t* consumed) {
  out.clear();
  if (size == 0) return BlockStatus::kEnd;
  if (size < kSampleBlockHeaderSize) return BlockStatus::kTruncated;
  SampleBlockHeader local = DecodeSampleBlockHeader(bytes);
  if (header != nullptr) *header = local;
  if (local.uncompressedLength > maxLength) return BlockStatus::kTooLarge;
  std::size_t available = size - kSampleBlockHeaderSize;
  if (available < local.compressedLength) return BlockStatus::kTruncated;
  out.resize(local.uncompressedLength);
  BlockStatus status = DecompressSampleBlock(local, bytes + kSampleBlockHeaderSize, available,
                                             out.data(), out.size());
  if (status != BlockStatus::kOk) {
    out.clear();
    return status;
  }
  if (consumed != nullptr) *consumed = kSampleBlockHeaderSize + local.compressedLength;
  return BlockStatus::kOk;
}

}  // namespace mixora
