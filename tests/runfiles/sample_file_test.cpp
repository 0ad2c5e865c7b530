#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <utility>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "runfiles/block_undo.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"
#include "runfiles/sample_file_writer.h"
#include "runfiles/sample_files_fixture.h"

namespace mixora {
namespace {

using namespace testing_samples;

// Block counts found by walking the raw bytes, independently of the reader.
std::vector<uint32_t> BlockCounts(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> counts;
  std::size_t at = kSampleFileHeaderSize;
  while (at + kSampleBlockHeaderSize <= bytes.size()) {
    SampleBlockHeader h = DecodeSampleBlockHeader(bytes.data() + at);
    counts.push_back(h.count);
    at += kSampleBlockHeaderSize + h.compressedLength;
  }
  EXPECT_EQ(at, bytes.size()) << "bytes after the last block";
  return counts;
}

SampleFileHeader HeaderOf(const std::vector<uint8_t>& bytes) {
  return DecodeSampleFileHeader(bytes.data());
}

// Every record of the file, read through the reader.
std::vector<std::vector<uint32_t>> ReadAll(const std::string& path, uint32_t count) {
  SampleFileReader reader;
  EXPECT_EQ(OpenSampleFileForReading(reader, path), 1) << reader.error;
  std::vector<std::vector<uint32_t>> records;
  auto sink = [&](uint32_t, const uint32_t* v) {
    records.emplace_back(v, v + reader.header.valuesPerRecord);
    return true;
  };
  EXPECT_EQ(ReadKeptRecords(reader, 0, count, sink), 1) << reader.error;
  CloseSampleFileReader(reader);
  return records;
}

void ExpectCompositionRecords(const std::string& path, uint32_t count, uint32_t stocks,
                              int chain = 0) {
  auto records = ReadAll(path, count);
  ASSERT_EQ(records.size(), count);
  for (uint32_t r = 0; r < count; ++r)
    for (uint32_t s = 0; s < stocks; ++s)
      ASSERT_EQ(records[r][s], static_cast<uint32_t>(CompositionValue(r, s, chain, stocks))) << r << " " << s;
}

void ExpectAssignmentRecords(const std::string& path, uint32_t count, uint32_t fish,
                             uint32_t stocks) {
  auto records = ReadAll(path, count);
  ASSERT_EQ(records.size(), count);
  for (uint32_t r = 0; r < count; ++r)
    for (uint32_t f = 0; f < fish; ++f)
      ASSERT_EQ(records[r][f], static_cast<uint32_t>(AssignmentValue(r, f, stocks))) << r;
}

TEST(SampleFileWriter, SaveEveryIsClampedAndRoundedDown) {
  struct Case {
    int32_t given, used;
  } cases[] = {{150, 100}, {7000, 5000}, {50, 100}, {2399, 2300}, {5000, 5000}, {-3, 100}};
  for (const Case& c : cases) EXPECT_EQ(ClampSaveEvery(c.given), c.used) << c.given;

  TempFolder folder;
  RunRecord run = SmallRun(folder, 3, 2, 150);
  WriteChain(run, 0, 5);
  EXPECT_EQ(HeaderOf(ReadBytes(folder.File("T_POP_01_01.Ise"))).blockCapacity, 100u);
  EXPECT_EQ(HeaderOf(ReadBytes(folder.File("T_POP_01_01.Sta"))).blockCapacity, 100u);
}

TEST(SampleFileWriter, ProportionsAreScaledAndTruncated) {
  struct Case {
    double p;
    int32_t scaled;
  } cases[] = {{0.5, 50000000},        {0.3333333333, 33333333}, {0.1666666667, 16666666},
               {0.0, 0},               {1.0, 100000000},         {0.999999999, 99999999},
               {-1e-17, 0},            {std::nan(""), 0}};
  for (const Case& c : cases) EXPECT_EQ(ScaleProportion(c.p), c.scaled) << c.p;
}

TEST(SampleFileWriter, ChainWritesHeadersBlocksAndLogHead) {
  TempFolder folder;
  RunRecord run = SmallRun(folder, 3, 4, 1000);
  WriteChain(run, 1, 2350);

  auto ise = ReadBytes(folder.File("T_POP_01_02.Ise"));
  SampleFileHeader h = HeaderOf(ise);
  EXPECT_EQ(std::vector<uint8_t>(h.magic, h.magic + 8),
            std::vector<uint8_t>(kSampleFileMagic, kSampleFileMagic + 8));
  EXPECT_EQ(h.blockCapacity, 1000u);
  EXPECT_EQ(h.recordCount, 2350u);
  EXPECT_EQ(h.valuesPerRecord, 3u);
  EXPECT_EQ(h.thinning, 1u);
  EXPECT_EQ(h.elementSize, 4u);
  EXPECT_EQ(h.reserved, 0u);
  EXPECT_EQ(BlockCounts(ise), (std::vector<uint32_t>{1000, 1000, 350}));
  ExpectCompositionRecords(folder.File("T_POP_01_02.Ise"), 2350, 3, 1);

  auto sta = ReadBytes(folder.File("T_POP_01_02.Sta"));
  EXPECT_EQ(HeaderOf(sta).valuesPerRecord, 4u);
  EXPECT_EQ(HeaderOf(sta).elementSize, 2u);
  EXPECT_EQ(HeaderOf(sta).recordCount, 2350u);
  ExpectAssignmentRecords(folder.File("T_POP_01_02.Sta"), 2350, 4, 3);

  auto log = ReadBytes(folder.File("T_POP_01_02.Sum"));
  std::string text(log.begin(), log.end());
  std::string f = folder.File("T_POP_01_02.");
  std::regex head("Mixora v5\\.01 -  [A-Z][a-z]{2} \\d\\d, \\d{4} \\d\\d:\\d\\d:\\d\\d - Chain #2\r\n\r\n");
  EXPECT_TRUE(std::regex_search(text, head)) << text;
  EXPECT_NE(text.find("\r\n\r\nMCMC Sample of Stock Composition: " + f + "Ise\r\n"
                      "File of stock assignments of individuals: " + f + "Sta\r\n"
                      "Binary file for restarting chain: " + f + "Rst\r\n"
                      "\r\nSeeds for random number generator: 11 22\r\n\r\n"),
            std::string::npos)
      << text;
}

// When assignments are kept more often than compositions, the assignment
// buffer fills first and is written on its own, never beyond its capacity.
TEST(SampleFileWriter, AssignmentBufferNeverOutgrowsItsCapacity) {
  TempFolder folder;
  RunRecord run = SmallRun(folder, 3, 5, 100);
  ChainSampleFiles files;
  ASSERT_EQ(OpenChainOutputs(files, run, 0, 1, 2, false, {}), 0);
  AppendRecords(files, 250, 0, 3);
  EXPECT_LE(files.assignment.pending, files.assignment.capacity);
  ASSERT_EQ(CloseChainSamples(files), 1);
  std::fclose(files.chainLog);

  auto sta = ReadBytes(folder.File("T_POP_01_01.Sta"));
  EXPECT_EQ(HeaderOf(sta).recordCount, 750u);
  uint32_t sum = 0;
  for (uint32_t count : BlockCounts(sta)) {
    EXPECT_LE(count, 100u);
    sum += count;
  }
  EXPECT_EQ(sum, 750u);
  ExpectAssignmentRecords(folder.File("T_POP_01_01.Sta"), 750, 5, 3);
  EXPECT_EQ(BlockCounts(ReadBytes(folder.File("T_POP_01_01.Ise"))),
            (std::vector<uint32_t>{100, 100, 50}));
}

TEST(SampleFileWriter, ExistingOutputsNeedConsent) {
  TempFolder folder;
  RunRecord run = SmallRun(folder, 2, 2, 100);
  WriteChain(run, 0, 3);
  auto before = ReadBytes(folder.File("T_POP_01_01.Ise"));

  MessageLog no;
  no.answer = kIdNo;
  ChainSampleFiles refused;
  EXPECT_EQ(OpenChainOutputs(refused, run, 0, 1, 2, false, no.ui), 2);
  ASSERT_EQ(no.texts.size(), 1u);
  EXPECT_EQ(no.texts[0], "Overwrite " + folder.File("T_POP_01_01.Sum"));
  EXPECT_EQ(ReadBytes(folder.File("T_POP_01_01.Ise")), before);

  MessageLog all;
  all.answer = kIdYesToAll;
  WriteChain(run, 0, 7, all.ui);
  EXPECT_EQ(all.texts.size(), 1u) << "Yes to All holds for the later files";
  EXPECT_TRUE(run.overwriteAll);
  EXPECT_EQ(HeaderOf(ReadBytes(folder.File("T_POP_01_01.Ise"))).recordCount, 7u);
}

// A chain is stopped (closed) or killed (files left as the last flush left
// them, header count stale), then resumed with the totals of its restart
// file. Blocks beyond those totals are cut off, a straddling block keeps its
// leading records, a partial last block is overwritten in place by the next
// flush and a full one is followed by new blocks.
TEST(SampleFileWriter, ResumeKeepsExactlyTheRestartTotals) {
  struct Case {
    const char* name;
    uint32_t written;    // records appended before the stop
    bool closed;         // false: the process died after its last flush
    uint32_t keep;       // the restart file's total
    uint32_t pending;    // records preloaded on resume
    std::vector<uint32_t> blocksAfterResume;
    std::vector<uint32_t> blocksAtEnd;  // after 120 more records and a close
  } cases[] = {
      {"partial last block", 2350, true, 2350, 350, {1000, 1000, 350}, {1000, 1000, 470}},
      {"full last block", 2000, true, 2000, 0, {1000, 1000}, {1000, 1000, 120}},
      {"crash: straddling block cut", 3000, false, 1500, 500, {1000, 500}, {1000, 620}},
      {"crash: cut at a block end", 3000, false, 2000, 0, {1000, 1000}, {1000, 1000, 120}},
      {"crash: partial kept block", 2350, false, 2350, 350, {1000, 1000, 350}, {1000, 1000, 470}},
      {"crash before the first save", 3000, false, 0, 0, {}, {120}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    RunRecord run = SmallRun(folder, 3, 4, 1000);
    ChainSampleFiles files;
    ASSERT_EQ(OpenChainOutputs(files, run, 0, 1, 2, false, {}), 0);
    AppendRecords(files, c.written);
    if (c.closed) {
      ASSERT_EQ(CloseChainSamples(files), 1);
    } else {
      ASSERT_EQ(FlushChainSamples(files), 1);
      std::fclose(files.assignment.file);
      std::fclose(files.composition.file);
    }
    std::fclose(files.chainLog);
    const std::string ise = folder.File("T_POP_01_01.Ise");
    const std::string sta = folder.File("T_POP_01_01.Sta");
    if (!c.closed) {
      // A block torn by the crash trails the file.
      auto bytes = ReadBytes(ise);
      std::vector<uint8_t> torn = {7, 0, 0, 0, 84, 0, 0, 0, 60, 0, 0, 0, 0x78};
      bytes.insert(bytes.end(), torn.begin(), torn.end());
      WriteBytes(ise, bytes);
    }

    ChainSampleFiles resumed;
    resumed.assignment.total = c.keep;
    resumed.composition.total = c.keep;
    MessageLog log;
    ASSERT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, log.ui), 0)
        << (log.texts.empty() ? "" : log.texts[0]);
    EXPECT_EQ(resumed.composition.pending, c.pending);
    EXPECT_EQ(resumed.assignment.pending, c.pending);
    std::fflush(resumed.composition.file);
    EXPECT_EQ(BlockCounts(ReadBytes(ise)), c.blocksAfterResume);
    EXPECT_EQ(HeaderOf(ReadBytes(ise)).recordCount, c.keep);
    ExpectCompositionRecords(ise, c.keep, 3);

    AppendRecords(resumed, 120);
    ASSERT_EQ(CloseChainSamples(resumed), 1);
    std::fclose(resumed.chainLog);
    EXPECT_EQ(BlockCounts(ReadBytes(ise)), c.blocksAtEnd);
    EXPECT_EQ(BlockCounts(ReadBytes(sta)), c.blocksAtEnd);
    EXPECT_EQ(HeaderOf(ReadBytes(ise)).recordCount, c.keep + 120);
    ExpectCompositionRecords(ise, c.keep + 120, 3);
    ExpectAssignmentRecords(sta, c.keep + 120, 4, 3);
  }
}

// The rewritten block may compress shorter than the one it replaces: no
// bytes of the old block may stay behind it.
TEST(SampleFileWriter, InPlaceRewriteLeavesNoTail) {
  TempFolder folder;
  RunRecord run = SmallRun(folder, 2, 1, 100);
  ChainSampleFiles files;
  ASSERT_EQ(OpenChainOutputs(files, run, 0, 1, 2, false, {}), 0);
  // Fifty records of noise compress poorly...
  std::mt19937 noise(5);
  for (int i = 0; i < 50; ++i) {
    // (each a share a chain can write: together the whole)
    const int32_t first = static_cast<int32_t>(noise() % 100000000);
    int32_t v[2] = {first, 100000000 - first};
    int32_t a[1] = {0};
    ASSERT_EQ(AppendCompositionRecord(files, v), 1);
    ASSERT_EQ(AppendAssignmentRecord(files, a), 1);
  }
  ASSERT_EQ(CloseChainSamples(files), 1);
  std::fclose(files.chainLog);
  const std::string ise = folder.File("T_POP_01_01.Ise");
  const std::size_t oldSize = ReadBytes(ise).size();

  // ...and the resumed block gets the same records back, made constant.
  ChainSampleFiles resumed;
  resumed.assignment.total = resumed.composition.total = 50;
  ASSERT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, {}), 0);
  ASSERT_EQ(resumed.composition.pending, 50u);
  const int32_t half = 50000000;
  for (std::size_t at = 0; at + sizeof half <= resumed.composition.buffer.size(); at += sizeof half)
    std::memcpy(resumed.composition.buffer.data() + at, &half, sizeof half);
  int32_t v[2] = {50000000, 50000000}, a[1] = {0};
  ASSERT_EQ(AppendCompositionRecord(resumed, v), 1);
  ASSERT_EQ(AppendAssignmentRecord(resumed, a), 1);
  ASSERT_EQ(CloseChainSamples(resumed), 1);
  std::fclose(resumed.chainLog);
  auto bytes = ReadBytes(ise);
  EXPECT_LT(bytes.size(), oldSize);
  EXPECT_EQ(BlockCounts(bytes), (std::vector<uint32_t>{51}));
}

