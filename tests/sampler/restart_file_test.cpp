#include "sampler/restart_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "runfiles/sample_block.h"
#include "sampler/chain_fixture.h"
#include "sampler/synthetic_run.h"

namespace mixora {
namespace {

using chain_testing::MakeFreshChain;
using chain_testing::MakeResumedChain;
using chain_testing::MessageRecorder;
using chain_testing::ReadBytes;
using chain_testing::ScratchFolder;
using chain_testing::TinyRun;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int32_t I32At(const std::vector<uint8_t>& bytes, std::size_t at) {
  int32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

void PutI32At(std::vector<uint8_t>& bytes, std::size_t at, int32_t v) {
  std::memcpy(bytes.data() + at, &v, 4);
}

RunRecord SmallSyntheticRun(const ScratchFolder& folder, int32_t thinSta, int32_t thinIse) {
  SyntheticRunShape shape;
  shape.stocks = 9;
  shape.characters = 6;
  shape.maxAlleles = 5;
  shape.varyAlleleCounts = true;
  shape.fish = 50;
  RunRecord run = MakeSyntheticRun(shape);
  run.settings.ThinSta = thinSta;
  run.settings.ThinIse = thinIse;
  run.controlPath = folder.File("Synthetic.rcf");
  return run;
}

struct ResumeCase {
  int32_t thinSta, thinIse, stopAt, endAt;
};

class RestartResume : public ::testing::TestWithParam<ResumeCase> {};

// A chain stopped at any iteration and continued from its restart file writes
// the same sample and restart files, byte for byte, as the chain run without
// a stop: the file carries the whole state the next iteration depends on.
TEST_P(RestartResume, ContinuesExactlyAsAnUninterruptedChain) {
  const ResumeCase c = GetParam();
  ScratchFolder straight, stopped;
  RunRecord straightRun = SmallSyntheticRun(straight, c.thinSta, c.thinIse);
  RunRecord stoppedRun = SmallSyntheticRun(stopped, c.thinSta, c.thinIse);
  MessageRecorder messages;

  auto whole = MakeFreshChain(straightRun, messages.ui, true);
  ASSERT_NE(whole, nullptr);
  DrawFrequencies(*whole);
  ASSERT_EQ(chain_testing::RunIterations(*whole, 1, c.endAt), 1);
  ASSERT_EQ(chain_testing::EndChain(*whole), 1);

  auto first = MakeFreshChain(stoppedRun, messages.ui, true);
  ASSERT_NE(first, nullptr);
  DrawFrequencies(*first);
  ASSERT_EQ(chain_testing::RunIterations(*first, 1, c.stopAt), 1);
  ASSERT_EQ(chain_testing::EndChain(*first), 1);
  first.reset();

  auto second = MakeResumedChain(stoppedRun, messages.ui);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->iteration.load(), c.stopAt);
  EXPECT_EQ(second->samples.composition.total, uint32_t(c.stopAt / c.thinIse));
  EXPECT_EQ(second->samples.assignment.total, uint32_t(c.stopAt / c.thinSta));
  ASSERT_EQ(chain_testing::RunIterations(*second, c.stopAt + 1, c.endAt), 1);
  ASSERT_EQ(chain_testing::EndChain(*second), 1);

  for (const char* extension : {".Ise", ".Sta", ".Rst"}) {
    const std::string name = std::string("Synthetic_01") + extension;
    EXPECT_EQ(ReadBytes(straight.File(name)), ReadBytes(stopped.File(name))) << name;
  }
  EXPECT_EQ(whole->arrays.frequencies, second->arrays.frequencies);
  EXPECT_TRUE(messages.boxes.empty()) << messages.boxes[0].text;
}

INSTANTIATE_TEST_SUITE_P(StopPoints, RestartResume,
                         ::testing::Values(ResumeCase{1, 1, 130, 250},   // partial blocks
                                           ResumeCase{1, 1, 100, 210},   // at a save
                                           ResumeCase{3, 2, 131, 260},   // sparser origins
                                           ResumeCase{1, 2, 77, 320}));  // origins fill first

// Every field at its offset, the frequencies as one block in stock,
// character, allele order, and the generator states as they lie.
TEST(RestartLayout, StoresEveryFieldAtItsOffset) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 0);
  run.settings.ThinSta = 3;
  run.settings.ThinIse = 2;
  run.settings.MaxMissingLoci = 7;
  run.settings.StartStock[0] = 2;
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  chain->endIteration = 4321;
  DrawFrequencies(*chain);
  ASSERT_EQ(chain_testing::RunIterations(*chain, 1, 9), 1);
  ASSERT_EQ(chain_testing::EndChain(*chain), 1);

