#include "reports/report_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "reports/run_reports.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {

using namespace testing_reports;
namespace fs = std::filesystem;

class ReportRunnerTest : public ::testing::Test {
 protected:
  void Make(int chains, uint32_t records, int numberToKeep = -1) {
    run_ = ReportRun(folder_, chains, numberToKeep);
    for (int c = 0; c < chains; ++c) WriteReportChain(run_, c, records, records);
  }
  std::string Report(int kind, bool byRegion, int ext = kExtText) const {
    return BuildRunFileName(run_, kNoChain, kind, byRegion ? 0 : kNoGroup, ext);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FolderOf(run_.controlPath))) {
      const std::string name = entry.path().filename().string();
      if (name.find(".Txt") != std::string::npos || name.find(".Csv") != std::string::npos)
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
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

TEST_F(ReportRunnerTest, ByRegionRunsOnePassPerGroupingLevelIntoOneFile) {
  Make(2, 20);
  run_.settings.Levels = 3;
  run_.groupAt.push_back({0, 1, 2});
  run_.levelGroupCount.push_back(3);
  run_.levelGroupId.push_back({7, 8, 9});
  run_.levelGroupNames.push_back({"A", "B", "C"});
  ReportJob job;
  job.run = &run_;
  rec_.Attach(job);
  ASSERT_EQ(RunReportInline(job, kReportCompositions, true), 1) << rec_.AllMessages();
  const std::string text = ReadText(Report(kReportScs, true));
  EXPECT_EQ(Count(text, "Summary Statistics"), 3u);
  EXPECT_EQ(Count(text, "\r\n\r\n\r\nSummary Statistics"), 2u);
  EXPECT_EQ(Count(text, "Level 3 Chain 2: "), 1u);
  EXPECT_EQ(job.filesWritten, std::vector<std::string>{Report(kReportScs, true)});
  EXPECT_EQ(rec_.status[1], (std::vector<std::string>{"Producing: Stock Compositions by Region",
                                                      "Finished Stock Compositions by Region"}));
}

TEST_F(ReportRunnerTest, WorkerThreadWritesTheSameReportAndSaysWhenDone) {
  Make(2, 10, 6);
  ReportJob job;
  job.run = &run_;
  rec_.Attach(job);
  job.withWindow = true;
  std::thread::id worker;
  int finished = -1;
  job.display.finished = [&](int result) {
    worker = std::this_thread::get_id();
    finished = result;
  };
  ASSERT_EQ(RunReport(job, kReportCompositions, false), 1) << rec_.AllMessages();
  EXPECT_EQ(finished, 1);
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_EQ(rec_.display, (std::vector<std::string>{"Working", "Finished"}));
  ExpectGolden(StableText(Report(kReportScs, false), FolderOf(run_.controlPath)),
               "Coho_POP_01_SCs.Txt");
}

TEST_F(ReportRunnerTest, AbortLeavesCompleteLinesAndAFailedReport) {
  Make(2, 10, 6);
  ReportJob job;
  job.run = &run_;
  rec_.Attach(job);
  // The person presses Abort while the second chain's table is computed.
  job.display.currentFile = [&](const std::string& text) {
    if (text == "Chain 2") job.abort.store(1);
  };
  EXPECT_EQ(RunReport(job, kReportCompositions, false), 0);
  EXPECT_EQ(job.failed, 1);
  EXPECT_EQ(rec_.display.back(), "Aborted");
  EXPECT_TRUE(rec_.messages.empty()) << rec_.AllMessages();
  const std::string text = ReadText(Report(kReportScs, false));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(Count(text, "Cedar Lake"), 1u) << text;  // the first chain's table only
  EXPECT_EQ(text.find("Chains Combined"), std::string::npos);
  EXPECT_TRUE(job.filesWritten.empty());
}

// A stop from outside (the command line's signals) asks for no unfinished
// report at all; an earlier complete one stays as it was.
TEST_F(ReportRunnerTest, AbortThatDiscardsLeavesNoUnfinishedReportAndKeepsAnEarlierOne) {
  Make(2, 10, 6);
  const std::string path = Report(kReportScs, false);
  for (const bool earlier : {false, true}) {
    SCOPED_TRACE(earlier ? "over an earlier report" : "no earlier report");
    if (earlier) std::ofstream(path, std::ios::binary) << "an earlier report\r\n";
    ReportJob job;
    job.run = &run_;
    job.discardWhenAborted = true;
    run_.overwriteAll = true;
    rec_.Attach(job);
    job.display.currentFile = [&](const std::string& text) {
      if (text == "Chain 2") job.abort.store(1);
    };
    EXPECT_EQ(RunReport(job, kReportCompositions, false), 0);
    EXPECT_EQ(rec_.display.back(), "Aborted");
    if (earlier)
      EXPECT_EQ(ReadText(path), "an earlier report\r\n");
    else
      EXPECT_FALSE(fs::exists(path));
    for (const auto& entry : fs::directory_iterator(FolderOf(run_.controlPath)))
      EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST_F(ReportRunnerTest, ReportFileThatCannotBeCreatedFailsTheReport) {
  Make(1, 10);
  fs::create_directory(Report(kReportIds, false));  // a folder where the file should go
  ReportJob job;
  job.run = &run_;
  rec_.Attach(job);
  EXPECT_EQ(RunReportInline(job, kReportAssignments, false), 0);
  EXPECT_EQ(rec_.messages, std::vector<std::string>{"Cannot Open " + Report(kReportIds, false) +
                                           ": No such file or directory"});
  EXPECT_EQ(rec_.display.back(), "Failed");
  EXPECT_FALSE(fs::exists(Report(kReportIds, false, kExtCsv)));
}

TEST_F(ReportRunnerTest, AllReportsWritesEveryReportInTurn) {
  Make(2, 200);
  ReportSession session;
  std::vector<bool> button;
  session.abortButton = [&](bool visible) { button.push_back(visible); };
  std::vector<std::string> files;
  ASSERT_EQ(RunAllReportsForRun(run_, rec_.ui, files, &session), 1) << rec_.AllMessages();
  EXPECT_TRUE(rec_.messages.empty()) << rec_.AllMessages();
  const std::string folder = FolderOf(run_.controlPath);
  // The Csv files are completed before their text report closes; the tidy
  // estimates follow the composition report by stock.
  const std::vector<std::string> order = {
      Report(kReportRl, false),           Report(kReportRl, true),
      Report(kReportIds, false, kExtCsv), JoinPath(folder, "Coho_POP_01_posteriors.csv"),
      Report(kReportIds, false),          Report(kReportScs, false),
      JoinPath(folder, "Coho_POP_01_estimates.csv"),
      Report(kReportScs, true),           Report(kReportGr, false),
      Report(kReportGr, true)};
  EXPECT_EQ(files, order);
  EXPECT_EQ(button, (std::vector<bool>{true, false}));
  EXPECT_EQ(session.reportsRunning.load(), 0);
  EXPECT_EQ(rec_.status[0], std::vector<std::string>{"Reports"});
  EXPECT_EQ(rec_.status[1].back(), "All Reports complete");
  EXPECT_EQ(rec_.status[2].back(), "");
}

TEST_F(ReportRunnerTest, ChainsOfUnequalLengthProduceNothing) {
  struct Case {
    const char* what;
    uint32_t compositions, assignments;
  };
  const Case cases[] = {{"shorter compositions", 19, 20}, {"shorter assignments", 20, 19}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    run_ = ReportRun(folder, 2, -1);
    WriteReportChain(run_, 0, 20, 20);
    WriteReportChain(run_, 1, c.compositions, c.assignments);
    rec_.messages.clear();
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    EXPECT_EQ(RunAllReports(job), 0);
    EXPECT_TRUE(Files().empty());
    ASSERT_EQ(rec_.messages.size(), 1u);
    EXPECT_NE(rec_.messages[0].find("Chains of unequal length"), std::string::npos);
    EXPECT_EQ(rec_.status[2].back(), "Error producing report");
  }
}

TEST_F(ReportRunnerTest, AbortingTheSequenceStopsItAndSaysSo) {
  Make(2, 50);
  ReportSession session;
  rec_.ui.status = [&](int part, const std::string& text) {
    rec_.status[part].push_back(text);
    if (text == "Producing: Stock Compositions by Population") AbortRunningReports(session);
  };
  ReportJob job;
  job.run = &run_;
  job.ui = rec_.ui;
  job.session = &session;
  EXPECT_EQ(RunAllReports(job), 0);
  EXPECT_EQ(rec_.status[1].back(), "Reports aborted");
  for (const std::string& text : rec_.status[1]) EXPECT_NE(text, "All Reports complete");
  EXPECT_EQ(rec_.status[2].back(), "");
  EXPECT_TRUE(fs::exists(Report(kReportIds, false)));
  EXPECT_FALSE(fs::exists(Report(kReportScs, true)));
  EXPECT_FALSE(fs::exists(Report(kReportGr, false)));
  EXPECT_EQ(session.reportsRunning.load(), 0);
  // Once the whole sequence is aborted, no further report starts.
  EXPECT_EQ(RunReportInline(job, kReportGelmanRubin, false), 0);
  EXPECT_FALSE(fs::exists(Report(kReportGr, false)));
}

TEST_F(ReportRunnerTest, LengthComesFromTheFirstChainAndKeepCanExceedIt) {
  struct Case {
    int keep;
    int32_t discard;
  };
  for (const Case& c : {Case{-1, 15}, Case{10, 20}, Case{1000, 0}, Case{0, 30}}) {
    run_ = ReportRun(folder_, 2, c.keep);
    if (!fs::exists(BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtComposition))) {
      WriteReportChain(run_, 0, 30, 40);
      WriteReportChain(run_, 1, 35, 45);
    }
    ReportJob job;
    job.run = &run_;
    PrepareReportJob(job);
    EXPECT_EQ(job.length, 30);
    EXPECT_EQ(job.discard, c.discard) << c.keep;
    EXPECT_EQ(job.compositionTotals, (std::vector<uint32_t>{30, 35}));
    EXPECT_EQ(job.assignmentTotals, (std::vector<uint32_t>{40, 45}));
  }
}

TEST_F(ReportRunnerTest, MarkedMixturesAreReportedInOrderAfterAYes) {
  ReportSession session;
  std::vector<int> opened;
  MarkedMixtures mixtures;
  mixtures.marked = {1, 0};
  mixtures.openRun = [&](int p) {
    opened.push_back(p);
    auto run = std::make_unique<RunRecord>(ReportRun(folder_, 2, -1));
    run->runTitle = "Coho_POP_0" + std::to_string(p + 1);
    WriteReportChain(*run, 0, 20, 20);
    WriteReportChain(*run, 1, 20, 20);
    return run;
  };
  std::vector<bool> enabled;
  mixtures.enableCommands = [&](bool on) { enabled.push_back(on); };

  // The default answer to "Produce Reports?" is No.
  EXPECT_EQ(ProduceReportsForMarked(session, mixtures, rec_.ui), 0);
  EXPECT_EQ(rec_.messages, std::vector<std::string>{"Produce Reports?"});
  EXPECT_TRUE(opened.empty());

  Interaction yes = rec_.ui;
  yes.message = [](uint32_t type, const std::string& text) {
    return text == "Produce Reports?" ? int{kIdYes} : DefaultAnswer(type);
  };
  EXPECT_EQ(ProduceReportsForMarked(session, mixtures, yes), 1);
  EXPECT_EQ(opened, (std::vector<int>{0, 1}));
  EXPECT_EQ(enabled, (std::vector<bool>{false, true}));
  EXPECT_TRUE(fs::exists(folder_.File("Coho_POP_01_GR_Grp.Txt")));
  EXPECT_TRUE(fs::exists(folder_.File("Coho_POP_02_GR_Grp.Txt")));
}

}  // namespace
}  // namespace mixora