TEST(SampleFileWriter, ResumeRefusesFilesItCannotContinue) {
  struct Case {
    const char* name;
    int stocksOnResume;
    uint32_t keep;
    int result;
    const char* message;
  } cases[] = {
      {"fewer records than the restart file", 3, 400, 4, "holds 300 records, the restart file counts 400"},
      {"another run's stock count", 4, 300, 6, "Invalid Ise File:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    RunRecord run = SmallRun(folder, 3, 4, 100);
    WriteChain(run, 0, 300);
    run.settings.NumberOfStocks = c.stocksOnResume;
    ChainSampleFiles resumed;
    resumed.assignment.total = resumed.composition.total = c.keep;
    MessageLog log;
    EXPECT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, log.ui), c.result);
    ASSERT_FALSE(log.texts.empty());
    EXPECT_NE(log.texts.back().find(c.message), std::string::npos) << log.texts.back();
    EXPECT_EQ(resumed.assignment.file, nullptr);
    EXPECT_EQ(resumed.composition.file, nullptr);
    if (resumed.chainLog != nullptr) std::fclose(resumed.chainLog);
  }

  // A block whose count does not fit the header is reported as corrupt.
  TempFolder folder;
  RunRecord run = SmallRun(folder, 3, 4, 100);
  WriteChain(run, 0, 300);
  const std::string sta = folder.File("T_POP_01_01.Sta");
  auto bytes = ReadBytes(sta);
  bytes[kSampleFileHeaderSize] = 0;  // first block's count
  WriteBytes(sta, bytes);
  ChainSampleFiles resumed;
  resumed.assignment.total = resumed.composition.total = 300;
  MessageLog log;
  EXPECT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, log.ui), 4);
  ASSERT_FALSE(log.texts.empty());
  EXPECT_EQ(log.texts.back().rfind("Corrupt file\r\n" + sta, 0), 0u) << log.texts.back();
  std::fclose(resumed.chainLog);
}