  const std::vector<uint8_t> bytes = ReadBytes(RestartFilePath(*chain));
  ASSERT_GE(bytes.size(), 96u + 16u + 12u);
  EXPECT_EQ(std::memcmp(bytes.data(), kSampleFileMagic, 8), 0);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 32), std::vector<uint8_t>(24, 0));
  const int32_t chainValues[] = {9, 4321, 687688, 788781, 3, 4};
  const int32_t checkValues[] = {0, 7, 3, 2, 2, 1};
  const int32_t startStocks[] = {2, -1, -1, -1};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(I32At(bytes, 32 + 4 * k), chainValues[k]) << k;
  for (int k = 0; k < 6; ++k) EXPECT_EQ(I32At(bytes, 56 + 4 * k), checkValues[k]) << k;
  for (int k = 0; k < 4; ++k) EXPECT_EQ(I32At(bytes, 80 + 4 * k), startStocks[k]) << k;
  EXPECT_EQ(std::memcmp(bytes.data() + 96, chain->arrays.proportions.data(), 16), 0);

  std::vector<uint8_t> theta;
  SampleBlockHeader header;
  std::size_t consumed = 0;
  ASSERT_EQ(ReadSampleBlockFromMemory(bytes.data() + 112, bytes.size() - 112, theta, 1 << 20,
                                      &header, &consumed),
            BlockStatus::kOk);
  EXPECT_EQ(header.count, 1u);
  EXPECT_EQ(header.uncompressedLength, 8u * 2 * 1 * 2);
  ASSERT_EQ(theta.size(), 32u);
  EXPECT_EQ(std::memcmp(theta.data(), chain->arrays.frequencies.data(), 32), 0);

  std::size_t at = 112 + consumed;
  ASSERT_EQ(bytes.size(), at + kRestartTailBytes);
  EXPECT_EQ(std::memcmp(bytes.data() + at, &chain->generators.randLib, 24), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + at + 24, &chain->generators.mt, 2512), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + at + 24 + 2512, &chain->generators.ran2, 408), 0);
  unsigned char handle[kGeneratorHandleRecordSize];
  StoreGeneratorHandle(chain->generators.handle, handle);
  EXPECT_EQ(std::memcmp(bytes.data() + at + 24 + 2512 + 408, handle, sizeof handle), 0);
}

// Writing over a longer old file, or over one a crash left half written,
// leaves exactly the new file and no temporary file beside it.
TEST(RestartWrite, ReplacesALongerOldFileWithoutTrailingBytes) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  const std::string path = RestartFilePath(*chain);
  ASSERT_EQ(TransferRestartFile(*chain, kRestartWrite, kRestartFull), 1);
  const std::vector<uint8_t> clean = ReadBytes(path);

  // A temporary file a crash leaves behind still has the restart extension.
  EXPECT_EQ(chain->restartTempPath, folder.File("Tiny_01.tmp.Rst"));
  WriteBytes(path, std::vector<uint8_t>(100000, 0xAB));
  WriteBytes(chain->restartTempPath, std::vector<uint8_t>(5000, 0xCD));
  ASSERT_EQ(TransferRestartFile(*chain, kRestartWrite, kRestartFull), 1);
  EXPECT_EQ(ReadBytes(path), clean);
  EXPECT_FALSE(std::filesystem::exists(chain->restartTempPath));
  chain_testing::CloseOutputs(*chain);
}

