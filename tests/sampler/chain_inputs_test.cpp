#include "sampler/chain_inputs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runfiles/run_file_names.h"
#include "runfiles/run_fingerprint.h"
#include "runfiles/sample_file_header.h"
#include "sampler/chain_fixture.h"

namespace mixora {
namespace {

using chain_testing::MakeFreshChain;
using chain_testing::MessageRecorder;
using chain_testing::ReadBytes;
using chain_testing::ScratchFolder;
using chain_testing::TinyRun;

uint64_t U64At(const std::vector<uint8_t>& bytes, std::size_t at) {
  uint64_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// A chain's files say what they were computed from and whose they are. A
// run whose inputs changed since, or another run control file whose
// outputs share the names, must neither continue nor report them; files
// written before this was recorded (all zero) are still taken.
TEST(ChainInputs, FilesRecordTheirInputsAndOwnerAndRefuseOthers) {
  struct Case {
    const char* name;
    uint64_t writtenInputs, writtenOwner;  // what the files record
    uint64_t runInputs, runOwner;          // what the run reading them holds
    const char* refusal;                   // part of the reason, or nullptr when taken
  } cases[] = {
      {"same inputs", 0x1111, 0x2222, 0x1111, 0x2222, nullptr},
      {"older files", 0, 0, 0x1111, 0x2222, nullptr},
      {"changed inputs", 0x1111, 0x2222, 0x3333, 0x2222, "computed from other inputs than"},
      {"another run control file", 0x1111, 0x2222, 0x1111, 0x4444,
       "belongs to another run control file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    RunRecord written = TinyRun(folder, 1);
    written.inputsFingerprint = c.writtenInputs;
    written.ownerTag = c.writtenOwner;
    MessageRecorder messages;
    {
      auto writer = MakeFreshChain(written, messages.ui, true);
      ASSERT_NE(writer, nullptr);
      DrawFrequencies(*writer);
      ASSERT_EQ(chain_testing::RunIterations(*writer, 1, 4), 1);
      ASSERT_EQ(chain_testing::EndChain(*writer), 1);
    }
    const std::string rst = BuildRunFileName(written, 0, kNoReport, kNoGroup, kExtRestart);
    const std::vector<uint8_t> bytes = ReadBytes(rst);
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_EQ(U64At(bytes, 8), c.writtenInputs);
    EXPECT_EQ(U64At(bytes, 16), c.writtenOwner);
    EXPECT_EQ(U64At(bytes, 24), 0u);
    for (int extension : {kExtComposition, kExtAssignments}) {
      const std::vector<uint8_t> sample =
          ReadBytes(BuildRunFileName(written, 0, kNoReport, kNoGroup, extension));
      ASSERT_GE(sample.size(), kSampleFileHeaderSize);
      EXPECT_EQ(DecodeSampleFileHeader(sample.data()).reserved,
                c.writtenInputs == 0 ? 0u : SampleInputsTag(c.writtenInputs));
    }

    RunRecord reading = TinyRun(folder, 1);
    reading.inputsFingerprint = c.runInputs;
    reading.ownerTag = c.runOwner;
    Chain chain;
    chain.run = &reading;
    chain.ui = &messages.ui;
    chain.startStocks = RunStartStocks(reading.settings);
    ASSERT_EQ(AllocateSamplerArrays(chain), 1);
    messages.boxes.clear();
    chain.resume = 1;
    const int read = TransferRestartFile(chain, kRestartRead, kRestartFull);
    const std::string problem = ChainFilesInputsProblem(reading);
    if (c.refusal == nullptr) {
      EXPECT_EQ(read, 1);
      EXPECT_TRUE(messages.boxes.empty());
      EXPECT_EQ(problem, "");
      continue;
    }
    EXPECT_EQ(read, 0);
    EXPECT_EQ(chain.resume, 0);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text.rfind("Invalid Restart File:\r\n" + rst + "\r\n", 0), 0u)
        << messages.boxes[0].text;
    EXPECT_NE(messages.boxes[0].text.find(c.refusal), std::string::npos) << messages.boxes[0].text;
    EXPECT_EQ(chain.restartRefusal, messages.boxes[0].text);
    EXPECT_EQ(problem.rfind(rst + ": ", 0), 0u) << problem;
    EXPECT_NE(problem.find(c.refusal), std::string::npos) << problem;
    // An owner is checked also for a run about to replace its chains.
    EXPECT_EQ(ChainFilesInputsProblem(reading, true).empty(), c.runOwner == c.writtenOwner);
  }
}

// A chain whose restart file is gone (killed before its first save) still
// has sample files that tell which inputs they came from.
TEST(ChainInputs, SampleFilesAloneTellOtherInputs) {
  ScratchFolder folder;
  RunRecord written = TinyRun(folder, 1);
  written.inputsFingerprint = 0x1111;
  MessageRecorder messages;
  {
    auto writer = MakeFreshChain(written, messages.ui, true);
    ASSERT_NE(writer, nullptr);
    DrawFrequencies(*writer);
    ASSERT_EQ(chain_testing::RunIterations(*writer, 1, 4), 1);
    ASSERT_EQ(chain_testing::EndChain(*writer), 1);
  }
  std::filesystem::remove(BuildRunFileName(written, 0, kNoReport, kNoGroup, kExtRestart));
  RunRecord reading = TinyRun(folder, 1);
  reading.inputsFingerprint = 0x1111;
  EXPECT_EQ(ChainFilesInputsProblem(reading), "");
  reading.inputsFingerprint = 0x3333;
  const std::string problem = ChainFilesInputsProblem(reading);
  EXPECT_EQ(problem.rfind(BuildRunFileName(written, 0, kNoReport, kNoGroup, kExtComposition), 0),
            0u)
      << problem;
  EXPECT_NE(problem.find("--rerun"), std::string::npos) << problem;
}

}  // namespace
}  // namespace mixora