// Where each block lies in the raw bytes: offset and stored length.
std::vector<std::pair<std::size_t, std::size_t>> BlockSpans(const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t at = kSampleFileHeaderSize;
  while (at + kSampleBlockHeaderSize <= bytes.size()) {
    const std::size_t length =
        kSampleBlockHeaderSize + DecodeSampleBlockHeader(bytes.data() + at).compressedLength;
    spans.emplace_back(at, length);
    at += length;
  }
  return spans;
}

// A resumed chain's first save rewrites the last block in place, over
// records its restart file counts; so does the cut of a block straddling
// the restart total. A crash anywhere in those writes must leave a file the
// next resume mends to exactly the restart file's records.
TEST(SampleFileWriter, CrashDuringAnInPlaceRewriteLosesNoCountedRecord) {
  enum Moment { kInsideNewBlock, kAfterNewBlock, kWhileSavingUndo, kInsideStraddleCut };
  struct Case {
    const char* name;
    Moment moment;
    uint32_t written;  // records before the stop
    uint32_t keep;     // the restart file's total
  } cases[] = {
      {"crash inside the new block", kInsideNewBlock, 2350, 2350},
      {"crash after the new block, before the undo file went", kAfterNewBlock, 2350, 2350},
      {"crash while the undo file was written", kWhileSavingUndo, 2350, 2350},
      {"crash inside the cut of a straddling block", kInsideStraddleCut, 3000, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    RunRecord run = SmallRun(folder, 3, 4, 1000);
    WriteChain(run, 0, c.written);
    const std::string ise = folder.File("T_POP_01_01.Ise");
    const auto before = ReadBytes(ise);
    const auto spans = BlockSpans(before);
    ASSERT_GE(spans.size(), 2u);

    if (c.moment == kInsideStraddleCut) {
      // The block holding record 1500 is saved for undo, then torn.
      const auto [offset, length] = spans[1];
      const std::vector<uint8_t> old(before.begin() + offset, before.begin() + offset + length);
      ASSERT_EQ(SaveBlockUndo(ise, static_cast<int64_t>(offset), old), 1);
      auto torn = before;
      torn.resize(offset + 40);
      std::fill(torn.begin() + offset, torn.end(), 0x55);
      WriteBytes(ise, torn);
    } else {
      ChainSampleFiles resumed;
      resumed.assignment.total = resumed.composition.total = c.keep;
      ASSERT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, {}), 0);
      AppendRecords(resumed, 30);
      const int64_t offset = resumed.composition.replacedOffset;
      ASSERT_EQ(offset, static_cast<int64_t>(spans.back().first));
      const std::vector<uint8_t> old = resumed.composition.replacedBlock;
      if (c.moment == kAfterNewBlock) {
        ASSERT_EQ(FlushChainSamples(resumed), 1);
      }
      std::fclose(resumed.assignment.file);
      std::fclose(resumed.composition.file);
      std::fclose(resumed.chainLog);
      if (c.moment == kAfterNewBlock) {
        ASSERT_EQ(SaveBlockUndo(ise, offset, old), 1);
      } else if (c.moment == kInsideNewBlock) {
        ASSERT_EQ(SaveBlockUndo(ise, offset, old), 1);
        auto torn = ReadBytes(ise);
        torn.resize(static_cast<std::size_t>(offset) + 30);
        std::fill(torn.begin() + offset, torn.end(), 0x55);
        WriteBytes(ise, torn);
      } else {
        std::vector<uint8_t> partial = {'M', 'X', 'U', 'N', 'D', 'O', 1, 0, 9};
        WriteBytes(BlockUndoPath(ise), partial);
      }
    }

    ChainSampleFiles again;
    again.assignment.total = again.composition.total = c.keep;
    MessageLog log;
    ASSERT_EQ(OpenChainOutputs(again, run, 0, 1, 2, true, log.ui), 0)
        << (log.texts.empty() ? "" : log.texts.back());
    EXPECT_FALSE(std::filesystem::exists(BlockUndoPath(ise)));
    std::fflush(again.composition.file);
    ExpectCompositionRecords(ise, c.keep, 3);
    AppendRecords(again, 120);
    ASSERT_EQ(CloseChainSamples(again), 1);
    std::fclose(again.chainLog);
    EXPECT_EQ(HeaderOf(ReadBytes(ise)).recordCount, c.keep + 120);
    ExpectCompositionRecords(ise, c.keep + 120, 3);
    ExpectAssignmentRecords(folder.File("T_POP_01_01.Sta"), c.keep + 120, 4, 3);
  }
}