// The first check value that differs is named with the file's and the run's
// values; the chain keeps its own values and will start afresh.
struct RefusalCase {
  const char* name;
  void (*change)(RunRecord&, Chain&);
  const char* detail;
};

class RestartRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RestartRefusal, NamesTheFirstMismatchAndLeavesTheChainAlone) {
  const RefusalCase& c = GetParam();
  ScratchFolder folder;
  RunRecord written = TinyRun(folder, 1);
  written.settings.ThinIse = 2;
  written.settings.StartStock[0] = 1;
  MessageRecorder messages;
  {
    auto writer = MakeFreshChain(written, messages.ui, true);
    ASSERT_NE(writer, nullptr);
    DrawFrequencies(*writer);
    ASSERT_EQ(chain_testing::RunIterations(*writer, 1, 4), 1);
    ASSERT_EQ(chain_testing::EndChain(*writer), 1);
  }

  RunRecord reading = TinyRun(folder, 1);
  reading.settings.ThinIse = 2;
  reading.settings.StartStock[0] = 1;
  Chain chain;
  chain.run = &reading;
  chain.ui = &messages.ui;
  chain.startStocks = RunStartStocks(reading.settings);
  chain.seed1 = 11;
  chain.endIteration = 55;
  c.change(reading, chain);
  ASSERT_EQ(AllocateSamplerArrays(chain), 1);
  chain.arrays.proportions.assign(chain.arrays.proportions.size(), 0.25);
  const std::string expected = "Invalid Restart File:\r\n" + RestartFilePath(chain) + "\r\n" + c.detail;

  for (int full : {kRestartChecksOnly, kRestartFull}) {
    messages.boxes.clear();
    chain.resume = 1;
    EXPECT_EQ(TransferRestartFile(chain, kRestartRead, full), 0);
    EXPECT_EQ(chain.resume, 0);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, expected);
    EXPECT_EQ(messages.boxes[0].type, uint32_t{kMbIconError} | MessageForChain(1));
    EXPECT_EQ(chain.iteration.load(), 0);
    EXPECT_EQ(chain.seed1, 11);
    EXPECT_EQ(chain.endIteration, 55);
    EXPECT_EQ(chain.samples.composition.total, 0u);
    EXPECT_THAT(chain.arrays.proportions, ::testing::Each(0.25));
  }
}

