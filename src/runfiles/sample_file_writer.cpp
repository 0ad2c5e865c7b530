#include "runfiles/sample_file_writer.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "core/c_locale.h"
#include "core/paths.h"
#include "core/version.h"
#include "runfiles/block_undo.h"
#include "runfiles/run_file_names.h"
#include "runfiles/run_fingerprint.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"
#include "core/system_error.h"

namespace mixora {
namespace {


constexpr uint32_t kErrorBox = uint32_t{kMbOk} | uint32_t{kMbIconError};
constexpr uint32_t kInfoBox = uint32_t{kMbOk} | uint32_t{kMbIconInformation};
constexpr uint32_t kOverwriteBox = uint32_t{kMbYesToAllYesNo} | uint32_t{kMbIconQuestion};

uint32_t ChainType(int chainIndex) {
  return chainIndex >= 0 ? MessageForChain(chainIndex + 1) : 0;
}

std::string LocalDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return FormatDateTimeC(local);
}

const char* KindExtension(SampleKind kind) {
  return kind == SampleKind::kAssignment ? "Sta" : "Ise";
}

SampleFileWriter& WriterOf(ChainSampleFiles& files, SampleKind kind) {
  return kind == SampleKind::kAssignment ? files.assignment : files.composition;
}

uint32_t RecordBytes(const SampleFileWriter& w) { return w.valuesPerRecord * w.elementSize; }

int TruncateHere(std::FILE* file) {
  if (std::fflush(file) != 0) return 0;
  off_t at = ftello(file);
  if (at < 0 || ftruncate(fileno(file), at) != 0) return 0;
  return fseeko(file, at, SEEK_SET) == 0 ? 1 : 0;
}

int TruncateAt(std::FILE* file, int64_t length) {
  if (std::fflush(file) != 0 || ftruncate(fileno(file), static_cast<off_t>(length)) != 0) return 0;
  return fseeko(file, static_cast<off_t>(length), SEEK_SET) == 0 ? 1 : 0;
}

// Writes the pending records as one block. A failed write is cut back off
// the file so it stays readable, and the records stay pending. A block that
// overwrites the last one in place is guarded by an undo file and, when it
// fails, the old block is put back.
int FlushWriter(SampleFileWriter& w) {
  if (w.pending == 0) return 1;
  if (w.file == nullptr) return 0;
  off_t start = ftello(w.file);
  if (start < 0) return 0;
  const bool replacing = w.truncateAfterWrite && w.replacedOffset >= 0;
  if (replacing && SaveBlockUndo(w.path, w.replacedOffset, w.replacedBlock) == 0) return 0;
  // Flushed at once so that a full disk shows here, while the block can
  // still be taken back, rather than at some later write.
  if (WriteSampleBlock(w.file, w.buffer.data(), w.pending,
                       static_cast<std::size_t>(w.pending) * RecordBytes(w)) == 0 ||
      std::fflush(w.file) != 0) {
    std::clearerr(w.file);
    if (!replacing) {
      TruncateAt(w.file, start);
    } else if (PutBlockBack(w.file, w.replacedOffset, w.replacedBlock) == 1) {
      DropBlockUndo(w.path);
      fseeko(w.file, static_cast<off_t>(w.replacedOffset), SEEK_SET);
    }
    return 0;
  }
  if (w.truncateAfterWrite) {
    if (TruncateHere(w.file) == 0) return 0;
    if (replacing) {
      // The undo file may go only once the new block is on disk.
      if (CommitFile(w.file) == 0) return 0;
      DropBlockUndo(w.path);
      w.replacedBlock.clear();
      w.replacedOffset = -1;
    }
    w.truncateAfterWrite = false;
  }
  w.pending = 0;
  return 1;
}

// The bytes of a block as stored: its header and compressed data.
int ReadStoredBlock(std::FILE* file, const SampleBlockSpot& spot, std::vector<uint8_t>& bytes) {
  bytes.assign(kSampleBlockHeaderSize + spot.header.compressedLength, 0);
  return fseeko(file, static_cast<off_t>(spot.offset), SEEK_SET) == 0 &&
                 std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()
             ? 1
             : 0;
}

uint8_t* NextRow(SampleFileWriter& w) {
  if (w.pending >= w.capacity && FlushWriter(w) == 0) return nullptr;
  return w.buffer.data() + static_cast<std::size_t>(w.pending) * RecordBytes(w);
}

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Asks "Overwrite %s" for an existing file unless every file of the run may
// be replaced already. True when the file may be replaced.
bool MayReplace(const std::string& path, bool& overwriteAll, const Interaction& ui,
                int chainIndex) {
  if (overwriteAll || !FileExists(path)) return true;
  int answer = ShowMessage(ui, kOverwriteBox | ChainType(chainIndex), "Overwrite %s", path.c_str());
  if (answer == kIdYesToAll) overwriteAll = true;
  return answer == kIdYesToAll || answer == kIdYes;
}

std::FILE* OpenTextFileAsked(const std::string& path, const char* mode, const Interaction& ui,
                             int chainIndex) {
  std::string openMode;
  for (const char* m = mode; *m != '\0'; ++m)
    if (*m != 'c') openMode += *m;
  std::FILE* file = nullptr;
  if (mode[0] != 'r' || FileExists(path)) file = std::fopen(path.c_str(), openMode.c_str());
  if (file == nullptr)
    ShowMessage(ui, kErrorBox | ChainType(chainIndex), "Cannot Open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
  return file;
}

int Fail(std::string& error, const std::string& text) {
  error = text;
  return 0;
}

std::string Describe(const char* format, const std::string& a, const std::string& b) {
  char text[1200];
  std::snprintf(text, sizeof text, format, a.c_str(), b.c_str());
  return text;
}

}  // namespace

int32_t ClampSaveEvery(int32_t saveEvery) {
  if (saveEvery < 100) saveEvery = 100;
  if (saveEvery > 5000) saveEvery = 5000;
  return saveEvery / 100 * 100;
}

int32_t ScaleProportion(double proportion) {
  double scaled = proportion * 100000000.0;
  if (!(scaled >= 0.0)) return 0;
  if (scaled >= 2147483647.0) return 2147483647;
  return static_cast<int32_t>(scaled);
}

std::FILE* OpenRunTextFile(const std::string& path, const char* mode, bool& overwriteAll,
                           const Interaction& ui, int chainIndex) {
  if (mode[0] == 'w' && !MayReplace(path, overwriteAll, ui, chainIndex)) return nullptr;
  return OpenTextFileAsked(path, mode, ui, chainIndex);
}

int CommitFile(std::FILE* file) {
  if (file == nullptr || std::fflush(file) != 0) return 0;
  return fsync(fileno(file)) == 0 ? 1 : 0;
}

namespace {

std::FILE* OpenSampleFile(ChainSampleFiles& files, RunRecord& run, int chainIndex, SampleKind kind,
                          bool resuming, bool asked, const Interaction& ui) {
  SampleFileWriter& w = WriterOf(files, kind);
  const bool assignments = kind == SampleKind::kAssignment;
  w.path = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup,
                            assignments ? kExtAssignments : kExtComposition);
  w.valuesPerRecord = static_cast<uint32_t>(
      assignments ? run.fishCount : run.settings.NumberOfStocks);
  w.thinning = static_cast<uint32_t>(assignments ? run.settings.ThinSta : run.settings.ThinIse);
  w.elementSize = assignments ? kAssignmentElementSize : kCompositionElementSize;
  w.capacity = static_cast<uint32_t>(ClampSaveEvery(run.settings.SaveEvery));
  w.inputsTag = run.inputsFingerprint != 0 ? SampleInputsTag(run.inputsFingerprint) : 0;
  w.pending = 0;
  w.truncateAfterWrite = false;
  w.replacedBlock.clear();
  w.replacedOffset = -1;
  uint32_t chain = ChainType(chainIndex);