// An undo file left beside a sample file that a fresh start replaces belongs
// to the old file: it must go, or a later resume would write old bytes into
// the new samples.
TEST(SampleFileWriter, FreshStartDropsAnOldUndoFile) {
  TempFolder folder;
  RunRecord run = SmallRun(folder, 3, 4, 1000);
  const std::string ise = folder.File("T_POP_01_01.Ise");
  WriteChain(run, 0, 10);
  ASSERT_EQ(SaveBlockUndo(ise, 40, std::vector<uint8_t>(64, 0x55)), 1);
  run.overwriteAll = true;
  WriteChain(run, 0, 1500);
  EXPECT_FALSE(std::filesystem::exists(BlockUndoPath(ise)));
  ChainSampleFiles resumed;
  resumed.assignment.total = resumed.composition.total = 1500;
  ASSERT_EQ(OpenChainOutputs(resumed, run, 0, 1, 2, true, {}), 0);
  ASSERT_EQ(CloseChainSamples(resumed), 1);
  std::fclose(resumed.chainLog);
  ExpectCompositionRecords(ise, 1500, 3);
}

// A full disk is reported, not taken for a written block: the records stay
// pending and the header counts only what the file holds.
TEST(SampleFileWriter, FullDiskIsReportedAndKeepsRecordsPending) {
  std::FILE* full = std::fopen("/dev/full", "r+b");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  ChainSampleFiles files;
  for (SampleFileWriter* w : {&files.assignment, &files.composition}) {
    w->valuesPerRecord = 2;
    w->elementSize = w == &files.assignment ? 2 : 4;
    w->capacity = 3;
    w->buffer.assign(3 * 2 * w->elementSize, 0);
  }
  files.composition.file = full;
  files.assignment.file = std::tmpfile();
  int32_t values[2] = {1, 2};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendCompositionRecord(files, values), 1);
  EXPECT_EQ(FlushChainSamples(files), 0);
  EXPECT_EQ(files.composition.pending, 3u);
  EXPECT_EQ(AppendCompositionRecord(files, values), 0) << "no room, and the block cannot go out";
  EXPECT_EQ(files.composition.total, 3u);
  EXPECT_EQ(CloseChainSamples(files), 0);
}

