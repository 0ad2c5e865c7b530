#include "runfiles/committed_samples.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_files_fixture.h"

namespace mixora {
namespace {

using namespace testing_samples;

constexpr uint32_t kStocks = 3;

// Offsets of the blocks of a sample file, from their headers.
std::vector<std::size_t> BlockOffsets(const std::vector<uint8_t>& bytes) {
  std::vector<std::size_t> offsets;
  for (std::size_t at = 32; at + 12 <= bytes.size();) {
    offsets.push_back(at);
    const uint32_t compressed = bytes[at + 8] | bytes[at + 9] << 8 | bytes[at + 10] << 16 |
                                static_cast<uint32_t>(bytes[at + 11]) << 24;
    at += 12 + compressed;
  }
  return offsets;
}

// True when every record read is the one the chain wrote at that place.
bool RecordsAreTheWritten(const CommittedRecords& read) {
  for (uint32_t r = 0; r < read.records; ++r)
    for (uint32_t s = 0; s < kStocks; ++s)
      if (read.values[r * kStocks + s] != static_cast<uint32_t>(CompositionValue(r, s, 0, kStocks)))
        return false;
  return true;
}

class CommittedRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = SmallRun(folder_, kStocks, 2, 100);
    path_ = BuildRunFileName(run_, 0, kNoReport, kNoGroup, kExtComposition);
  }
  TempFolder folder_;
  RunRecord run_;
  std::string path_;
};