  if (!resuming && !asked && !MayReplace(w.path, run.overwriteAll, ui, chainIndex)) return nullptr;
  std::FILE* file = std::fopen(w.path.c_str(), resuming ? "r+b" : "w+b");
  if (file == nullptr) {
    ShowMessage(ui, kErrorBox | chain, "Cannot Open %s: %s", w.path.c_str(), SystemErrorText(errno).c_str());
    return nullptr;
  }

  if (resuming) {
    SampleFileHeader header;
    std::string problem;
    if (CheckSampleMagic(file, header) == 0) {
      ShowMessage(ui, kErrorBox | chain, "Invalid %s File:\r\n%s",
                  KindExtension(kind), w.path.c_str());
      std::fclose(file);
      return nullptr;
    }
    problem = SampleHeaderProblem(header);
    // Appending records of another width or thinning would make the whole
    // file unreadable, so a file written for another run is refused.
    if (problem.empty() && header.valuesPerRecord != w.valuesPerRecord)
      problem = "values per record: file " + std::to_string(header.valuesPerRecord) + ", run " +
                std::to_string(w.valuesPerRecord);
    if (problem.empty() && header.elementSize != w.elementSize)
      problem = "element size " + std::to_string(header.elementSize);
    if (problem.empty() && header.thinning != w.thinning)
      problem = "thinning: file " + std::to_string(header.thinning) + ", run " +
                std::to_string(w.thinning);
    if (!problem.empty()) {
      ShowMessage(ui, kErrorBox | chain, "Invalid %s File:\r\n%s\r\n%s",
                  KindExtension(kind), w.path.c_str(), problem.c_str());
      std::fclose(file);
      return nullptr;
    }
    w.capacity = header.blockCapacity;
    if (std::fseek(file, 0, SEEK_END) != 0) {
      ShowMessage(ui, kErrorBox | chain, "Cannot Open %s: %s", w.path.c_str(), SystemErrorText(errno).c_str());
      std::fclose(file);
      return nullptr;
    }
  } else if (WriteSampleHeader(file, w.valuesPerRecord, w.thinning, w.total, w.capacity,
                               w.elementSize, w.inputsTag) == 0) {
    ShowMessage(ui, kErrorBox | chain, "Cannot Open %s: %s", w.path.c_str(), SystemErrorText(errno).c_str());
    std::fclose(file);
    return nullptr;
  } else {
    // An undo file of the file this one replaces must never be applied to it.
    DropBlockUndo(w.path);
  }
  w.file = file;
  return file;
}

}  // namespace

