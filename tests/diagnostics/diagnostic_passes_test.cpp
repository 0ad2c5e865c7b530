#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diagnostics/diagnostic_passes.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_writer.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;

class DiagnosticPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::NewTempFolder("diag");
    run_.controlPath = (folder_ / "T.rcf").string();
    run_.runTitle = "T_POP_01";
    run_.settings.ThinIse = 1;
    run_.settings.ThinSta = 1;
    run_.settings.SaveEvery = 100;
    run_.fishCount = 1;
    pass_.run = &run_;
    pass_.ui.message = [this](uint32_t type, const std::string& text) {
      messages_.push_back(text);
      return DefaultAnswer(type);
    };
  }
  void TearDown() override {
    if (out_) std::fclose(out_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void SetStocks(std::vector<std::string> names, int chains) {
    run_.settings.NumberOfStocks = static_cast<int32_t>(names.size());
    run_.settings.NumberOfChains = chains;
    run_.stockNames = std::move(names);
  }

  // Writes chain `chain`'s composition file: records[r][s].
  void WriteChain(int chain, const std::vector<std::vector<int32_t>>& records) {
    ChainSampleFiles files;
    ASSERT_EQ(OpenChainOutputs(files, run_, chain, 1, 2, false, Interaction{}), 0);
    std::vector<int32_t> assignment(1, 0);
    for (const auto& record : records) {
      ASSERT_EQ(AppendCompositionRecord(files, record.data()), 1);
      ASSERT_EQ(AppendAssignmentRecord(files, assignment.data()), 1);
    }
    ASSERT_EQ(CloseChainSamples(files), 1);
    std::fclose(files.chainLog);
  }

  std::string ReportPath() { return (folder_ / "report.Txt").string(); }
  void OpenReport() {
    out_ = std::fopen(ReportPath().c_str(), "wb");
    ASSERT_NE(out_, nullptr);
    pass_.out = out_;
  }
  std::string ReportText() {
    std::fclose(out_);
    out_ = nullptr;
    std::ifstream in(ReportPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string ChainPath(int chain) {
    return BuildRunFileName(run_, chain, kNoReport, kNoGroup, kExtComposition);
  }

  fs::path folder_;
  RunRecord run_;
  DiagnosticPass pass_;
  std::FILE* out_ = nullptr;
  std::vector<std::string> messages_;
};

// Columns of the three-stock example: records[r] = {stock 0, 1, 2, rest},
// where a fourth stock holds what the three leave of the whole, as in every
// record a chain writes.
std::vector<std::vector<int32_t>> Columns(const std::vector<int32_t>& a,
                                          const std::vector<int32_t>& b,
                                          const std::vector<int32_t>& c) {
  std::vector<std::vector<int32_t>> records;
  for (std::size_t r = 0; r < a.size(); ++r)
    records.push_back({a[r], b[r], c[r], 100000000 - a[r] - b[r] - c[r]});
  return records;
}

TEST_F(DiagnosticPassTest, GelRubRefusesSingleChainRunsBeforeReadingAnything) {
  SetStocks({"A", "B"}, 1);
  OpenReport();
  pass_.length = 10;
  EXPECT_EQ(GelRub(pass_), 0);
  EXPECT_EQ(messages_, std::vector<std::string>{"GelRub requires at least 2 chains"});
  EXPECT_EQ(ReportText(), "");
}

TEST_F(DiagnosticPassTest, GelRubDiscardsLeadingRecordsAndNamesTheChainFiles) {
  SetStocks({"Alpha", "A very long stock name indeed", "Gamma", "Rest"}, 2);
  // Two leading records per chain that would change every factor if used.
  WriteChain(0, Columns({90000000, 0, 25000000, 25000000, 25000000, 25000000},
                        {0, 90000000, 10000000, 12000000, 11000000, 15000000},
                        {5, 10000000, 20000000, 25000000, 22000000, 18000000}));
  WriteChain(1, Columns({0, 1, 25000000, 25000000, 25000000, 25000000},
                        {3, 4, 30000000, 28000000, 35000000, 32000000},
                        {60000000, 2, 21000000, 19000000, 27000000, 23000000}));
  OpenReport();
  pass_.length = 6;
  pass_.discard = 2;
  ASSERT_EQ(GelRub(pass_), 1) << (messages_.empty() ? "" : messages_[0]);
  EXPECT_EQ(ReportText(),
            "\r\nGelman and Rubin Shrink Factors:\r\n"
            "--------------------------------\r\n"
            "Length of chain:  6\r\n"
            "Length used:      4\r\n"
            "Number of chains: 2\r\n"
            "\r\n"
            "Chain 1: " + ChainPath(0) + "\r\n"
            "Chain 2: " + ChainPath(1) + "\r\n"
            "\r\n"
            "STOCK              Estimate     97.5% quantile\r\n"
            "----------------------------------------------\r\n"
            "Alpha                1.00             1.00\r\n"
            "A very long stock    9.09            21.82\r\n"
            "Gamma                0.95             1.18\r\n"
            "Rest                 5.14            16.49\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(DiagnosticPassTest, GelRubFailsWithoutWritingWhenAChainIsTooShort) {
  SetStocks({"A", "B"}, 2);
  WriteChain(0, {{10000000, 90000000}, {30000000, 70000000}, {50000000, 50000000}});
  WriteChain(1, {{10000000, 90000000}, {30000000, 70000000}});
  OpenReport();
  pass_.length = 3;
  EXPECT_EQ(GelRub(pass_), 0);
  EXPECT_EQ(ReportText(), "");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find(ChainPath(1)), std::string::npos) << messages_[0];
}

// The balanced 0/1 pattern of the run-length tests, as two levels.
std::vector<int32_t> Balanced() {
  std::vector<int32_t> values;
  for (int k = 0; k < 100; ++k)
    for (int z : {0, 0, 0, 1, 1, 1, 0, 1}) values.push_back(z ? 100000 : 200000);
  values.push_back(200000);
  return values;
}

TEST_F(DiagnosticPassTest, RafteryLewisByRegionSumsStocksIntoGroups) {
  SetStocks({"s1", "s2", "s3", "s4", "s5"}, 1);
  run_.groupAt = {{0, 0, 1, 1, 2}};
  run_.levelGroupCount = {3};
  run_.levelGroupNames = {{"North", "South", "Rest"}};
  run_.settings.Quantile = 0.4;
  run_.settings.Accuracy = 0.02;
  run_.settings.Probability = 0.95;
  // North = s1 + s2 follows the balanced pattern; South = s3 + s4 is
  // constant; Rest (s5) holds what they leave of the whole.
  std::vector<std::vector<int32_t>> records;
  for (int32_t v : Balanced())
    records.push_back({v - 40000, 40000, 2000000, 3000000, 100000000 - v - 5000000});
  WriteChain(0, records);
  OpenReport();
  pass_.byRegion = true;
  pass_.level = 0;
  pass_.showSummary = true;
  ASSERT_EQ(RafteryLewis(pass_), 1) << (messages_.empty() ? "" : messages_[0]);
  const std::string text = ReportText();
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Level 1 Chain 1: " + ChainPath(0) + " - Grouped");
  EXPECT_NE(text.find("\r\nNorth                 1         2402     2305          1.04\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\nSouth                 1          n/a     2305           n/a  alpha"),
            std::string::npos)
      << text;
  EXPECT_EQ(messages_, std::vector<std::string>{"Chain 1: 801 Estimates, 2402 Suggested"});
}

TEST_F(DiagnosticPassTest, RafteryLewisStopsAtAMissingChainFileAndKeepsEarlierSections) {
  SetStocks({"A", "B"}, 2);
  run_.settings.Quantile = 0.975;
  run_.settings.Accuracy = 0.02;
  run_.settings.Probability = 0.95;
  WriteChain(0, {{10000000, 90000000},
                 {30000000, 70000000},
                 {20000000, 80000000},
                 {40000000, 60000000}});
  OpenReport();
  pass_.showSummary = true;
  EXPECT_EQ(RafteryLewis(pass_), 0);
  const std::string text = ReportText();
  EXPECT_NE(text.find("4 Estimates, "), std::string::npos) << text;
  EXPECT_EQ(text.find("Chain 2"), std::string::npos) << text;
  ASSERT_EQ(messages_.size(), 1u);  // the error only, no summary
  EXPECT_NE(messages_[0].find(ChainPath(1)), std::string::npos) << messages_[0];
}

}  // namespace
}  // namespace mixora