class SampleFileReading : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = SmallRun(folder_, 3, 4, 1000);
    WriteChain(run_, 0, 3000);
    path_ = folder_.File("T_POP_01_01.Ise");
  }
  TempFolder folder_;
  RunRecord run_;
  std::string path_;
};

TEST_F(SampleFileReading, SeekFindsTheBlockHoldingRecordK) {
  SampleFileReader reader;
  ASSERT_EQ(OpenSampleFileForReading(reader, path_), 1) << reader.error;
  struct Case {
    uint32_t k, count, index;
  } cases[] = {{0, 1000, 0}, {999, 1000, 999}, {1000, 1000, 0}, {1500, 1000, 500}, {2999, 1000, 999}};
  for (const Case& c : cases) {
    uint32_t index = 77;
    EXPECT_EQ(SeekSampleRecord(reader, c.k, index), c.count) << c.k << reader.error;
    EXPECT_EQ(index, c.index) << c.k;
    EXPECT_EQ(SampleValue(reader, index, 2), static_cast<uint32_t>(CompositionValue(c.k, 2, 0, 3)));
  }
  uint32_t index = 0;
  EXPECT_EQ(SeekSampleRecord(reader, 3000, index), 0u);
  EXPECT_NE(reader.error.find("holds 3000 records, no record 3000"), std::string::npos)
      << reader.error;
  CloseSampleFileReader(reader);
}