INSTANTIATE_TEST_SUITE_P(
    CheckValues, RestartRefusal,
    ::testing::Values(
        RefusalCase{"RanGen", [](RunRecord& r, Chain&) { r.settings.RanGen = 0; },
                    "RANGEN: RST = 1, TCF = 0"},
        RefusalCase{"MaxMissingLoci", [](RunRecord& r, Chain&) { r.settings.MaxMissingLoci = 5; },
                    "MAXMISSINGLOCI: RST = 999, TCF = 5"},
        RefusalCase{"ThinSta", [](RunRecord& r, Chain&) { r.settings.ThinSta = 4; },
                    "THINSTA: RST = 1, TCF = 4"},
        RefusalCase{"ThinIse", [](RunRecord& r, Chain&) { r.settings.ThinIse = 1; },
                    "THINISE: RST = 2, TCF = 1"},
        RefusalCase{"Stocks",
                    [](RunRecord& r, Chain&) {
                      r.settings.NumberOfStocks = 3;
                      r.stockId.push_back(3);
                      r.stockNames.push_back("East");
                      r.counts = {8, 2, 3, 7, 1, 1};
                      r.beta = {0.3, 0.3, 0.4};
                    },
                    "NUMSTOCKS: RST = 2, TCF = 3"},
        RefusalCase{"Characters",
                    [](RunRecord& r, Chain&) {
                      r.settings.NumberOfChars = 2;
                      r.alleleCount = {2, 2};
                      r.counts = {8, 2, 1, 1, 3, 7, 1, 1};
                      r.allelePrior = {0.5, 0.5, 0.5, 0.5};
                      r.genotypes = {1, 1, 1, 1, 1, 2, 1, 1, 2, 0, 1, 1};
                    },
                    "NUMCHARS: RST = 1, TCF = 2"},
        RefusalCase{"StartStocks", [](RunRecord&, Chain& c) { c.startStocks = {2, 1, -1, -1}; },
                    "STARTSTOCKS: RST = 1, TCF = 2/1"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// Damaged files are refused with a reason before anything is taken from
// them: nothing of a half-read file reaches the chain.
struct DamageCase {
  const char* name;
  void (*damage)(std::vector<uint8_t>&, std::size_t tail);
  const char* reason;  // nullptr: the bare wrong-magic message
};

class RestartDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(RestartDamage, IsRefusedWithoutTouchingTheChain) {
  const DamageCase& c = GetParam();
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  MessageRecorder messages;
  auto writer = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(writer, nullptr);
  DrawFrequencies(*writer);
  ASSERT_EQ(chain_testing::RunIterations(*writer, 1, 5), 1);
  ASSERT_EQ(chain_testing::EndChain(*writer), 1);
  const std::string path = RestartFilePath(*writer);
  std::vector<uint8_t> bytes = ReadBytes(path);
  const std::size_t tail = bytes.size() - kRestartTailBytes;
  c.damage(bytes, tail);
  WriteBytes(path, bytes);

  Chain chain;
  chain.run = &run;
  chain.ui = &messages.ui;
  ASSERT_EQ(AllocateSamplerArrays(chain), 1);
  const ChainGenerators before = chain.generators;
  chain.resume = 1;
  EXPECT_EQ(TransferRestartFile(chain, kRestartRead, kRestartFull), 0);
  EXPECT_EQ(chain.resume, 0);
  ASSERT_EQ(messages.boxes.size(), 1u);
  std::string expected = "Invalid Restart File:\r\n" + path;
  if (c.reason != nullptr) expected += std::string("\r\n") + c.reason;
  EXPECT_EQ(messages.boxes[0].text, expected);
  EXPECT_EQ(chain.iteration.load(), 0);
  EXPECT_EQ(chain.samples.assignment.total, 0u);
  EXPECT_THAT(chain.arrays.proportions, ::testing::Each(0.0));
  EXPECT_THAT(chain.arrays.frequencies, ::testing::Each(0.0));
  EXPECT_EQ(std::memcmp(&chain.generators.ran2, &before.ran2, sizeof before.ran2), 0);
}

constexpr std::size_t kRan2At = 24 + 2512;
constexpr std::size_t kMtAt = 24;
constexpr std::size_t kGammaAt = 24 + 2512 + 408 + 16;  // the retained values
constexpr std::size_t kProportionsAt = 96;

void PutDoubleAt(std::vector<uint8_t>& bytes, std::size_t at, double v) {
  std::memcpy(bytes.data() + at, &v, 8);
}

// Values a checksum cannot catch: the frequency block is decompressed,
// changed and compressed again, so the file stays well formed.
void ChangeFrequency(std::vector<uint8_t>& b, std::size_t tail, std::size_t index, double value) {
  const std::size_t blockAt = kProportionsAt + 2 * 8;  // TinyRun has two stocks
  const SampleBlockHeader header = DecodeSampleBlockHeader(b.data() + blockAt);
  std::vector<uint8_t> frequencies;
  ASSERT_EQ(ReadSampleBlockFromMemory(b.data() + blockAt, b.size() - blockAt, frequencies,
                                      header.uncompressedLength),
            BlockStatus::kOk);
  std::memcpy(frequencies.data() + 8 * index, &value, 8);
  std::vector<uint8_t> block;
  ASSERT_EQ(EncodeSampleBlock(frequencies.data(), 1, frequencies.size(), block), BlockStatus::kOk);
  std::vector<uint8_t> rebuilt(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(blockAt));
  rebuilt.insert(rebuilt.end(), block.begin(), block.end());
  rebuilt.insert(rebuilt.end(), b.begin() + static_cast<std::ptrdiff_t>(tail), b.end());
  b = std::move(rebuilt);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RestartDamage,
    ::testing::Values(
        DamageCase{"Empty", [](std::vector<uint8_t>& b, std::size_t) { b.clear(); }, nullptr},
        DamageCase{"WrongMagic", [](std::vector<uint8_t>& b, std::size_t) { b[5] = 'x'; }, nullptr},
        DamageCase{"CutInHead", [](std::vector<uint8_t>& b, std::size_t) { b.resize(50); },
                   "the file ends early"},
        DamageCase{"CutInProportions", [](std::vector<uint8_t>& b, std::size_t) { b.resize(100); },
                   "the file ends early"},
        DamageCase{"CutInBlock", [](std::vector<uint8_t>& b, std::size_t) { b.resize(130); },
                   "the file ends early"},
        DamageCase{"CutInStates",
                   [](std::vector<uint8_t>& b, std::size_t) { b.resize(b.size() - 10); },
                   "the file ends early"},
        DamageCase{"BlockCount", [](std::vector<uint8_t>& b, std::size_t) { PutI32At(b, 112, 2); },
                   "the frequency block does not fit the run"},
        DamageCase{"BlockData",
                   [](std::vector<uint8_t>& b, std::size_t tail) { b[tail - 3] ^= 0xFF; },
                   "compressed data damaged"},
        DamageCase{"NegativeIteration",
                   [](std::vector<uint8_t>& b, std::size_t) { PutI32At(b, 32, -5); },
                   "chain values out of range"},
        DamageCase{"Ran2Shuffle",
                   [](std::vector<uint8_t>& b, std::size_t tail) {
                     PutI32At(b, tail + kRan2At + 12, 800000);
                   },
                   "generator state out of range"},
        DamageCase{"MtIndex",
                   [](std::vector<uint8_t>& b, std::size_t tail) {
                     PutI32At(b, tail + kMtAt + 8, -1);
                   },
                   "generator state out of range"},
        // A stored length of 4 GiB is refused before any memory is taken for it.
        DamageCase{"HugeBlockLength",
                   [](std::vector<uint8_t>& b, std::size_t) {
                     PutI32At(b, kProportionsAt + 16 + 8, static_cast<int32_t>(0xFFFFFFF0u));
                   },
                   "the frequency block claims 4294967280 bytes, more than the whole file"},
        DamageCase{"TrailingBytes",
                   [](std::vector<uint8_t>& b, std::size_t) { b.insert(b.end(), 3, 0); },
                   "the file is longer than its contents"},
        DamageCase{"RecordTotals",
                   [](std::vector<uint8_t>& b, std::size_t) { PutI32At(b, 48, 2); },
                   "record totals 2 and 5 do not follow from iteration 5 (expected 5 and 5)"},
        DamageCase{"ProportionTwo",
                   [](std::vector<uint8_t>& b, std::size_t) { PutDoubleAt(b, kProportionsAt, 2.0); },
                   "stock proportions out of range"},
        DamageCase{"ProportionHuge",
                   [](std::vector<uint8_t>& b, std::size_t) {
                     PutDoubleAt(b, kProportionsAt + 8, 1e308);
                   },
                   "stock proportions out of range"},
        DamageCase{"ProportionsSum",
                   [](std::vector<uint8_t>& b, std::size_t) {
                     double p;
                     std::memcpy(&p, b.data() + kProportionsAt, 8);
                     PutDoubleAt(b, kProportionsAt, p * 0.5);
                   },
                   "stock proportions do not sum to 1"},
        DamageCase{"FrequencyHuge",
                   [](std::vector<uint8_t>& b, std::size_t tail) { ChangeFrequency(b, tail, 0, 1e308); },
                   "allele frequencies out of range"},
        DamageCase{"FrequencySum",
                   [](std::vector<uint8_t>& b, std::size_t tail) { ChangeFrequency(b, tail, 0, 0.0); },
                   "allele frequencies of stock North at character Locus1 do not sum to 1"},
        DamageCase{"GammaValue",
                   [](std::vector<uint8_t>& b, std::size_t tail) {
                     PutDoubleAt(b, tail + kGammaAt + 8, std::numeric_limits<double>::infinity());
                   },
                   "generator state out of range"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

TEST(RestartRead, MissingFileIsSilentUnlessOnlyProbed) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  MessageRecorder messages;
  Chain chain;
  chain.run = &run;
  chain.ui = &messages.ui;
  chain.index = 2;
  ASSERT_EQ(AllocateSamplerArrays(chain), 1);
  chain.resume = 1;
  EXPECT_EQ(TransferRestartFile(chain, kRestartRead, kRestartFull), 0);
  EXPECT_EQ(chain.resume, 0);
  EXPECT_TRUE(messages.boxes.empty());

  chain.resume = 1;
  EXPECT_EQ(TransferRestartFile(chain, kRestartRead, kRestartChecksOnly), 0);
  EXPECT_EQ(chain.resume, 0);
  ASSERT_EQ(messages.boxes.size(), 1u);
  EXPECT_EQ(messages.boxes[0].text, "Cannot Open\r\n" + folder.File("Tiny_03.Rst") + "\r\nfor reading\r\nNo such file or directory");
  EXPECT_EQ(messages.boxes[0].type, uint32_t{kMbIconWarning} | MessageForChain(3));
}

// A probe takes the six chain values (the panel shows them, and a chain
// already at the number of reps is not started) but nothing else.
TEST(RestartRead, ProbeTakesOnlyTheChainValues) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  run.settings.ThinSta = 2;
  MessageRecorder messages;
  auto writer = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(writer, nullptr);
  DrawFrequencies(*writer);
  ASSERT_EQ(chain_testing::RunIterations(*writer, 1, 7), 1);
  ASSERT_EQ(chain_testing::EndChain(*writer), 1);

  Chain chain;
  chain.run = &run;
  chain.ui = &messages.ui;
  EXPECT_EQ(TransferRestartFile(chain, kRestartRead, kRestartChecksOnly), 1);
  EXPECT_EQ(chain.iteration.load(), 7);
  EXPECT_EQ(chain.endIteration, 1000);
  EXPECT_EQ(chain.seed1, 687688);
  EXPECT_EQ(chain.seed2, 788781);
  EXPECT_EQ(chain.samples.assignment.total, 3u);
  EXPECT_EQ(chain.samples.composition.total, 7u);
  EXPECT_TRUE(chain.arrays.proportions.empty());
  EXPECT_EQ(chain.generators.ran2.draws, 0u);
  EXPECT_TRUE(messages.boxes.empty());

  RestartChainValues values;
  ASSERT_EQ(ReadRestartChainValues(RestartFilePath(chain), values), 1);
  EXPECT_EQ(values.iteration, 7);
  EXPECT_EQ(values.assignmentTotal, 3);
  EXPECT_EQ(ReadRestartChainValues(folder.File("none.Rst"), values), 0);
}

TEST(NumberOfReps, CurrentValueIsTheSmallestRecordedCount) {
  struct Case {
    int32_t runReps;
    std::vector<int32_t> recorded;
    int32_t current;
  };
  const Case cases[] = {{5000, {}, 5000},
                        {5000, {0, 0}, 5000},
                        {5000, {0, 3000, 0, 4000}, 3000},
                        {2000, {3000}, 2000}};
  for (const Case& c : cases) {
    EXPECT_EQ(CurrentNumberOfReps(c.runReps, c.recorded), c.current) << c.runReps;
  }
}

TEST(NumberOfReps, AcceptsNoValueBelowTheCurrentOne) {
  struct Case {
    int32_t proposed, current;
    bool accepted;
  };
  const Case cases[] = {{3000, 3000, true},
                        {2999, 3000, false},
                        {99999999, 10, true},
                        {100000000, 10, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(AcceptNumberOfReps(c.proposed, c.current), c.accepted) << c.proposed;
  }
}

}  // namespace
}  // namespace mixora
