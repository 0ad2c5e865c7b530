#include "runfiles/sample_file_reader.h"

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/paths.h"
#include "core/system_error.h"

namespace mixora {
namespace {

std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string BlockMessage(const SampleFileReader& reader, int64_t offset, const std::string& what) {
  return Format("%s: block at byte %lld: %s", reader.path.c_str(),
                static_cast<long long>(offset), what.c_str());
}

// Loads the block at the current position; the caller has not read its
// header yet.
uint32_t LoadBlockHere(SampleFileReader& reader) {
  reader.blockRecords = 0;
  reader.error.clear();
  int64_t offset = ftello(reader.file);
  SampleBlockSpot spot;
  std::string problem;
  BlockWalk walk = StepOverSampleBlock(reader.file, reader.header, reader.fileSize, spot, problem);
  if (walk == BlockWalk::kEnd) return 0;
  if (walk != BlockWalk::kBlock) {
    reader.error = BlockMessage(reader, offset, problem);
    return 0;
  }
  if (fseeko(reader.file, static_cast<off_t>(offset + kSampleBlockHeaderSize), SEEK_SET) != 0) {
    reader.error = BlockMessage(reader, offset, "cannot be reached");
    return 0;
  }
  reader.block.resize(spot.header.uncompressedLength);
  BlockStatus status =
      ReadSampleBlockBody(reader.file, spot.header, reader.block.data(), reader.block.size());
  if (status != BlockStatus::kOk) {
    reader.error = BlockMessage(reader, offset, DescribeBlockStatus(status));
    return 0;
  }
  // The zlib checksum only proves the block is what was compressed; values
  // a chain never writes mean the block was altered before that.
  const std::string wrong = SampleRecordsProblem(reader.header, reader.block.data(), spot.header.count);
  if (!wrong.empty()) {
    reader.error = BlockMessage(reader, offset, wrong);
    return 0;
  }
  reader.blockRecords = spot.header.count;
  reader.blockOffset = offset;
  return spot.header.count;
}

}  // namespace

std::string SampleRecordsProblem(const SampleFileHeader& header, const uint8_t* records,
                                 uint32_t count) {
  if (header.elementSize != kCompositionElementSize) return {};
  constexpr uint64_t kWhole = 100000000;
  const uint8_t* p = records;
  for (uint32_t r = 0; r < count; ++r) {
    uint64_t sum = 0;
    for (uint32_t i = 0; i < header.valuesPerRecord; ++i, p += 4) {
      const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
      if (v > kWhole)
        return Format("record %u of the block: stock %u holds %u, above the whole (100000000)",
                      r + 1, i + 1, v);
      sum += v;
    }
    if (sum > kWhole)
      return Format("record %u of the block: its proportions add up to %llu, above the whole "
                    "(100000000)",
                    r + 1, static_cast<unsigned long long>(sum));
    // The proportions a chain draws add up to 1; truncating each of the K
    // values loses less than one unit, so the record keeps at least
    // 1e8 - K. A value lowered by more than that is caught here.
    const uint64_t least = kWhole - std::min<uint64_t>(kWhole, header.valuesPerRecord);
    if (sum < least)
      return Format("record %u of the block: its proportions add up to %llu, below %llu, the "
                    "least %u truncated proportions of a whole (100000000) can keep",
                    r + 1, static_cast<unsigned long long>(sum),
                    static_cast<unsigned long long>(least), header.valuesPerRecord);
  }
  return {};
}

int64_t SampleFileSize(std::FILE* file) {
  off_t here = ftello(file);
  if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
  off_t size = ftello(file);
  if (fseeko(file, here, SEEK_SET) != 0) return -1;
  return size;
}

BlockWalk StepOverSampleBlock(std::FILE* file, const SampleFileHeader& header, int64_t fileSize,
                              SampleBlockSpot& spot, std::string& problem) {
  spot.offset = ftello(file);
  uint8_t bytes[kSampleBlockHeaderSize];
  std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
  if (got == 0) return BlockWalk::kEnd;
  if (got < sizeof bytes) {
    problem = "block header cut short";
    return BlockWalk::kTorn;
  }
  spot.header = DecodeSampleBlockHeader(bytes);
  const SampleBlockHeader& b = spot.header;
  if (b.count < 1 || b.count > header.blockCapacity) {
    problem = Format("record count %u outside 1..%u", b.count, header.blockCapacity);
    return BlockWalk::kBad;
  }
  if (b.uncompressedLength != SampleBlockBytes(header, b.count)) {
    problem = Format("length %u does not hold %u records of %u values", b.uncompressedLength,
                     b.count, header.valuesPerRecord);
    return BlockWalk::kBad;
  }
  if (!PlausibleBlockLengths(b.uncompressedLength, b.compressedLength)) {
    problem = Format("compressed length %u cannot hold %u bytes", b.compressedLength,
                     b.uncompressedLength);
    return BlockWalk::kBad;
  }
  int64_t end = spot.offset + static_cast<int64_t>(kSampleBlockHeaderSize) + b.compressedLength;
  if (end > fileSize) {
    problem = DescribeBlockStatus(BlockStatus::kTruncated);
    return BlockWalk::kTorn;
  }
  if (fseeko(file, static_cast<off_t>(end), SEEK_SET) != 0) {
    problem = "cannot be reached";
    return BlockWalk::kTorn;
  }
  return BlockWalk::kBlock;
}

int OpenSampleFileForReading(SampleFileReader& reader, const std::string& path) {
  CloseSampleFileReader(reader);
  reader.path = path;
  reader.error.clear();
  reader.file = std::fopen(path.c_str(), "rb");
  if (reader.file == nullptr) {
    reader.error = Format("Cannot Open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
    return 0;
  }
  posix_fadvise(fileno(reader.file), 0, 0, POSIX_FADV_SEQUENTIAL);
  std::string problem;
  if (CheckSampleMagic(reader.file, reader.header) == 0) {
    problem = "not a sample file";
  } else {
    problem = SampleHeaderProblem(reader.header);
  }
  reader.fileSize = SampleFileSize(reader.file);
  if (problem.empty() && reader.fileSize < 0) problem = "size unknown";
  if (!problem.empty()) {
    reader.error = Format("Invalid %s File:\r\n%s\r\n%s", ExtensionOf(path).c_str(), path.c_str(),
                          problem.c_str());
    std::fclose(reader.file);
    reader.file = nullptr;
    return 0;
  }
  return 1;
}

void CloseSampleFileReader(SampleFileReader& reader) {
  if (reader.file != nullptr) std::fclose(reader.file);
  reader.file = nullptr;
  reader.block.clear();
  reader.blockRecords = 0;
}

uint32_t SeekSampleRecord(SampleFileReader& reader, uint32_t k, uint32_t& index) {
  index = 0;
  reader.blockRecords = 0;
  reader.error.clear();
  if (reader.file == nullptr) {
    reader.error = "No sample file open";
    return 0;
  }
  if (fseeko(reader.file, static_cast<off_t>(kSampleFileHeaderSize), SEEK_SET) != 0) {
    reader.error = Format("%s: cannot be read", reader.path.c_str());
    return 0;
  }
  uint64_t before = 0;  // records in the blocks passed over
  for (;;) {
    SampleBlockSpot spot;
    std::string problem;
    BlockWalk walk =
        StepOverSampleBlock(reader.file, reader.header, reader.fileSize, spot, problem);
    if (walk == BlockWalk::kEnd) {
      reader.error = Format("%s holds %llu records, no record %u", reader.path.c_str(),
                            static_cast<unsigned long long>(before), k);
      return 0;
    }
    if (walk != BlockWalk::kBlock) {
      reader.error = BlockMessage(reader, spot.offset, problem);
      return 0;
    }
    if (before + spot.header.count > k) {
      index = static_cast<uint32_t>(k - before);
      if (fseeko(reader.file, static_cast<off_t>(spot.offset), SEEK_SET) != 0) {
        reader.error = BlockMessage(reader, spot.offset, "cannot be reached");
        return 0;
      }
      return LoadBlockHere(reader);
    }
    before += spot.header.count;
  }
}

uint32_t ReadNextSampleBlock(SampleFileReader& reader) {
  if (reader.file == nullptr) {
    reader.error = "No sample file open";
    return 0;
  }
  return LoadBlockHere(reader);
}

uint32_t SampleValue(const SampleFileReader& reader, uint32_t r, uint32_t i) {
  const uint8_t* p =
      reader.block.data() + (static_cast<std::size_t>(r) * reader.header.valuesPerRecord + i) *
                                reader.header.elementSize;
  if (reader.header.elementSize == 2) return static_cast<uint32_t>(p[0] | p[1] << 8);
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int ReadKeptRecords(SampleFileReader& reader, uint32_t discard, uint32_t count,
                    const SampleRecordSink& sink) {
  reader.error.clear();
  if (count == 0) return 1;
  uint32_t index = 0;
  uint32_t inBlock = SeekSampleRecord(reader, discard, index);
  if (inBlock == 0) return 0;
  // Sized only now: a loaded block proves the header's record width real.
  std::vector<uint32_t> values(reader.header.valuesPerRecord);
  uint32_t used = 0;
  for (;;) {
    uint32_t last = std::min<uint64_t>(inBlock, static_cast<uint64_t>(index) + (count - used));
    for (uint32_t r = index; r < last; ++r) {
      for (uint32_t i = 0; i < values.size(); ++i) values[i] = SampleValue(reader, r, i);
      if (!sink(used, values.data())) {
        reader.error = "Stopped";
        return 0;
      }
      ++used;
    }
    if (used == count) return 1;
    index = 0;
    inBlock = ReadNextSampleBlock(reader);
    if (inBlock == 0) {
      if (reader.error.empty())
        reader.error = Format("%s ends after %llu of the records asked for (%u more needed)",
                              reader.path.c_str(),
                              static_cast<unsigned long long>(discard) + used, count - used);
      return 0;
    }
  }
}

int SummarizeSampleFile(const std::string& path, SampleFileSummary& summary, std::string& error) {
  summary = SampleFileSummary{};
  error.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = Format("Cannot Open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
    return 0;
  }
  summary.magicOk = CheckSampleMagic(file, summary.header) == 1;
  summary.fileSize = SampleFileSize(file);
  if (!summary.magicOk) {
    std::fclose(file);
    error = Format("Invalid %s File:\r\n%s", ExtensionOf(path).c_str(), path.c_str());
    return 0;
  }
  summary.problem = SampleHeaderProblem(summary.header);
  if (summary.problem.empty()) {
    for (;;) {
      SampleBlockSpot spot;
      std::string problem;
      BlockWalk walk = StepOverSampleBlock(file, summary.header, summary.fileSize, spot, problem);
      if (walk == BlockWalk::kEnd) break;
      if (walk != BlockWalk::kBlock) {
        summary.problem =
            Format("block at byte %lld: %s", static_cast<long long>(spot.offset), problem.c_str());
        break;
      }
      // Sound means readable: every block is decompressed and its values
      // checked, not only its header.
      std::vector<uint8_t> records(spot.header.uncompressedLength);
      BlockStatus status = BlockStatus::kOk;
      if (fseeko(file, static_cast<off_t>(spot.offset + kSampleBlockHeaderSize), SEEK_SET) != 0)
        status = BlockStatus::kTruncated;
      else
        status = ReadSampleBlockBody(file, spot.header, records.data(), records.size());
      std::string wrong = status == BlockStatus::kOk
                              ? SampleRecordsProblem(summary.header, records.data(), spot.header.count)
                              : DescribeBlockStatus(status);
      if (!wrong.empty()) {
        summary.problem =
            Format("block at byte %lld: %s", static_cast<long long>(spot.offset), wrong.c_str());
        break;
      }
      ++summary.blocks;
      summary.recordsInBlocks += spot.header.count;
    }
  }
  std::fclose(file);
  return 1;
}

}  // namespace mixora
