#include "reports/assignment_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "reports/report_runner.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {

using namespace testing_reports;

class AssignmentReportTest : public ::testing::Test {
 protected:
  int Produce() {
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    return RunReportInline(job, kReportAssignments, false);
  }
  std::string Txt() const {
    return StableText(BuildRunFileName(run_, kNoChain, kReportIds, kNoGroup, kExtText),
                      FolderOf(run_.controlPath));
  }
  std::string Csv() const {
    return ReadText(BuildRunFileName(run_, kNoChain, kReportIds, kNoGroup, kExtCsv));
  }
  static std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  TempFolder folder_;
  RunRecord run_;
  Recorder rec_;
};

TEST_F(AssignmentReportTest, TextAndCommaSeparatedFilesMatchTheStoredReports) {
  run_ = ReportRun(folder_, 2, 6);
  for (int c = 0; c < 2; ++c) WriteReportChain(run_, c, 10, 10);
  ASSERT_EQ(Produce(), 1) << rec_.AllMessages();
  EXPECT_TRUE(rec_.messages.empty()) << rec_.AllMessages();
  ExpectGolden(Txt(), "Coho_POP_01_IDs.Txt");
  ExpectGolden(Csv(), "Coho_POP_01_IDs.Csv");
}

// Two chains of 1000 kept samples: a count of 500 is a quarter.
TEST_F(AssignmentReportTest, SharesAreCountsOverAllKeptSamples) {
  run_ = ReportRun(folder_, 2, 1000);
  run_.fishCount = 1;
  run_.fishNames = {"Fish 1"};
  run_.badCount = 0;
  run_.badFlags.clear();
  run_.badNames.clear();
  auto quarter = [](uint32_t r, int) { return std::vector<int32_t>{r % 4 == 0 ? 0 : 2}; };
  for (int c = 0; c < 2; ++c) WriteReportChain(run_, c, 1000, 1000, Composition, quarter);
  ASSERT_EQ(Produce(), 1) << rec_.AllMessages();
  const std::string text = Txt();
  EXPECT_NE(text.find("Total number of MCMC samples:         2000\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFish 1   0.25   0.00   0.75\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFish 1,  Cedar Lake, 20, 0.7500,  Alpha Creek, 10, 0.2500\r\n"),
            std::string::npos)
      << text;
  // No excluded fish: the Top 5 heading follows the last share line.
  EXPECT_NE(text.find("0.75\r\n\r\n\r\nTop 5"), std::string::npos) << text;
  EXPECT_EQ(Csv(),
            "    1, Fish 1, Cedar Lake, 20, 0.7500\r\n"
            "    1, Fish 1, Alpha Creek, 10, 0.2500\r\n");
}

TEST_F(AssignmentReportTest, TopFiveKeepsTheFiveMostFrequentStocks) {
  run_ = ReportRun(folder_, 1, -1);
  run_.settings.NumberOfStocks = 7;
  run_.stockId = {1, 2, 3, 4, 5, 6, 7};
  run_.stockNames = {"S1", "S2", "S3", "S4", "S5", "S6", "S7"};
  run_.groupAt = {{0, 0, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 0}};
  run_.fishCount = 1;
  run_.fishNames = {"Fish 1"};
  // Stock s appears 7 - s times, the rarest first; 56 records, half kept.
  std::vector<int32_t> pattern;
  for (int s = 6; s >= 0; --s)
    for (int k = 0; k < 7 - s; ++k) pattern.push_back(s);
  std::vector<int32_t> twice = pattern;
  twice.insert(twice.end(), pattern.begin(), pattern.end());
  auto spread = [&](uint32_t r, int) { return std::vector<int32_t>{twice[r]}; };
  auto flat = [](uint32_t, int) { return std::vector<int32_t>(7, 100000000 / 7); };
  WriteReportChain(run_, 0, 56, 56, flat, spread);
  ASSERT_EQ(Produce(), 1) << rec_.AllMessages();
  const std::string text = Txt();
  EXPECT_NE(text.find("\r\nFish 1,  S1, 10, 0.2500,  S2, 10, 0.2143,  S3, 10, 0.1786,  S4, 20, "
                      "0.1429,  S5, 20, 0.1071\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(Count(Csv(), "\r\n"), 5u + 1u) << Csv();  // five top lines and the excluded fish
  EXPECT_NE(Csv().find("    1, Fish 5, Number of missing Loci exceeded, Allele not seen in baseline\r\n"),
            std::string::npos)
      << Csv();
}

// Assignments thinned twice as much as compositions: the discarded
// compositions span as many iterations as half as many assignment records,
// and each fish's shares still add up to one.
TEST_F(AssignmentReportTest, AnotherThinningOfAssignmentsKeepsTheSameIterations) {
  run_ = ReportRun(folder_, 2, 10);
  run_.settings.ThinSta = 2;
  for (int c = 0; c < 2; ++c) WriteReportChain(run_, c, 20, 10);
  ASSERT_EQ(Produce(), 1) << rec_.AllMessages();
  const std::string text = Txt();
  EXPECT_NE(text.find("Number of burn-in samples to discard: 10\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Total number of MCMC samples:         10\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFish 1   0.00   0.00   1.00\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFish 2   0.40   0.60   0.00\r\n"), std::string::npos) << text;
}

TEST_F(AssignmentReportTest, MissingChainFileEndsTheReportWithTheChainNamed) {
  run_ = ReportRun(folder_, 2, 6);
  for (int c = 0; c < 2; ++c) WriteReportChain(run_, c, 10, 10);
  const std::string missing = BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtAssignments);
  std::remove(missing.c_str());
  EXPECT_EQ(Produce(), 0);
  ASSERT_EQ(rec_.messages.size(), 1u) << rec_.AllMessages();
  EXPECT_EQ(rec_.messages[0], "Cannot Open " + missing + ": No such file or directory");
  const std::string text = Txt();
  EXPECT_NE(text.find("Chain 1: FOLDER/Coho_POP_01_01.Sta\r\n"
                      "Error opening Chain File 2: FOLDER/Coho_POP_01_02.Sta\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Proportion"), std::string::npos) << text;
}

TEST_F(AssignmentReportTest, StockOutsideTheRunIsRefusedNotCounted) {
  run_ = ReportRun(folder_, 1, 6);
  auto wild = [](uint32_t r, int) {
    return std::vector<int32_t>{r == 8 ? 3 : 0, 0, 0, 0};
  };
  WriteReportChain(run_, 0, 10, 10, Composition, wild);
  EXPECT_EQ(Produce(), 0);
  ASSERT_EQ(rec_.messages.size(), 1u);
  EXPECT_NE(rec_.messages[0].find("record 9 assigns mixture individual 1 to stock 4"),
            std::string::npos)
      << rec_.messages[0];
}

TEST(ExclusionReasons, NamesEveryFlagFromTheLowestBit) {
  EXPECT_EQ(ExclusionReasons(0), "");
  EXPECT_EQ(ExclusionReasons(static_cast<int32_t>(0x00280003u)),
            ", Number of missing Loci exceeded, No alleles present in line");
  EXPECT_EQ(ExclusionReasons(static_cast<int32_t>(0x80010000u)),
            ", Cannot parse line, Stock not found");
}

}  // namespace
}  // namespace mixora
