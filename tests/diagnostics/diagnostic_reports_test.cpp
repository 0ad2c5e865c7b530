#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "diagnostics/gelman_rubin_report.h"
#include "diagnostics/identical_chains.h"
#include "diagnostics/raftery_lewis_report.h"

namespace mixora {
namespace {

// A FILE* that collects what is written into memory.
class MemoryFile {
 public:
  MemoryFile() : file_(open_memstream(&buffer_, &size_)) {}
  ~MemoryFile() {
    if (file_) std::fclose(file_);
    std::free(buffer_);
  }
  std::FILE* get() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

struct ProgressLog {
  std::vector<std::string> captions;
  std::vector<int64_t> done;
  std::vector<std::string> messages;
  Interaction ui;
  ProgressLog() {
    ui.progress = [this](const std::string& caption, int64_t d, int64_t) {
      captions.push_back(caption);
      done.push_back(d);
    };
    ui.message = [this](uint32_t, const std::string& text) {
      messages.push_back(text);
      return kIdOk;
    };
  }
};

// Aborts once it has been asked `after` times.
std::function<bool()> AbortAfter(int after) {
  auto calls = std::make_shared<int>(0);
  return [calls, after] { return ++*calls >= after; };
}

// Three stocks, two chains of four used records (proportions in hundredths
// of a percent): constant chains, chains far apart, chains that agree.
const std::vector<uint32_t> kGrSamples = {
    25000000, 25000000, 25000000, 25000000, 25000000, 25000000, 25000000, 25000000,  //
    10000000, 12000000, 11000000, 15000000, 30000000, 28000000, 35000000, 32000000,  //
    20000000, 25000000, 22000000, 18000000, 21000000, 19000000, 27000000, 23000000,
};

SampleArrayView GrView() { return SampleArrayView{kGrSamples.data(), 3, 2, 4}; }

DiagnosticLayout GrLayout(int level) {
  DiagnosticLayout layout;
  layout.rowNames = {"Alpha", "A very long stock name indeed", "Gamma"};
  layout.chainPaths = {"/data/run_01.Ise", "/data/run_02.Ise"};
  layout.level = level;
  return layout;
}

TEST(GelmanRubinReport, SectionByPopulationMatchesTheLayout) {
  MemoryFile out;
  ProgressLog progress;
  ASSERT_EQ(WriteGelmanRubinSection(out.get(), GrView(), 6, GrLayout(-1), progress.ui, nullptr), 1);
  EXPECT_EQ(out.Text(),
            "\r\nGelman and Rubin Shrink Factors:\r\n"
            "--------------------------------\r\n"
            "Length of chain:  6\r\n"
            "Length used:      4\r\n"
            "Number of chains: 2\r\n"
            "\r\n"
            "Chain 1: /data/run_01.Ise\r\n"
            "Chain 2: /data/run_02.Ise\r\n"
            "\r\n"
            "STOCK              Estimate     97.5% quantile\r\n"
            "----------------------------------------------\r\n"
            "Alpha                1.00             1.00\r\n"
            "A very long stock    9.09            21.82\r\n"
            "Gamma                0.95             1.18\r\n");
  EXPECT_EQ(progress.captions.front(), "Computing Factors - Est");
  EXPECT_EQ(progress.done, (std::vector<int64_t>{0, 1, 2, 3, 3}));
}

TEST(IdenticalChains, OnlyChainsThatMatchInEveryRowAndRecord) {
  // Two rows, chains of three records.
  const std::vector<uint32_t> copies = {1, 2, 3, 1, 2, 3, 1, 2, 3, /**/ 7, 8, 9, 7, 8, 9, 7, 8, 9};
  std::vector<uint32_t> lastRecordDiffers = copies;
  lastRecordDiffers[17] = 10;
  struct Case {
    const char* what;
    SampleArrayView view;
    bool identical;
  } cases[] = {
      {"three copies", {copies.data(), 2, 3, 3}, true},
      {"one record of one chain differs", {lastRecordDiffers.data(), 2, 3, 3}, false},
      {"a single chain", {copies.data(), 2, 1, 9}, false},
      {"no records", {copies.data(), 2, 3, 0}, false},
      {"chains that differ", GrView(), false},
  };
  for (const auto& c : cases) EXPECT_EQ(ChainsAreIdentical(c.view), c.identical) << c.what;
}

// Identical chains give factors of exactly 1; the section must not end as a
// clean bill.
TEST(GelmanRubinReport, IdenticalChainsAreNamedAfterTheTable) {
  std::vector<uint32_t> copies;
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 2; ++c)
      for (int r = 0; r < 4; ++r) copies.push_back(kGrSamples[(k * 2) * 4 + r]);
  MemoryFile out;
  ProgressLog progress;
  ASSERT_EQ(WriteGelmanRubinSection(out.get(), SampleArrayView{copies.data(), 3, 2, 4}, 6,
                                    GrLayout(-1), progress.ui, nullptr),
            1);
  const std::string text = out.Text();
  EXPECT_NE(text.find("\r\nNote: " + IdenticalChainsNote(2) + "\r\n"), std::string::npos) << text;
  EXPECT_NE(IdenticalChainsNote(2).find("ChangeSeeds = T"), std::string::npos);

