#include "reports/output_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "core/file_helpers.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"

namespace mixora {

namespace {

// Receives the records from..to-1 of the block loaded in the reader; number
// is the record number (from 0, counted from the file's start) of `from`.
using PieceSink = std::function<bool(uint32_t number, uint32_t from, uint32_t to)>;

// Hands records skip..skip+count-1 of the source to sink, one piece per
// block. Returns 1 when all count records were handed over.
int WalkPieces(ReportJob& job, SampleFileReader& source, uint32_t skip, uint32_t count,
               const PieceSink& sink) {
  if (count == 0) return 0;
  ReportJobProgress(job, -1, count, "Reading Chain");
  uint32_t index = 0;
  uint32_t inBlock = SeekSampleRecord(source, skip, index);
  uint32_t written = 0;
  while (inBlock != 0) {
    const uint32_t last =
        static_cast<uint32_t>(std::min<uint64_t>(inBlock, static_cast<uint64_t>(index) + (count - written)));
    if (!sink(skip + written, index, last)) return 0;
    written += last - index;
    ReportJobProgress(job, written, count, "Reading Chain");
    if (written == count) return 1;
    if (ReportAborted(job)) return 0;
    index = 0;
    inBlock = ReadNextSampleBlock(source);
  }
  return 0;
}

uint32_t ChainTotal(const std::vector<uint32_t>& totals, int chain, uint32_t headerCount) {
  return static_cast<std::size_t>(chain) < totals.size() ? totals[static_cast<std::size_t>(chain)]
                                                         : headerCount;
}

bool WriteAll(std::FILE* output, const void* data, std::size_t size) {
  return size == 0 || std::fwrite(data, 1, size, output) == size;
}

void PutU16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

// One record of the piece as the conversion sees it: stock values, or the
// sums of the current level's groups.
void RecordValues(const ReportJob& job, const SampleFileReader& source, uint32_t r, bool groups,
                  std::vector<uint64_t>& values) {
  const uint32_t stocks = source.header.valuesPerRecord;
  if (!groups) {
    for (uint32_t s = 0; s < stocks; ++s) values[s] = SampleValue(source, r, s);
    return;
  }
  std::fill(values.begin(), values.end(), 0);
  for (uint32_t s = 0; s < stocks; ++s)
    values[static_cast<std::size_t>(job.groupOfStock[s])] += SampleValue(source, r, s);
}

bool GroupsUsable(const ReportJob& job, uint32_t stocks) {
  if (job.groupCount < 1 || job.groupOfStock.size() != stocks) return false;
  for (int32_t g : job.groupOfStock)
    if (g < 0 || g >= job.groupCount) return false;
  return true;
}

}  // namespace

std::string ConversionOutputPath(const RunRecord& run, const std::string& folder, int chain,
                                 uint32_t kind, bool binaryGraph, int level) {
  const std::string stem = RunTitleOf(run) + "_" + std::to_string(chain + 1);
  std::string name;
  if (kind == kConvertAssignments) {
    name = stem + "_ASCII.Sta";
  } else if (kind == kConvertComposition) {
    name = binaryGraph ? stem + ".gse" : stem + "_ASCII.Ise";
  } else {
    const std::string grouped = stem + "_Grp" + std::to_string(level + 1);
    name = binaryGraph ? grouped + ".gse" : grouped + "_ASCII.Ise";
  }
  return JoinPath(folder, name);
}

uint32_t ConversionSkip(const ReportJob& job, bool assignments) {
  const int64_t skip = std::max<int64_t>(0, static_cast<int64_t>(job.length) - job.conversion.keep);
  const RunSettings& s = job.run->settings;
  if (!assignments || s.ThinIse == s.ThinSta || s.ThinIse < 1 || s.ThinSta < 1)
    return static_cast<uint32_t>(std::min<int64_t>(skip, 0xFFFFFFFF));
  const int64_t records = skip * s.ThinIse / s.ThinSta;
  return static_cast<uint32_t>(std::min<int64_t>(records, 0xFFFFFFFF));
}

uint16_t GraphValue(uint64_t scaled) {
  const uint64_t tenths = (scaled * 1000 + 50000000) / 100000000;
  return static_cast<uint16_t>(std::min<uint64_t>(tenths, 0xFFFF));
}

int ConvertAssignmentsToAscii(ReportJob& job, SampleFileReader& source, int chain,
                              std::FILE* output) {
  const uint32_t stocks = static_cast<uint32_t>(std::max(job.run->settings.NumberOfStocks, 0));
  const uint32_t individuals = source.header.valuesPerRecord;
  const uint32_t skip = ConversionSkip(job, true);
  const uint32_t total = ChainTotal(job.assignmentTotals, chain, source.header.recordCount);
  const uint32_t count = total > skip ? total - skip : 0;
  std::string line;
  for (uint32_t s = 0; s < stocks; ++s) line += "   0";
  line += "\r\n";
  auto sink = [&](uint32_t, uint32_t from, uint32_t to) {
    for (uint32_t r = from; r < to; ++r)
      for (uint32_t i = 0; i < individuals; ++i) {
        const uint32_t stock = SampleValue(source, r, i);
        // A stock the run does not have means a damaged file, not a line of
        // zeros.
        if (stock >= stocks) return false;
        line[static_cast<std::size_t>(stock) * 4 + 3] = '1';
        const bool written = WriteAll(output, line.data(), line.size());
        line[static_cast<std::size_t>(stock) * 4 + 3] = '0';
        if (!written) return false;
      }
    return true;
  };
  return WalkPieces(job, source, skip, count, sink);
}

int ConvertCompositionFile(ReportJob& job, SampleFileReader& source, std::FILE* output,
                           bool groups, bool binaryGraph, int chain) {
  const uint32_t stocks = source.header.valuesPerRecord;
  if (groups && !GroupsUsable(job, stocks)) return 0;
  const uint32_t width = groups ? static_cast<uint32_t>(job.groupCount) : stocks;
  const uint32_t skip = ConversionSkip(job, false);
  const uint32_t total = ChainTotal(job.compositionTotals, chain, source.header.recordCount);
  const uint32_t count = total > skip ? total - skip : 0;
  std::vector<uint64_t> values(width);
  bool headerWritten = false;

  auto asciiPiece = [&](uint32_t number, uint32_t from, uint32_t to) {
    std::string text;
    char field[64];
    for (uint32_t r = from; r < to; ++r) {
      RecordValues(job, source, r, groups, values);
      std::snprintf(field, sizeof field, "%8d", static_cast<int>(number + (r - from) + 1));
      text += field;
      for (uint64_t value : values) {
        std::snprintf(field, sizeof field, " %7.6lf", static_cast<double>(value) / 100000000.0);
        text += field;
      }
      text += "\r\n";
    }
    return WriteAll(output, text.data(), text.size());
  };

  auto graphPiece = [&](uint32_t, uint32_t from, uint32_t to) {
    if (!headerWritten) {
      SampleFileHeader header = MakeSampleFileHeader(
          width, static_cast<uint32_t>(job.run->settings.ThinIse), count, kGraphBlockCapacity,
          kGraphElementSize);
      std::memcpy(header.magic, kGraphFileMagic, kMagicSize);
      uint8_t bytes[kSampleFileHeaderSize];
      EncodeSampleFileHeader(header, bytes);
      if (!WriteAll(output, bytes, sizeof bytes)) return false;
      headerWritten = true;
    }
    // A piece may be longer than the graph file's block capacity (blocks of
    // the source hold up to 5000 records): it is split.
    for (uint32_t start = from; start < to; start += kGraphBlockCapacity) {
      const uint32_t end = std::min(to, start + kGraphBlockCapacity);
      std::vector<uint8_t> data;
      data.reserve(static_cast<std::size_t>(end - start) * width * kGraphElementSize);
      for (uint32_t r = start; r < end; ++r) {
        RecordValues(job, source, r, groups, values);
        for (uint64_t value : values) PutU16(data, GraphValue(value));
      }
      if (WriteSampleBlock(output, data.data(), end - start, data.size()) == 0) return false;
    }
    return true;
  };

  if (binaryGraph) return WalkPieces(job, source, skip, count, graphPiece);
  return WalkPieces(job, source, skip, count, asciiPiece);
}

int WriteGraphTrailer(ReportJob& job, bool groups, int chain, SampleFileReader& source,
                      std::FILE* output) {
  if (ConvertCompositionFile(job, source, output, groups, true, chain) == 0) return 0;
  const RunRecord& run = *job.run;
  std::vector<int32_t> ids = groups ? job.groupIds : run.stockId;
  std::vector<std::string> names = groups ? job.groupNames : run.stockNames;
  const std::size_t count = groups ? static_cast<std::size_t>(job.groupCount)
                                   : static_cast<std::size_t>(source.header.valuesPerRecord);
  ids.resize(count, 0);
  names.resize(count);
  const int recorded = groups ? run.groupNameWidth : run.stockNameWidth;
  const uint32_t slot = static_cast<uint32_t>(NameSlotSize(std::max(recorded, LongestName(names))));

  std::vector<uint8_t> idBytes;
  for (int32_t id : ids) PutU32(idBytes, static_cast<uint32_t>(id));
  std::vector<uint8_t> nameBytes(count * slot, 0);
  for (std::size_t i = 0; i < count; ++i)
    std::memcpy(&nameBytes[i * slot], names[i].data(), std::min<std::size_t>(names[i].size(), slot));
  return WriteSampleBlock(output, idBytes.data(), slot, idBytes.size()) == 1 &&
                 WriteSampleBlock(output, nameBytes.data(), slot, nameBytes.size()) == 1
             ? 1
             : 0;
}

int ConvertOutputs(ReportJob& job, bool /*byRegion*/) {
  RunRecord& run = *job.run;
  const uint32_t flags = job.conversion.flags;
  const bool binary = (flags & kConvertBinaryGraph) != 0;
  const uint32_t stocks = static_cast<uint32_t>(std::max(run.settings.NumberOfStocks, 0));
  const uint32_t individuals = static_cast<uint32_t>(std::max(run.fishCount, 0));
  ShowLabel(job, "Converting:");
  if ((flags & kConvertGroups) != 0 && !GroupsUsable(job, stocks)) {
    ShowMessage(job.ui, kMbIconError, "The run has no grouping level %d that holds every stock",
                job.level + 1);
    return 0;
  }

  for (int c = 0; c < run.settings.NumberOfChains; ++c) {
    for (uint32_t kind : {kConvertAssignments, kConvertComposition, kConvertGroups}) {
      if ((flags & kind) == 0) continue;
      const uint32_t box = kMbIconError | MessageForChain(c + 1);
      const bool assignments = kind == kConvertAssignments;
      const std::string sourcePath = BuildRunFileName(
          run, c, kNoReport, kNoGroup,
          assignments ? kExtAssignments : kind == kConvertGroups ? kExtGroupComposition : kExtComposition);
      const std::string outputPath =
          ConversionOutputPath(run, job.conversion.folder, c, kind, binary && !assignments, job.level);

      SampleFileReader source;
      source.path = sourcePath;
      source.file = std::fopen(sourcePath.c_str(), "rb");
      if (source.file == nullptr) {
        ShowMessage(job.ui, box, "Cannot Open %s: %s", sourcePath.c_str(), SystemErrorText(errno).c_str());
        return 0;
      }
      if (ReportAborted(job)) {
        CloseSampleFileReader(source);
        return 0;
      }
      if (CheckSampleMagic(source.file, source.header) == 0 ||
          !SampleHeaderProblem(source.header).empty() ||
          (source.fileSize = SampleFileSize(source.file)) < 0) {
        CloseSampleFileReader(source);
        ShowMessage(job.ui, box, "%s is not a valid binary Mixora file", sourcePath.c_str());
        return 0;
      }
      const uint32_t expected = assignments ? individuals : stocks;
      const uint32_t element = assignments ? kAssignmentElementSize : kCompositionElementSize;
      if (source.header.valuesPerRecord != expected || source.header.elementSize != element) {
        CloseSampleFileReader(source);
        ShowMessage(job.ui, box, "Dimension mismatch in %s.", sourcePath.c_str());
        return 0;
      }
      PendingFile pending;
      std::FILE* output = CreateOutputFile(job.ui, outputPath, run.overwriteAll, pending);
      if (output == nullptr || ReportAborted(job)) {
        CloseSampleFileReader(source);
        return 0;
      }
      ShowCurrentFile(job, outputPath);

      int done = 0;
      if (assignments)
        done = ConvertAssignmentsToAscii(job, source, c, output);
      else if (binary)
        done = WriteGraphTrailer(job, kind == kConvertGroups, c, source, output);
      else
        done = ConvertCompositionFile(job, source, output, kind == kConvertGroups, false, c);
      CloseSampleFileReader(source);
      // A write that failed (a full disk) is told with the system's reason;
      // the earlier conversion stays as it was.
      if ((done != 0 || std::ferror(output) != 0) && CommitPendingFile(pending) == 0) {
        if (!job.abort.load())
          ShowMessage(job.ui, box, "Error converting %s.\r\n%s", outputPath.c_str(),
                      SystemErrorText(errno).c_str());
        return 0;
      }
      if (done == 0) {
        // The input is what is usually wrong; its reader says which and where.
        if (!job.abort.load()) {
          if (source.error.empty())
            ShowMessage(job.ui, box, "Error converting %s.", outputPath.c_str());
          else
            ShowMessage(job.ui, box, "Error converting %s.\r\n%s", outputPath.c_str(),
                        source.error.c_str());
        }
        return 0;
      }
      job.filesWritten.push_back(outputPath);
    }
  }
  return 1;
}

}  // namespace mixora