TEST_F(SampleFileReading, KeptRecordsSpanBlocksAndStopAtTheEnd) {
  SampleFileReader reader;
  ASSERT_EQ(OpenSampleFileForReading(reader, path_), 1);
  std::vector<uint32_t> first;
  auto sink = [&](uint32_t r, const uint32_t* v) {
    EXPECT_EQ(r, first.size());
    first.push_back(v[0]);
    return true;
  };
  ASSERT_EQ(ReadKeptRecords(reader, 1500, 1200, sink), 1) << reader.error;
  ASSERT_EQ(first.size(), 1200u);
  for (uint32_t r = 0; r < 1200; ++r)
    ASSERT_EQ(first[r], static_cast<uint32_t>(CompositionValue(1500 + r, 0, 0, 3)));

  first.clear();
  EXPECT_EQ(ReadKeptRecords(reader, 2500, 501, sink), 0);
  EXPECT_NE(reader.error.find("(1 more needed)"), std::string::npos) << reader.error;
  EXPECT_EQ(ReadKeptRecords(reader, 3000, 0, sink), 1) << "nothing asked, nothing read";
  CloseSampleFileReader(reader);

  SampleFileSummary summary;
  std::string error;
  ASSERT_EQ(SummarizeSampleFile(path_, summary, error), 1) << error;
  EXPECT_EQ(summary.header.valuesPerRecord, 3u);
  EXPECT_EQ(summary.header.thinning, 1u);
  EXPECT_EQ(summary.header.recordCount, 3000u);
  EXPECT_EQ(summary.header.blockCapacity, 1000u);
  EXPECT_EQ(summary.blocks, 3u);
  EXPECT_EQ(summary.recordsInBlocks, 3000u);
  EXPECT_EQ(summary.problem, "");
}

