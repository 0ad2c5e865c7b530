// End-to-end tests of "mixora report" and "mixora convert" on a run control
// file made by "mixora load", with sample files written for its mixture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "support/cli_runner.h"

namespace mixora {
namespace {

using namespace testing_reports;
namespace fs = std::filesystem;

using mixora::testing_support::CliResult;
using mixora::testing_support::RunCli;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The small run of the load tests (3 stocks, 1 grouping level, 2 chains,
// three mixtures) with chains of 40 records for its first mixture.
class ReportCommandTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* name : {"small.tcf", "small_baseline.bse", "small_mixture.gen"})
      fs::copy(fs::path(MIXORA_TEST_DATA_DIR) / "rcf" / name, folder_.File(name));
    const CliResult load = RunCli(folder_.File(""), {"load", "small.tcf", "-o", "small.rcf"});
    ASSERT_EQ(load.exitCode, 0) << load.err;
    run_ = ReadRunControl(Interaction{}, folder_.File("small.rcf"), 0);
    ASSERT_TRUE(run_);
    for (int c = 0; c < 2; ++c) WriteChain(c, 40);
  }
  void WriteChain(int c, uint32_t records) {
    const uint32_t fish = static_cast<uint32_t>(run_->fishCount);
    auto assignment = [fish](uint32_t r, int chain) {
      std::vector<int32_t> stocks(fish);
      for (uint32_t i = 0; i < fish; ++i) stocks[i] = static_cast<int32_t>((r + i + chain) % 3);
      return stocks;
    };
    WriteReportChain(*run_, c, records, records, Composition, assignment);
  }
  std::string Report(int kind, bool byRegion, int ext = kExtText) const {
    return BuildRunFileName(*run_, kNoChain, kind, byRegion ? 0 : kNoGroup, ext);
  }
  CliResult Cli(const std::vector<std::string>& args) { return RunCli(folder_.File(""), args); }

  TempFolder folder_;
  std::unique_ptr<RunRecord> run_;
};

TEST_F(ReportCommandTest, AllReportsAreWrittenBesideTheRunControlFile) {
  const CliResult result = Cli({"report", "small.rcf", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (auto [kind, byRegion] : std::vector<std::pair<int, bool>>{
           {kReportRl, false}, {kReportRl, true}, {kReportIds, false}, {kReportScs, false},
           {kReportScs, true}, {kReportGr, false}, {kReportGr, true}}) {
    EXPECT_TRUE(FileExists(Report(kind, byRegion))) << Report(kind, byRegion);
    EXPECT_TRUE(Contains(result.out, "Report written: " + FileNameOf(Report(kind, byRegion)) + "\n"));
  }
  EXPECT_TRUE(
      Contains(result.out, "Report written: " + FileNameOf(Report(kReportIds, false, kExtCsv))));
  EXPECT_EQ(result.err, "");
}

TEST_F(ReportCommandTest, OneKindByRegionWritesOnlyItsFile) {
  const CliResult result =
      Cli({"report", "small.rcf", "--mixture", "1", "--kind", "compositions", "--by", "region"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "Report written: " + FileNameOf(Report(kReportScs, true)) + "\n");
  EXPECT_TRUE(Contains(result.err, "Producing: Stock Compositions by Region"));
  EXPECT_FALSE(FileExists(Report(kReportScs, false)));
  const std::string text = ReadText(Report(kReportScs, true));
  EXPECT_TRUE(Contains(text, "Level 1 Chains Combined - Grouped\r\n")) << text;
}

TEST_F(ReportCommandTest, FailuresAreNamedAndExitNonZero) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::function<void(ReportCommandTest&)> spoil;
    std::string error;
  };
  const Case cases[] = {
      {"missing sample file", {"report", "small.rcf"},
       [](ReportCommandTest& t) {
         fs::remove(BuildRunFileName(*t.run_, 1, kNoReport, kNoGroup, kExtAssignments));
       },
       "missing sample files of mixture 1"},
      {"unequal chains", {"report", "small.rcf"},
       [](ReportCommandTest& t) { t.WriteChain(1, 30); }, "Chains of unequal length"},
      {"fewer records than the report needs", {"report", "small.rcf", "--kind", "compositions"},
       [](ReportCommandTest& t) { t.WriteChain(1, 30); }, "fewer than the 40 the report needs"},
      {"mixture without its run", {"report", "small.rcf", "--mixture", "7"},
       [](ReportCommandTest&) {}, "small.rcf: there is no mixture 7: the run has 3 mixtures"},
      {"nothing to convert", {"convert", "small.rcf"}, [](ReportCommandTest&) {},
       "choose what to convert"},
      {"convert more than a chain holds", {"convert", "small.rcf", "--compositions", "--keep", "5"},
       [](ReportCommandTest& t) { t.WriteChain(1, 30); }, "chain 2 of mixture 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil(*this);
    const CliResult result = Cli(c.args);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(Contains(result.err, c.error)) << result.err;
    // Put the chains back for the next case.
    for (int chain = 0; chain < 2; ++chain) WriteChain(chain, 40);
    for (const auto& entry : fs::directory_iterator(folder_.File("")))
      if (entry.path().extension() == ".Txt" || entry.path().extension() == ".Csv")
        fs::remove(entry.path());
  }
}

// Every byte of every regular file in a folder, by name.
std::map<std::string, std::string> FolderContents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) contents[entry.path().filename().string()] = ReadText(entry.path().string());
  return contents;
}