std::FILE* OpenSampleFileForWriting(ChainSampleFiles& files, RunRecord& run, int chainIndex,
                                    SampleKind kind, bool resuming, const Interaction& ui) {
  return OpenSampleFile(files, run, chainIndex, kind, resuming, false, ui);
}

int ResumeSampleFile(SampleFileWriter& w, uint32_t recordsToKeep, std::string& error) {
  return ResumeSampleFile(w, recordsToKeep, -1, error);
}

int64_t PendingAtIteration(int64_t t, uint32_t thinning, uint32_t capacity,
                           uint32_t compositionThinning, uint32_t compositionCapacity) {
  if (t <= 0 || thinning == 0 || capacity == 0 || compositionThinning == 0 ||
      compositionCapacity == 0)
    return 0;
  const int64_t perSave = int64_t{compositionThinning} * compositionCapacity;
  const int64_t lastSave = t / perSave * perSave;
  const int64_t since = t / thinning - lastSave / thinning;
  return since == 0 ? 0 : (since - 1) % capacity + 1;
}

int ResumeSampleFile(SampleFileWriter& w, uint32_t recordsToKeep, int64_t pendingToKeep,
                     std::string& error) {
  error.clear();
  w.pending = 0;
  w.truncateAfterWrite = false;
  w.replacedBlock.clear();
  w.replacedOffset = -1;
  if (ApplyBlockUndo(w.file, w.path, error) == 0) return 0;
  SampleFileHeader header = MakeSampleFileHeader(w.valuesPerRecord, w.thinning, 0, w.capacity,
                                                 w.elementSize);
  int64_t fileSize = SampleFileSize(w.file);
  if (fileSize < 0 || fseeko(w.file, static_cast<off_t>(kSampleFileHeaderSize), SEEK_SET) != 0) {
    error = "Cannot read " + w.path;
    return 0;
  }

  // Walk block headers until recordsToKeep records are covered. Whatever
  // lies beyond (blocks written after the restart file, a block torn by a
  // crash) is not looked at: it is cut off below.
  uint64_t covered = 0;
  bool haveLast = false;
  SampleBlockSpot last;
  uint32_t keptInLast = 0;
  while (covered < recordsToKeep) {
    SampleBlockSpot spot;
    std::string problem;
    BlockWalk walk = StepOverSampleBlock(w.file, header, fileSize, spot, problem);
    if (walk == BlockWalk::kBad) {
      error = Describe("Corrupt file\r\n%s\r\n%s", w.path,
                       "block at byte " + std::to_string(spot.offset) + ": " + problem);
      return 0;
    }
    if (walk != BlockWalk::kBlock) break;
    // New records must not be appended to a file whose kept records cannot
    // be read back: every kept block is decompressed and checked first.
    {
      std::vector<uint8_t> records(spot.header.uncompressedLength);
      BlockStatus status = BlockStatus::kTruncated;
      if (fseeko(w.file, static_cast<off_t>(spot.offset + kSampleBlockHeaderSize), SEEK_SET) == 0)
        status = ReadSampleBlockBody(w.file, spot.header, records.data(), records.size());
      std::string wrong = status == BlockStatus::kOk
                              ? SampleRecordsProblem(header, records.data(), spot.header.count)
                              : DescribeBlockStatus(status);
      if (!wrong.empty()) {
        error = Describe("Corrupt file\r\n%s\r\n%s", w.path,
                         "block at byte " + std::to_string(spot.offset) + ": " + wrong);
        return 0;
      }
    }
    haveLast = true;
    last = spot;
    keptInLast = static_cast<uint32_t>(
        std::min<uint64_t>(spot.header.count, recordsToKeep - covered));
    covered += keptInLast;
  }
  if (covered < recordsToKeep) {
    error = Describe("%s\r\n%s", w.path,
                     "holds " + std::to_string(covered) + " records, the restart file counts " +
                         std::to_string(recordsToKeep));
    return 0;
  }

  int64_t keptEnd = static_cast<int64_t>(kSampleFileHeaderSize);
  bool straddles = haveLast && keptInLast < last.header.count;
  if (haveLast) {
    keptEnd = last.offset + static_cast<int64_t>(kSampleBlockHeaderSize) +
              last.header.compressedLength;
    // The last kept block is read whole when it becomes pending records or
    // loses its trailing records.
    if (keptInLast < w.capacity || straddles) {
      if (ReadStoredBlock(w.file, last, w.replacedBlock) == 0 ||
          fseeko(w.file, static_cast<off_t>(last.offset + kSampleBlockHeaderSize), SEEK_SET) != 0)
        return Fail(error, "Cannot read " + w.path);
      std::vector<uint8_t> records(last.header.uncompressedLength);
      BlockStatus status =
          ReadSampleBlockBody(w.file, last.header, records.data(), records.size());
      if (status != BlockStatus::kOk) {
        error = Describe("Corrupt file\r\n%s\r\n%s", w.path,
                         "block at byte " + std::to_string(last.offset) + ": " +
                             DescribeBlockStatus(status));
        return 0;
      }
      std::size_t keptBytes = static_cast<std::size_t>(keptInLast) * RecordBytes(w);
      std::memcpy(w.buffer.data(), records.data(), keptBytes);
      if (straddles) {
        if (SaveBlockUndo(w.path, last.offset, w.replacedBlock) == 0 ||
            fseeko(w.file, static_cast<off_t>(last.offset), SEEK_SET) != 0 ||
            WriteSampleBlock(w.file, records.data(), keptInLast, keptBytes) == 0)
          return Fail(error, "Cannot write " + w.path);
        keptEnd = ftello(w.file);
      }
    }
  }
  if (TruncateAt(w.file, keptEnd) == 0 ||
      WriteSampleHeader(w.file, w.valuesPerRecord, w.thinning, recordsToKeep, w.capacity,
                        w.elementSize, w.inputsTag) == 0) {
    error = "Cannot write " + w.path;
    return 0;
  }
  if (straddles) {
    // The cut block is on disk: its undo file has done its work, and the
    // block a later overwrite replaces is the cut one.
    last.header.compressedLength =
        static_cast<uint32_t>(keptEnd - last.offset - static_cast<int64_t>(kSampleBlockHeaderSize));
    if (CommitFile(w.file) == 0 || ReadStoredBlock(w.file, last, w.replacedBlock) == 0)
      return Fail(error, "Cannot write " + w.path);
    DropBlockUndo(w.path);
  }
  // A partial last block is taken back only when it holds what was pending
  // at the save: one written by a save itself stays as it is.
  const bool reload = haveLast && keptInLast < w.capacity &&
                      (pendingToKeep < 0 || pendingToKeep == int64_t{keptInLast});
  if (reload) {
    w.pending = keptInLast;
    w.truncateAfterWrite = true;
    w.replacedOffset = last.offset;
    if (fseeko(w.file, static_cast<off_t>(last.offset), SEEK_SET) != 0)
      return Fail(error, "Cannot read " + w.path);
  } else if (std::fseek(w.file, 0, SEEK_END) != 0) {
    return Fail(error, "Cannot read " + w.path);
  }
  std::fflush(w.file);
  return 1;
}

