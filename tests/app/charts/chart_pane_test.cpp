#include "chart_pane.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <vector>

#include "reports/report_job.h"
#include "runfiles/run_file_names.h"
#include "sampler/run_opening.h"
#include "sampler/chain_runner.h"
#include "sampler/run_session.h"
#include "sampler/runner_fixture.h"

namespace mixora::charts {
namespace {

using namespace runner_testing;

// Real chains write and save their blocks while the pane refreshes as often
// as it can: it must never call a file damaged, and must end with every
// record the chains saved.
TEST(ChartPane, FollowsRunningChainsFromTheirCommittedBlocks) {
  ScratchFolder folder;
  Boxes boxes;
  std::string why;
  const std::string rcf = MakeSmallRun(folder.path(),
                                       {{"NumberOfChains", "3"},
                                        {"NumberOfReps", "12000"},
                                        {"ChangeSeeds", "T"},
                                        {"ThinIse", "1"},
                                        {"SaveEvery", "100"}},
                                       why);
  ASSERT_FALSE(rcf.empty()) << why;
  RunSession session;
  RunRecord* run = OpenRun(session, boxes.ui, rcf, 0);
  ASSERT_NE(run, nullptr) << boxes.All();

  ChartPane pane;
  pane.resize(900, 700);
  pane.show();
  pane.SetRun(run);
  EXPECT_TRUE(pane.LastRefreshSound()) << pane.StatusText().toStdString();
  EXPECT_EQ(pane.CommonRecords(), 0u);

  ASSERT_EQ(StartChains(session, 0, 3), 3);
  int refreshes = 0, midRun = 0;
  std::vector<uint32_t> seen;
  for (int spins = 0; spins < 100000; ++spins) {
    ChainNotice notice;
    while (TakeNotice(session.notices, notice, std::chrono::milliseconds(0)))
      if (notice.kind == kChainFinishedNotice) OnChainFinished(session, notice.chain);
    const bool running = session.liveThreads > 0;
    pane.Refresh();
    QCoreApplication::processEvents();
    ++refreshes;
    ASSERT_TRUE(pane.LastRefreshSound()) << pane.StatusText().toStdString();
    if (running && pane.CommonRecords() > 0 && pane.CommonRecords() < 12000) ++midRun;
    if (!running) break;
  }
  EXPECT_GT(midRun, 0) << "the pane showed records while the chains ran (" << refreshes
                       << " refreshes)";
  std::vector<uint32_t> compositionTotals, assignmentTotals;
  ReadChainTotals(*run, compositionTotals, assignmentTotals);
  EXPECT_EQ(pane.CommonRecords(), 12000u);
  EXPECT_EQ(compositionTotals[0], 12000u);
  EXPECT_TRUE(pane.GelmanRubinText().startsWith(QStringLiteral("Gelman-Rubin (live): ")))
      << pane.GelmanRubinText().toStdString();
  EXPECT_TRUE(pane.StatusText().contains(QStringLiteral("12000 records in every chain")))
      << pane.StatusText().toStdString();
  EXPECT_FALSE(pane.CompositionPicture().size.isEmpty());
  EXPECT_FALSE(pane.TracePicture().size.isEmpty());
  EXPECT_TRUE(boxes.shown.empty()) << boxes.All();
  pane.SetRun(nullptr);
  CloseRun(session);
}

TEST(ChartPane, NamesADamagedFileAndRecoversWhenItIsSoundAgain) {
  ScratchFolder folder;
  Boxes boxes;
  std::string why;
  const std::string rcf = MakeSmallRun(
      folder.path(), {{"NumberOfChains", "2"}, {"NumberOfReps", "400"}, {"SaveEvery", "100"}}, why);
  ASSERT_FALSE(rcf.empty()) << why;
  RunSession session;
  RunRecord* run = OpenRun(session, boxes.ui, rcf, 0);
  ASSERT_NE(run, nullptr);
  ASSERT_EQ(StartChains(session, 0, 2), 2);
  for (int spins = 0; spins < 600 && session.liveThreads > 0; ++spins) {
    ChainNotice notice;
    if (TakeNotice(session.notices, notice, std::chrono::milliseconds(50)) &&
        notice.kind == kChainFinishedNotice)
      OnChainFinished(session, notice.chain);
  }
  ChartPane pane;
  pane.SetRun(run);
  ASSERT_TRUE(pane.LastRefreshSound()) << pane.StatusText().toStdString();
  const std::string ise = BuildRunFileName(*run, 1, kNoReport, kNoGroup, kExtComposition);
  std::vector<uint8_t> bytes = ReadBytes(ise);
  ASSERT_GT(bytes.size(), 100u);
  std::vector<uint8_t> damaged = bytes;
  damaged[0] = 'X';
  std::ofstream(ise, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(damaged.data()), static_cast<std::streamsize>(damaged.size()));
  pane.Refresh();
  EXPECT_FALSE(pane.LastRefreshSound());
  EXPECT_TRUE(pane.StatusText().contains(QString::fromStdString(ise)))
      << pane.StatusText().toStdString();
  std::ofstream(ise, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  pane.Refresh();
  EXPECT_TRUE(pane.LastRefreshSound());
  pane.SetRun(nullptr);
  CloseRun(session);
}

}  // namespace
}  // namespace mixora::charts