// Earlier reports and conversions are replaced only after asking (refused,
// naming the file, without a terminal), and a report or conversion that
// fails, here on a damaged sample file, leaves them exactly as they were:
// no empty reports, no half-written ones, no temporary files.
TEST_F(ReportCommandTest, AFailingOrRefusedCommandKeepsEveryEarlierOutput) {
  ASSERT_EQ(Cli({"report", "small.rcf", "--quiet"}).exitCode, 0);
  ASSERT_EQ(Cli({"convert", "small.rcf", "--compositions", "--out", "ascii", "--quiet"}).exitCode, 0);
  const auto reports = FolderContents(folder_.File(""));
  const auto ascii = FolderContents(folder_.File("ascii"));

  const CliResult refused = Cli({"report", "small.rcf", "--kind", "compositions"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_TRUE(Contains(refused.err, FileNameOf(Report(kReportScs, false)) +
                                        " (no terminal to ask; use --overwrite)"))
      << refused.err;

  // The first block of chain 2's compositions no longer decompresses: the
  // diagnostics read it, the compositions (past the discarded part) may not.
  const std::string ise = BuildRunFileName(*run_, 1, kNoReport, kNoGroup, kExtComposition);
  std::string bytes = ReadText(ise);
  bytes[kSampleFileHeaderSize + kSampleBlockHeaderSize + 20] ^= 0x55;
  std::ofstream(ise, std::ios::binary | std::ios::trunc) << bytes;
  const auto damaged = FolderContents(folder_.File(""));

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"report", "small.rcf", "--kind", "all", "--overwrite"},
        std::vector<std::string>{"convert", "small.rcf", "--compositions", "--out", "ascii",
                                 "--overwrite"}}) {
    SCOPED_TRACE(args[0]);
    const CliResult failed = Cli(args);
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_TRUE(Contains(failed.err, FileNameOf(ise))) << failed.err;
    EXPECT_TRUE(Contains(failed.err, "compressed data damaged")) << failed.err;
  }
  // The reports that could not be made are the earlier ones, whole; the
  // others were made again from the same records.
  const auto after = FolderContents(folder_.File(""));
  for (const std::string& rl : {Report(kReportRl, false), Report(kReportRl, true)})
    EXPECT_EQ(after.at(FileNameOf(rl)), reports.at(FileNameOf(rl))) << rl;
  for (const auto& [name, text] : after) {
    EXPECT_TRUE(damaged.count(name)) << "left behind: " << name;
    EXPECT_FALSE(text.empty()) << name;
  }
  EXPECT_EQ(FolderContents(folder_.File("ascii")), ascii);
}

TEST_F(ReportCommandTest, ConvertWritesTheKeptTailOfEveryChain) {
  const CliResult result = Cli({"convert", "small.rcf", "--compositions", "--groups",
                                "--assignments", "--keep", "10", "--out", "ascii", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string title = run_->runTitle;
  for (int chain = 1; chain <= 2; ++chain)
    for (const std::string suffix : {"_ASCII.Sta", "_ASCII.Ise", "_Grp1_ASCII.Ise"}) {
      const std::string path = JoinPath(folder_.File("ascii"), title + "_" + std::to_string(chain) + suffix);
      EXPECT_TRUE(FileExists(path)) << path;
    }
  const std::string first = ReadText(JoinPath(folder_.File("ascii"), title + "_1_ASCII.Ise"));
  EXPECT_EQ(first.substr(0, 8), "      31");
  const CliResult graph =
      Cli({"convert", "small.rcf", "--compositions", "--binary-graph", "--quiet"});
  ASSERT_EQ(graph.exitCode, 0) << graph.err;
  EXPECT_TRUE(FileExists(folder_.File(title + "_2.gse")));
  EXPECT_EQ(graph.out,
            "Converted: " + title + "_1.gse\nConverted: " + title + "_2.gse\n");
}

}  // namespace
}  // namespace mixora