int OpenChainOutputs(ChainSampleFiles& files, RunRecord& run, int chainIndex, int32_t seed1,
                     int32_t seed2, bool resuming, const Interaction& ui) {
  const bool logOpen = files.chainLog != nullptr;
  if (!logOpen)
    files.chainLogPath = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtSummary);
  if (!resuming) {
    // A fresh start asks every question before it touches any file, and
    // removes the restart file before it empties the samples that file
    // counts: no answer and no crash can leave a restart file vouching for
    // records that are gone.
    if (!logOpen && !MayReplace(files.chainLogPath, run.overwriteAll, ui, chainIndex)) return 2;
    const std::string sample[] = {
        BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtAssignments),
        BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtComposition)};
    if (!MayReplace(sample[0], run.overwriteAll, ui, chainIndex)) return 4;
    if (!MayReplace(sample[1], run.overwriteAll, ui, chainIndex)) return 6;
    const std::string restart = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtRestart);
    if (std::remove(restart.c_str()) != 0 && errno != ENOENT) {
      ShowMessage(ui, kErrorBox | ChainType(chainIndex), "Cannot Open %s: %s", restart.c_str(), SystemErrorText(errno).c_str());
      return 4;
    }
  }
  if (!logOpen) {
    files.chainLog = resuming ? OpenRunTextFile(files.chainLogPath, "ab+c", run.overwriteAll, ui,
                                                chainIndex)
                              : OpenTextFileAsked(files.chainLogPath, "wbc", ui, chainIndex);
    if (files.chainLog == nullptr) return 2;
    if (!resuming) {
      std::string restartPath = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtRestart);
      std::string compositionPath =
          BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtComposition);
      std::string assignmentPath =
          BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtAssignments);
      std::fprintf(files.chainLog, "%s %s - ", kProgramName, kProgramVersion);
      std::fprintf(files.chainLog, " %s - ", LocalDateTime().c_str());
      std::fprintf(files.chainLog, "Chain #%d\r\n\r\n", chainIndex + 1);
      std::fprintf(files.chainLog, "MCMC Sample of Stock Composition: %s\r\n",
                   compositionPath.c_str());
      std::fprintf(files.chainLog, "File of stock assignments of individuals: %s\r\n",
                   assignmentPath.c_str());
      std::fprintf(files.chainLog, "Binary file for restarting chain: %s\r\n",
                   restartPath.c_str());
      std::fprintf(files.chainLog, "\r\nSeeds for random number generator: %d %d\r\n\r\n", seed1,
                   seed2);
      CommitFile(files.chainLog);
    }
  }

  if (OpenSampleFile(files, run, chainIndex, SampleKind::kAssignment, resuming, true, ui) ==
      nullptr)
    return 4;
  if (OpenSampleFile(files, run, chainIndex, SampleKind::kComposition, resuming, true, ui) ==
      nullptr) {
    std::fclose(files.assignment.file);
    files.assignment.file = nullptr;
    return 6;
  }

  for (SampleFileWriter* w : {&files.assignment, &files.composition})
    w->buffer.assign(static_cast<std::size_t>(w->capacity) * RecordBytes(*w), 0);

  if (resuming) {
    // A damaged or short file would be extended into garbage; the chain is
    // not started on it and the user is told which file and why.
    struct Step {
      SampleFileWriter* writer;
      int code;
    } steps[] = {{&files.assignment, 4}, {&files.composition, 6}};
    for (const Step& step : steps) {
      std::string error;
      const int64_t pending =
          files.resumeIteration < 0
              ? -1
              : PendingAtIteration(files.resumeIteration, step.writer->thinning,
                                   step.writer->capacity, files.composition.thinning,
                                   files.composition.capacity);
      if (ResumeSampleFile(*step.writer, step.writer->total, pending, error) == 0) {
        ShowMessage(ui, kInfoBox | ChainType(chainIndex), "%s", error.c_str());
        for (SampleFileWriter* w : {&files.assignment, &files.composition}) {
          if (w->file != nullptr) std::fclose(w->file);
          w->file = nullptr;
          w->pending = 0;
        }
        return step.code;
      }
    }
  }
  return 0;
}