TEST_F(CommittedRecordsTest, ReadsWholeBlocksAndTellsATornTailFromDamage) {
  WriteChain(run_, 0, 250);  // blocks of 100, 100 and 50 records
  const std::vector<uint8_t> sound = ReadBytes(path_);
  const std::vector<std::size_t> blocks = BlockOffsets(sound);
  ASSERT_EQ(blocks.size(), 3u);
  using Edit = std::function<void(std::vector<uint8_t>&)>;
  struct Case {
    const char* what;
    Edit edit;
    uint32_t vouched;
    int result;
    uint32_t records;
    bool tailPending;
  };
  const Edit none = [](std::vector<uint8_t>&) {};
  const std::vector<Case> cases = {
      {"whole file", none, kAllCommittedRecords, 1, 250, false},
      {"up to what the chain vouches for", none, 120, 1, 120, false},
      {"nothing vouched yet", none, 0, 1, 0, false},
      {"last block torn", [](auto& b) { b.resize(b.size() - 5); }, kAllCommittedRecords, 1, 200, true},
      {"last block torn within the vouched records", [](auto& b) { b.resize(b.size() - 5); }, 250, 1,
       200, true},
      {"last block being rewritten in place",
       [&](auto& b) { b[blocks[2] + 20] ^= 0xFF; }, 250, 1, 200, true},
      {"header not yet whole", [](auto& b) { b.resize(20); }, kAllCommittedRecords, 1, 0, false},
      {"damaged block with a sound block behind it", [&](auto& b) { b[blocks[1] + 20] ^= 0xFF; },
       kAllCommittedRecords, 0, 0, false},
      {"restarted chain, old vouched total", [&](auto& b) { b.resize(blocks[1]); }, 250, 1, 100,
       true},
      {"not a sample file", [](auto& b) { b[1] = 'X'; }, kAllCommittedRecords, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = sound;
    c.edit(bytes);
    WriteBytes(path_, bytes);
    CommittedRecords read;
    std::string error;
    ASSERT_EQ(ReadCommittedRecords(path_, c.vouched, read, error), c.result) << error;
    if (c.result == 0) {
      EXPECT_NE(error.find(path_), std::string::npos) << error;
      continue;
    }
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(read.records, c.records);
    EXPECT_EQ(read.tailPending, c.tailPending);
    EXPECT_EQ(read.values.size(), c.records * kStocks);
    EXPECT_TRUE(RecordsAreTheWritten(read));
  }
  std::remove(path_.c_str());
  CommittedRecords read;
  std::string error;
  ASSERT_EQ(ReadCommittedRecords(path_, kAllCommittedRecords, read, error), 1);
  EXPECT_TRUE(read.missing);
  EXPECT_EQ(read.records, 0u);
}

TEST_F(CommittedRecordsTest, ALaterCallReadsOnAndFollowsAChainStartedAfresh) {
  run_.overwriteAll = true;  // each WriteChain starts the chain afresh over its files
  WriteChain(run_, 0, 150);
  CommittedRecords read;
  std::string error;
  ASSERT_EQ(ReadCommittedRecords(path_, kAllCommittedRecords, read, error), 1);
  EXPECT_EQ(read.records, 150u);
  WriteChain(run_, 0, 430);
  ASSERT_EQ(ReadCommittedRecords(path_, kAllCommittedRecords, read, error), 1);
  EXPECT_EQ(read.records, 430u);
  EXPECT_TRUE(RecordsAreTheWritten(read));
  WriteChain(run_, 0, 60);  // a fresh start: a shorter file of the same layout
  ASSERT_EQ(ReadCommittedRecords(path_, 60, read, error), 1);
  EXPECT_EQ(read.records, 60u);
  EXPECT_TRUE(RecordsAreTheWritten(read));
}

// A chain writes, stops, resumes (rewriting its partial last block in place)
// and writes on, while readers refresh as fast as they can: one up to the
// records the chain vouches for after each commit, one taking every whole
// block. Neither may ever call the file damaged or see a wrong record.
TEST_F(CommittedRecordsTest, ReadersNeverSeeDamageWhileTheChainWrites) {
  std::atomic<uint32_t> vouched{0};
  std::atomic<bool> done{false};
  std::atomic<int> writerFailures{0};
  std::thread chain([&] {
    std::vector<int32_t> composition(kStocks), assignment(2, 0);
    uint32_t total = 0;
    auto writeSome = [&](ChainSampleFiles& files, uint32_t records) {
      for (uint32_t i = 0; i < records; ++i, ++total) {
        for (uint32_t s = 0; s < kStocks; ++s) composition[s] = CompositionValue(total, s, 0, kStocks);
        if (AppendCompositionRecord(files, composition.data()) != 1 ||
            AppendAssignmentRecord(files, assignment.data()) != 1)
          ++writerFailures;
        // Saves at uneven points leave partial blocks along the file.
        if (total % 37 == 36 || files.composition.pending == files.composition.capacity) {
          if (FlushChainSamples(files) != 1 || CommitChainSamples(files) != 1) ++writerFailures;
          vouched.store(files.composition.total);
        }
      }
    };
    for (int session = 0; session < 3; ++session) {
      ChainSampleFiles files;
      files.composition.total = total;
      files.assignment.total = total;
      if (OpenChainOutputs(files, run_, 0, 11, 22, session > 0, Interaction{}) != 0) {
        ++writerFailures;
        break;
      }
      writeSome(files, 1500 + 50 * session);
      if (CloseChainSamples(files) != 1) ++writerFailures;
      vouched.store(total);
      std::fclose(files.chainLog);
    }
    done.store(true);
  });

  CommittedRecords vouchedRead, wholeRead;
  int refreshes = 0;
  uint32_t mostSeen = 0;
  for (bool last = false; !last;) {
    last = done.load();
    std::string error;
    ASSERT_EQ(ReadCommittedRecords(path_, vouched.load(), vouchedRead, error), 1) << error;
    ASSERT_TRUE(RecordsAreTheWritten(vouchedRead)) << "refresh " << refreshes;
    ASSERT_EQ(ReadCommittedRecords(path_, kAllCommittedRecords, wholeRead, error), 1) << error;
    ASSERT_TRUE(RecordsAreTheWritten(wholeRead)) << "refresh " << refreshes;
    mostSeen = std::max(mostSeen, vouchedRead.records);
    ++refreshes;
  }
  chain.join();
  EXPECT_EQ(writerFailures.load(), 0);
  EXPECT_EQ(vouchedRead.records, 1500u + 1550u + 1600u);
  EXPECT_EQ(wholeRead.records, 1500u + 1550u + 1600u);
  EXPECT_FALSE(vouchedRead.tailPending);
  EXPECT_GT(refreshes, 2);
}

}  // namespace
}  // namespace mixora