  MemoryFile distinct;
  ASSERT_EQ(WriteGelmanRubinSection(distinct.get(), GrView(), 6, GrLayout(-1), progress.ui, nullptr), 1);
  EXPECT_EQ(distinct.Text().find("Note:"), std::string::npos);
}

TEST(GelmanRubinReport, SectionByRegionNamesTheLevelAndGroups) {
  MemoryFile out;
  ProgressLog progress;
  ASSERT_EQ(WriteGelmanRubinSection(out.get(), GrView(), 6, GrLayout(1), progress.ui, nullptr), 1);
  const std::string text = out.Text();
  EXPECT_NE(text.find("Number of chains: 2\r\n\r\n"
                      "Level 2 Chain 1: /data/run_01.Ise - Grouped\r\n"
                      "Level 2 Chain 2: /data/run_02.Ise - Grouped\r\n"
                      "\r\n"
                      "GROUP              Estimate     97.5% quantile\r\n"),
            std::string::npos)
      << text;
}

TEST(GelmanRubinReport, AbortKeepsTheLinesWrittenAndFails) {
  MemoryFile out;
  ProgressLog progress;
  EXPECT_EQ(WriteGelmanRubinSection(out.get(), GrView(), 6, GrLayout(-1), progress.ui, AbortAfter(2)),
            0);
  const std::string text = out.Text();
  EXPECT_NE(text.find("A very long stock    9.09            21.82\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Gamma"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");  // the last line is whole
}

TEST(GelmanRubinReport, WriteFailureIsNotSuccess) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full";
  ProgressLog progress;
  EXPECT_EQ(WriteGelmanRubinSection(full, GrView(), 6, GrLayout(-1), progress.ui, nullptr), 0);
  std::fclose(full);
}

// 801 records of the cyclic pattern 00011101 (alpha = beta = 1/2 at quantile
// 0.4), a constant stock, a stock never present, and a stock with a long name.
struct RlChain {
  std::vector<uint32_t> values;
  int length = 0;
};

RlChain RlFixture() {
  std::vector<uint32_t> balanced;
  for (int k = 0; k < 100; ++k)
    for (int z : {0, 0, 0, 1, 1, 1, 0, 1}) balanced.push_back(z ? 100000u : 200000u);
  balanced.push_back(200000u);
  RlChain chain;
  chain.length = static_cast<int>(balanced.size());
  std::vector<uint32_t> constant(chain.length, 5000000u), absent(chain.length, 0u);
  for (const auto* row : {&balanced, &constant, &absent, &balanced})
    chain.values.insert(chain.values.end(), row->begin(), row->end());
  return chain;
}

DiagnosticLayout RlLayout(int level) {
  DiagnosticLayout layout;
  layout.rowNames = {"Balanced", "Constant", "Absent", "A very long stock name indeed"};
  layout.chainPaths = {"/data/run_01.Ise", "/data/run_02.Ise"};
  layout.level = level;
  return layout;
}

const RunLengthSettings kRlSettings{0.4, 0.02, 0.95};

const char* const kRlChainOneBody =
    "\r\n\r\nRaftery and Lewis Diagnostic:\r\n"
    "-----------------------------\r\n"
    "Length of chain(s):       801\r\n"
    "Quantile:               0.400\r\n"
    "Accuracy:               0.020\r\n"
    "Probability:            0.950\r\n"
    "Epsilon:                0.001\r\n"
    "\r\n"
    "                            Iterations\r\n"
    "                            ----------\r\n"
    "                   Thin        Total     Nmin    Dependence\r\n"
    "                                                   Factor\r\n"
    "Balanced              1         2402     2305          1.04\r\n"
    "Constant              1          n/a     2305           n/a"
    "  alpha undefined: no step from above the quantile\r\n"
    "A very long stock     1         2402     2305          1.04\r\n"
    "\r\n"
    "\r\n\r\n801 Estimates, 2402 Suggested\r\n";

TEST(RafteryLewisReport, ChainSectionMatchesTheLayout) {
  const RlChain chain = RlFixture();
  MemoryFile out;
  ProgressLog progress;
  int64_t suggested = -1;
  ASSERT_EQ(RafteryLewisChain(out.get(), SampleArrayView{chain.values.data(), 4, 1, chain.length},
                              0, RlLayout(-1), kRlSettings, progress.ui, nullptr, suggested),
            1);
  EXPECT_EQ(out.Text(), std::string("Chain 1: /data/run_01.Ise") + kRlChainOneBody);
  EXPECT_EQ(suggested, 2402);
  // The absent stock takes no progress step.
  EXPECT_EQ(progress.done, (std::vector<int64_t>{0, 1, 2, 4, 4}));
  EXPECT_EQ(progress.captions.front(), "Computing Estimate");
}

TEST(RafteryLewisReport, PassByRegionOpensLaterChainsOnTheirOwnLineAndSumsUp) {
  const RlChain chain = RlFixture();
  MemoryFile out;
  ProgressLog progress;
  std::vector<int> loaded;
  auto load = [&](int c, std::vector<uint32_t>& values, int& length) {
    loaded.push_back(c);
    values = chain.values;
    length = chain.length;
    return 1;
  };
  ASSERT_EQ(WriteRafteryLewisPass(out.get(), 2, load, RlLayout(0), kRlSettings, progress.ui,
                                  nullptr, true),
            1);
  EXPECT_EQ(out.Text(), std::string("Level 1 Chain 1: /data/run_01.Ise - Grouped") +
                            kRlChainOneBody + "Level 1 \r\nChain 2: /data/run_02.Ise - Grouped" +
                            kRlChainOneBody);
  EXPECT_EQ(loaded, (std::vector<int>{0, 1}));
  EXPECT_EQ(progress.messages, (std::vector<std::string>{
                                   "Chain 1: 801 Estimates, 2402 Suggested\r\n"
                                   "Chain 2: 801 Estimates, 2402 Suggested"}));
}

TEST(RafteryLewisReport, FailuresStopThePassWithoutSummary) {
  const RlChain chain = RlFixture();
  auto load = [&](int c, std::vector<uint32_t>& values, int& length) {
    if (c == 1) return 0;
    values = chain.values;
    length = chain.length;
    return 1;
  };
  {
    SCOPED_TRACE("second chain unreadable");
    MemoryFile out;
    ProgressLog progress;
    EXPECT_EQ(WriteRafteryLewisPass(out.get(), 3, load, RlLayout(-1), kRlSettings, progress.ui,
                                    nullptr, true),
              0);
    EXPECT_NE(out.Text().find("801 Estimates, 2402 Suggested"), std::string::npos);
    EXPECT_TRUE(progress.messages.empty());
  }
  {
    SCOPED_TRACE("aborted after the first variable");
    MemoryFile out;
    ProgressLog progress;
    EXPECT_EQ(WriteRafteryLewisPass(out.get(), 3, load, RlLayout(-1), kRlSettings, progress.ui,
                                    AbortAfter(1), true),
              0);
    const std::string text = out.Text();
    const std::string tail = "Balanced              1         2402     2305          1.04\r\n"
                             "\r\n\r\n User Aborted!!!\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_TRUE(progress.messages.empty());
  }
  for (const RunLengthSettings& bad : {RunLengthSettings{0.0, 0.02, 0.95},
                                       RunLengthSettings{1.0, 0.02, 0.95},
                                       RunLengthSettings{0.5, 0.0, 0.95}}) {
    SCOPED_TRACE(bad.quantile);
    MemoryFile out;
    ProgressLog progress;
    EXPECT_EQ(WriteRafteryLewisPass(out.get(), 3, load, RlLayout(-1), bad, progress.ui, nullptr,
                                    true),
              0);
    EXPECT_EQ(out.Text(), "");
  }
}

}  // namespace
}  // namespace mixora