int AppendCompositionRecord(ChainSampleFiles& files, const int32_t* scaled) {
  SampleFileWriter& w = files.composition;
  uint8_t* row = NextRow(w);
  if (row == nullptr) return 0;
  for (uint32_t s = 0; s < w.valuesPerRecord; ++s)
    PutU32(row + 4 * s, static_cast<uint32_t>(scaled[s]));
  ++w.pending;
  ++w.total;
  return 1;
}

int AppendAssignmentRecord(ChainSampleFiles& files, const int32_t* stockIndexes) {
  SampleFileWriter& w = files.assignment;
  uint8_t* row = NextRow(w);
  if (row == nullptr) return 0;
  for (uint32_t f = 0; f < w.valuesPerRecord; ++f)
    PutU16(row + 2 * f, static_cast<uint32_t>(stockIndexes[f]));
  ++w.pending;
  ++w.total;
  return 1;
}

int FlushChainSamples(ChainSampleFiles& files) {
  int composition = FlushWriter(files.composition);
  int assignment = FlushWriter(files.assignment);
  return composition && assignment ? 1 : 0;
}

int CommitChainSamples(ChainSampleFiles& files) {
  int a = CommitFile(files.assignment.file);
  int c = CommitFile(files.composition.file);
  return a && c ? 1 : 0;
}

int CloseChainSamples(ChainSampleFiles& files) {
  int ok = FlushChainSamples(files);
  for (SampleFileWriter* w : {&files.composition, &files.assignment}) {
    if (w->file == nullptr) {
      ok = 0;
      continue;
    }
    // Records a failed flush could not write are not counted as held.
    uint32_t held = w->total - w->pending;
    if (WriteSampleHeader(w->file, w->valuesPerRecord, w->thinning, held, w->capacity,
                          w->elementSize, w->inputsTag) == 0 ||
        CommitFile(w->file) == 0)
      ok = 0;
    if (std::fclose(w->file) != 0) ok = 0;
    w->file = nullptr;
    w->buffer.clear();
    w->buffer.shrink_to_fit();
    w->truncateAfterWrite = false;
    w->replacedBlock.clear();
    w->replacedOffset = -1;
  }
  return ok;
}

}  // namespace mixora