// Each kind of damage is refused with a message naming the file.
TEST_F(SampleFileReading, DamagedFilesAreRefused) {
  const auto good = ReadBytes(path_);
  const std::size_t block0 = kSampleFileHeaderSize;
  const SampleBlockHeader first = DecodeSampleBlockHeader(good.data() + block0);
  const std::size_t block1 = block0 + kSampleBlockHeaderSize + first.compressedLength;
  auto setU32 = [](std::vector<uint8_t> b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  auto cut = [&](std::size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
  auto flip = [&](std::size_t at) {
    auto b = good;
    b[at] ^= 0xFF;
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"wrong magic", flip(1), "Invalid Ise File:"},
      {"header cut", cut(20), "Invalid Ise File:"},
      {"capacity 0", setU32(good, 8, 0), "block capacity 0"},
      {"element size 3", setU32(good, 24, 3), "element size 3"},
      {"values per record beyond any block", setU32(good, 16, 0x40000000), "values per record"},
      {"block count 0", setU32(good, block1, 0), "record count 0 outside 1..1000"},
      {"block count above capacity", setU32(good, block1, 1001), "record count 1001"},
      {"uncompressed length lies", setU32(good, block1 + 4, 12004), "length 12004 does not hold"},
      {"compressed length lies high", setU32(good, block1 + 8, 0x7FFFFFF0), "cut short"},
      {"compressed length lies low", setU32(good, block1 + 8, 100), "damaged"},
      {"compressed length far too low", setU32(good, block1 + 8, 5), "cannot hold"},
      {"zlib stream damaged", flip(block1 + kSampleBlockHeaderSize + 40), "damaged"},
      {"file cut inside a block", cut(block1 + 30), "cut short"},
      {"file cut inside a block header", cut(block1 + 5), "block header cut short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder_.File("bad.Ise");
    WriteBytes(path, c.bytes);
    SampleFileReader reader;
    std::string error;
    if (OpenSampleFileForReading(reader, path) == 1)
      ReadKeptRecords(reader, 0, 3000, [](uint32_t, const uint32_t*) { return true; });
    error = reader.error;
    CloseSampleFileReader(reader);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

// Damage that leaves every block well formed, or that only decompression
// finds: reading records, the file summary `inspect` gives, and a resume
// that would append to the file all refuse it, naming the file and block.
TEST_F(SampleFileReading, DamageInsideWellFormedBlocksIsRefusedByEveryReader) {
  const auto good = ReadBytes(path_);
  const std::size_t block0 = kSampleFileHeaderSize;
  const std::size_t block1 =
      block0 + kSampleBlockHeaderSize + DecodeSampleBlockHeader(good.data() + block0).compressedLength;
  // Block 1 (records 1000 to 1999) decompressed, changed, compressed again.
  auto rewrite = [&](void (*change)(std::vector<uint32_t>&)) {
    std::vector<uint8_t> raw;
    EXPECT_EQ(ReadSampleBlockFromMemory(good.data() + block1, good.size() - block1, raw, 1u << 20),
              BlockStatus::kOk);
    std::vector<uint32_t> values(raw.size() / 4);
    std::memcpy(values.data(), raw.data(), raw.size());
    change(values);
    std::vector<uint8_t> block;
    EncodeSampleBlock(values.data(), 1000, raw.size(), block);
    const std::size_t end =
        block1 + kSampleBlockHeaderSize + DecodeSampleBlockHeader(good.data() + block1).compressedLength;
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(block1));
    bytes.insert(bytes.end(), block.begin(), block.end());
    bytes.insert(bytes.end(), good.begin() + static_cast<std::ptrdiff_t>(end), good.end());
    return bytes;
  };
  auto flip = [&](std::size_t at) {
    auto b = good;
    b[at] ^= 0xFF;
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"a share above the whole",
       rewrite([](std::vector<uint32_t>& v) { v[5 * 3 + 2] = 100000001; }),
       "record 6 of the block: stock 3 holds 100000001, above the whole"},
      {"shares adding up to more than the whole",
       rewrite([](std::vector<uint32_t>& v) { v[0] = v[1] = 60000000; }),
       "record 1 of the block: its proportions add up to"},
      // Truncating 3 proportions loses less than 3 units of the whole; a
      // value lowered by more leaves a record no chain writes.
      {"a share lowered to a sixth",
       rewrite([](std::vector<uint32_t>& v) { v[7 * 3 + 2] /= 6; }),
       "record 8 of the block: its proportions add up to"},
      {"a share lowered by four units",
       rewrite([](std::vector<uint32_t>& v) { v[9 * 3] -= 4; }),
       "record 10 of the block: its proportions add up to 99999996, below 99999997"},
      {"zlib stream damaged", flip(block1 + kSampleBlockHeaderSize + 40), "compressed data damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(path_, c.bytes);
    const std::string where = "block at byte " + std::to_string(block1);

    SampleFileReader reader;
    ASSERT_EQ(OpenSampleFileForReading(reader, path_), 1) << reader.error;
    EXPECT_EQ(ReadKeptRecords(reader, 0, 3000, [](uint32_t, const uint32_t*) { return true; }), 0);
    EXPECT_NE(reader.error.find(path_ + ": " + where + ": " + c.message), std::string::npos)
        << reader.error;
    CloseSampleFileReader(reader);

    SampleFileSummary summary;
    std::string error;
    ASSERT_EQ(SummarizeSampleFile(path_, summary, error), 1) << error;
    EXPECT_EQ(summary.blocks, 1u);
    EXPECT_NE(summary.problem.find(where + ": " + c.message), std::string::npos) << summary.problem;

    ChainSampleFiles resumed;
    resumed.assignment.total = resumed.composition.total = 3000;
    MessageLog log;
    EXPECT_NE(OpenChainOutputs(resumed, run_, 0, 1, 2, true, log.ui), 0);
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(log.texts.back().rfind("Corrupt file\r\n" + path_, 0), 0u) << log.texts.back();
    EXPECT_NE(log.texts.back().find(c.message), std::string::npos) << log.texts.back();
    if (resumed.chainLog != nullptr) std::fclose(resumed.chainLog);
    EXPECT_EQ(ReadBytes(path_), c.bytes) << "a refused file is left as it is";
  }
}

// An undo file puts a block back where it says; one that points into the
// header, past the end, or holds no whole block is damage and is dropped
// without writing anything.
TEST_F(SampleFileReading, AnUndoFileThatFitsNoBlockIsDroppedUntouched) {
  const auto good = ReadBytes(path_);
  const std::vector<uint8_t> block(good.begin() + kSampleFileHeaderSize,
                                   good.begin() + kSampleFileHeaderSize + 40);
  const std::vector<uint8_t> whole(
      good.begin() + kSampleFileHeaderSize,
      good.begin() + static_cast<std::ptrdiff_t>(kSampleFileHeaderSize + kSampleBlockHeaderSize +
                                                 DecodeSampleBlockHeader(good.data() + kSampleFileHeaderSize)
                                                     .compressedLength));
  struct Case {
    const char* what;
    int64_t offset;
    const std::vector<uint8_t>& bytes;
  } cases[] = {
      {"into the header", 0, whole},
      {"past the end", static_cast<int64_t>(good.size()) + 4096, whole},
      {"part of a block", static_cast<int64_t>(kSampleFileHeaderSize), block},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SaveBlockUndo(path_, c.offset, c.bytes), 1);
    std::FILE* file = std::fopen(path_.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::string error;
    EXPECT_EQ(ApplyBlockUndo(file, path_, error), 1) << error;
    std::fclose(file);
    EXPECT_EQ(ReadBytes(path_), good);
    EXPECT_FALSE(std::filesystem::exists(BlockUndoPath(path_)));
  }
}

// Random damage of every kind: each read either succeeds or fails with a
// message, and never touches memory it does not own (sanitizer build).
TEST_F(SampleFileReading, RandomDamageIsReadOrRefusedCleanly) {
  RunRecord run = SmallRun(folder_, 3, 2, 100);
  run.runTitle = "F";
  WriteChain(run, 0, 350);
  const auto good = ReadBytes(folder_.File("F_01.Ise"));
  const std::string path = folder_.File("fuzz.Ise");
  std::mt19937 random(20240611);
  int succeeded = 0;
  for (int round = 0; round < 1500; ++round) {
    auto bytes = good;
    int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: bytes.resize(at); break;
        case 2: bytes[at] = static_cast<uint8_t>(random()); break;
        case 3:
          for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
            bytes[at + i] = static_cast<uint8_t>(random());
          break;
      }
      if (bytes.empty()) bytes.push_back(0);
    }
    WriteBytes(path, bytes);

    SampleFileReader reader;
    if (OpenSampleFileForReading(reader, path) == 1) {
      uint32_t seen = 0;
      int ok = ReadKeptRecords(reader, 0, 350, [&](uint32_t r, const uint32_t*) {
        EXPECT_EQ(r, seen++);
        return true;
      });
      if (ok == 1) {
        ++succeeded;
        EXPECT_EQ(seen, 350u);
      } else {
        EXPECT_FALSE(reader.error.empty());
      }
      uint32_t index = 0;
      if (SeekSampleRecord(reader, random() % 400, index) == 0) {
        EXPECT_FALSE(reader.error.empty());
      }
    } else {
      EXPECT_FALSE(reader.error.empty());
    }
    CloseSampleFileReader(reader);
    SampleFileSummary summary;
    std::string error;
    SummarizeSampleFile(path, summary, error);
  }
  EXPECT_GT(succeeded, 0) << "some edits (in stored values) leave the file readable";
}

// The writer's resume walks the same damaged files: it keeps what it can
// trust or refuses, and never crashes.
TEST_F(SampleFileReading, ResumeOfRandomDamageKeepsOrRefuses) {
  RunRecord run = SmallRun(folder_, 3, 2, 100);
  run.runTitle = "R";
  WriteChain(run, 0, 350);
  const std::string ise = folder_.File("R_01.Ise");
  const std::string sta = folder_.File("R_01.Sta");
  const auto goodIse = ReadBytes(ise);
  const auto goodSta = ReadBytes(sta);
  std::mt19937 random(99);
  for (int round = 0; round < 60; ++round) {
    auto bytes = goodIse;
    std::size_t at = kSampleFileHeaderSize + random() % (bytes.size() - kSampleFileHeaderSize);
    if (random() % 2 == 0) {
      bytes.resize(at);
    } else {
      bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    WriteBytes(ise, bytes);
    WriteBytes(sta, goodSta);
    ChainSampleFiles files;
    files.assignment.total = files.composition.total = random() % 400;
    MessageLog log;
    int result = OpenChainOutputs(files, run, 0, 1, 2, true, log.ui);
    if (result == 0) {
      EXPECT_LE(files.composition.pending, files.composition.capacity);
      // The resume walks block headers only, so damage inside a kept
      // stream is left for the readers to refuse; the blocks themselves
      // must still add up to the kept total.
      std::fflush(files.composition.file);
      SampleFileSummary summary;
      std::string error;
      ASSERT_EQ(SummarizeSampleFile(ise, summary, error), 1) << error;
      EXPECT_EQ(summary.header.recordCount, files.composition.total);
      EXPECT_EQ(summary.recordsInBlocks, files.composition.total);
      SampleFileReader reader;
      ASSERT_EQ(OpenSampleFileForReading(reader, ise), 1) << reader.error;
      if (ReadKeptRecords(reader, 0, files.composition.total,
                          [](uint32_t, const uint32_t*) { return true; }) == 0) {
        EXPECT_NE(reader.error.find("damaged"), std::string::npos) << reader.error;
      }
      CloseSampleFileReader(reader);
      CloseChainSamples(files);
    } else {
      EXPECT_TRUE(result == 4 || result == 6) << result;
      EXPECT_FALSE(log.texts.empty());
    }
    if (files.chainLog != nullptr) std::fclose(files.chainLog);
  }
}

}  // namespace
}  // namespace mixora
