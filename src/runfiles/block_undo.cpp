#include "runfiles/block_undo.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/atomic_file.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {
namespace {

constexpr uint8_t kUndoMagic[8] = {'M', 'X', 'U', 'N', 'D', 'O', 1, 0};
constexpr std::size_t kUndoHeadSize = 24;

void PutLittle(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t GetLittle(const uint8_t* in, int bytes) {
  uint64_t value = 0;
  for (int i = bytes; i-- > 0;) value = value << 8 | in[i];
  return value;
}

uint32_t Crc(const std::vector<uint8_t>& bytes, std::size_t from) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes lengths as uInt.
  for (std::size_t at = from; at < bytes.size();) {
    const std::size_t piece = std::min<std::size_t>(bytes.size() - at, 1u << 30);
    crc = crc32(crc, bytes.data() + at, static_cast<uInt>(piece));
    at += piece;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

std::string BlockUndoPath(const std::string& samplePath) { return samplePath + ".undo"; }

int SaveBlockUndo(const std::string& samplePath, int64_t offset, const std::vector<uint8_t>& bytes) {
  if (offset < 0 || bytes.size() > UINT32_MAX) return 0;
  std::vector<uint8_t> content(std::begin(kUndoMagic), std::end(kUndoMagic));
  PutLittle(content, static_cast<uint64_t>(offset), 8);
  PutLittle(content, bytes.size(), 4);
  content.insert(content.end(), 4, 0);
  content.insert(content.end(), bytes.begin(), bytes.end());
  const uint32_t crc = Crc(content, kUndoHeadSize);
  for (int i = 0; i < 4; ++i) content[20 + i] = static_cast<uint8_t>(crc >> (8 * i));

  const std::string path = BlockUndoPath(samplePath);
  return ReplaceFileAtomically(path + ".tmp", path, content.data(), content.size());
}

int PutBlockBack(std::FILE* file, int64_t offset, const std::vector<uint8_t>& bytes) {
  std::clearerr(file);
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return 0;
  if (std::fflush(file) != 0) return 0;
  const off_t end = static_cast<off_t>(offset) + static_cast<off_t>(bytes.size());
  if (::ftruncate(fileno(file), end) != 0 || ::fsync(fileno(file)) != 0) return 0;
  return fseeko(file, end, SEEK_SET) == 0 ? 1 : 0;
}

int ApplyBlockUndo(std::FILE* file, const std::string& samplePath, std::string& error) {
  const std::string path = BlockUndoPath(samplePath);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return 1;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  const bool whole = content.size() >= kUndoHeadSize &&
                     std::memcmp(content.data(), kUndoMagic, sizeof kUndoMagic) == 0 &&
                     GetLittle(content.data() + 16, 4) == content.size() - kUndoHeadSize &&
                     GetLittle(content.data() + 20, 4) == Crc(content, kUndoHeadSize) &&
                     static_cast<int64_t>(GetLittle(content.data() + 8, 8)) >= 0;
  // A block can only go back where blocks lie: behind the sample file's
  // header and not beyond its end, and it must be one whole block. Anything
  // else is damage, and is dropped like a torn undo file.
  const int64_t fileSize = whole ? SampleFileSize(file) : -1;
  const int64_t offset = whole ? static_cast<int64_t>(GetLittle(content.data() + 8, 8)) : -1;
  const std::size_t stored = whole ? content.size() - kUndoHeadSize : 0;
  const bool fits = whole && offset >= static_cast<int64_t>(kSampleFileHeaderSize) &&
                    fileSize >= 0 && offset <= fileSize && stored >= kSampleBlockHeaderSize &&
                    DecodeSampleBlockHeader(content.data() + kUndoHeadSize).compressedLength ==
                        stored - kSampleBlockHeaderSize;
  if (fits) {
    const std::vector<uint8_t> bytes(content.begin() + kUndoHeadSize, content.end());
    if (PutBlockBack(file, offset, bytes) == 0) {
      error = "Cannot write " + samplePath;
      return 0;
    }
  }
  DropBlockUndo(samplePath);
  return 1;
}

void DropBlockUndo(const std::string& samplePath) {
  std::error_code ec;
  std::filesystem::remove(BlockUndoPath(samplePath), ec);
  // A crash while an undo file was written leaves only its temporary file.
  std::filesystem::remove(BlockUndoPath(samplePath) + ".tmp", ec);
}

}  // namespace mixora
