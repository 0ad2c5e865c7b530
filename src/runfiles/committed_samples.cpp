#include "runfiles/committed_samples.h"

#include <sys/types.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "runfiles/sample_block.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {
namespace {

std::string Describe(const std::string& path, int64_t offset, const std::string& what) {
  char text[1400];
  std::snprintf(text, sizeof text, "%s: block at byte %lld: %s", path.c_str(),
                static_cast<long long>(offset), what.c_str());
  return text;
}

bool SameLayout(const SampleFileHeader& a, const SampleFileHeader& b) {
  return a.blockCapacity == b.blockCapacity && a.valuesPerRecord == b.valuesPerRecord &&
         a.thinning == b.thinning && a.elementSize == b.elementSize;
}

void Restart(CommittedRecords& out, const std::string& path) {
  out = CommittedRecords{};
  out.path = path;
}

struct FileCloser {
  std::FILE* file;
  ~FileCloser() {
    if (file != nullptr) std::fclose(file);
  }
};

}  // namespace

int ReadCommittedRecords(const std::string& path, uint32_t vouched, CommittedRecords& out,
                         std::string& error) {
  error.clear();
  if (out.path != path) Restart(out, path);
  out.missing = false;
  out.tailPending = false;
  FileCloser closer{std::fopen(path.c_str(), "rb")};
  std::FILE* file = closer.file;
  if (file == nullptr) {
    Restart(out, path);
    out.missing = true;
    return 1;
  }
  const int64_t size = SampleFileSize(file);
  // A chain creates the file and writes its header in two steps; until the
  // header is whole there is nothing to read.
  if (size < static_cast<int64_t>(kSampleFileHeaderSize)) {
    Restart(out, path);
    return 1;
  }
  SampleFileHeader header;
  std::string problem;
  if (CheckSampleMagic(file, header) == 0)
    problem = "not a sample file";
  else
    problem = SampleHeaderProblem(header);
  if (!problem.empty()) {
    Restart(out, path);
    error = path + ": " + problem;
    return 0;
  }
  // Another layout or a shorter file: the chain started over, so does the
  // reader.
  if (!SameLayout(header, out.header) || size < out.lastBlockOffset ||
      vouched < out.recordsBeforeLastBlock)
    Restart(out, path);
  out.header = header;

  const uint32_t capacity = header.blockCapacity;
  // A block a chain may still be writing is the last one in the file, so
  // nothing whole can lie behind its start beyond one full block.
  const int64_t fullBlockBytes = static_cast<int64_t>(kSampleBlockHeaderSize) +
                                 static_cast<int64_t>(compressBound(
                                     static_cast<uLong>(SampleBlockBytes(header, capacity))));
  int64_t offset = out.lastBlockOffset > 0 ? out.lastBlockOffset
                                           : static_cast<int64_t>(kSampleFileHeaderSize);
  uint32_t records = out.lastBlockOffset > 0 ? out.recordsBeforeLastBlock : 0;
  out.values.resize(static_cast<std::size_t>(records) * header.valuesPerRecord);
  std::vector<uint8_t> block;

  // A chain that starts afresh may empty its file just after the caller
  // read the restart file that vouched for the old records, and a resumed chain
  // rewrites its last block in place: an early end or a torn or undecodable
  // last block is a chain at work. Only a block with a sound block behind it,
  // or a bad header too far from the end to be the last, is damage.
  auto tailOrDamage = [&](int64_t at, bool damaged, const std::string& what) {
    if (!damaged) {
      out.tailPending = true;
      return 1;
    }
    error = Describe(path, at, what);
    return 0;
  };
  auto soundBlockAt = [&](int64_t at) {
    SampleBlockSpot next;
    std::string ignored;
    return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 &&
           StepOverSampleBlock(file, header, size, next, ignored) == BlockWalk::kBlock;
  };

  int result = 1;
  while (records < vouched) {
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) {
      result = tailOrDamage(offset, false, "cannot be reached");
      break;
    }
    SampleBlockSpot spot;
    BlockWalk walk = StepOverSampleBlock(file, header, size, spot, problem);
    if (walk == BlockWalk::kEnd) {
      if (vouched != kAllCommittedRecords) out.tailPending = true;
      break;
    }
    if (walk != BlockWalk::kBlock) {
      result = tailOrDamage(offset, walk == BlockWalk::kBad && size - offset > fullBlockBytes,
                            problem);
      break;
    }
    block.resize(spot.header.uncompressedLength);
    BlockStatus status = BlockStatus::kTruncated;
    if (fseeko(file, static_cast<off_t>(offset + kSampleBlockHeaderSize), SEEK_SET) == 0)
      status = ReadSampleBlockBody(file, spot.header, block.data(), block.size());
    if (status != BlockStatus::kOk) {
      const int64_t end = offset + static_cast<int64_t>(kSampleBlockHeaderSize) +
                          spot.header.compressedLength;
      result = tailOrDamage(offset, soundBlockAt(end), DescribeBlockStatus(status));
      break;
    }
    uint32_t take = spot.header.count;
    if (static_cast<uint64_t>(records) + take > vouched) take = vouched - records;
    const std::size_t first = out.values.size();
    out.values.resize(first + static_cast<std::size_t>(take) * header.valuesPerRecord);
    const uint8_t* p = block.data();
    for (std::size_t i = 0; i < static_cast<std::size_t>(take) * header.valuesPerRecord; ++i) {
      uint32_t value = 0;
      for (uint32_t b = 0; b < header.elementSize; ++b)
        value |= static_cast<uint32_t>(p[b]) << (8 * b);
      out.values[first + i] = value;
      p += header.elementSize;
    }
    out.lastBlockOffset = offset;
    out.recordsBeforeLastBlock = records;
    records += take;
    offset = spot.offset + static_cast<int64_t>(kSampleBlockHeaderSize) +
             spot.header.compressedLength;
  }
  if (result == 0) {
    Restart(out, path);
    return 0;
  }
  out.records = records;
  out.values.resize(static_cast<std::size_t>(records) * header.valuesPerRecord);
  return 1;
}

}  // namespace mixora
