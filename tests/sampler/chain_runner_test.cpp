#include "sampler/chain_runner.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sampler/run_opening.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"
#include "sampler/chain_clock.h"
#include "sampler/chain_progress.h"
#include "sampler/mixture_runner.h"
#include "sampler/restart_file.h"
#include "sampler/runner_fixture.h"

namespace mixora {
namespace {

using namespace runner_testing;
namespace fs = std::filesystem;

const char* const kTitle = "Small te_POP_01";

std::string ChainFile(const ScratchFolder& folder, int chain, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "%s_%02d.%s", kTitle, chain + 1, extension);
  return folder.File(name);
}

std::string MakeRun(const ScratchFolder& folder, const Keywords& keywords) {
  std::string why;
  std::string rcf = MakeSmallRun(folder.path(), keywords, why);
  EXPECT_FALSE(rcf.empty()) << why;
  return rcf;
}

MixtureRunOptions FirstMixture() {
  MixtureRunOptions options;
  options.mixtures = {0};
  return options;
}

int RunToEnd(const std::string& rcf, const MixtureRunOptions& options, Boxes& boxes) {
  MixtureRunOutcome outcome;
  return RunMixtures(rcf, options, boxes.ui, MixtureRunEvents{}, outcome);
}

int32_t RestartIteration(const std::string& path) {
  RestartChainValues values;
  return ReadRestartChainValues(path, values) == 1 ? values.iteration : -1;
}

// Hands every notice to the runner, as the front end does, until no chain
// thread is live; returns the mixture-finished notices seen.
int DrainNotices(RunSession& session) {
  int mixtureFinished = 0;
  for (int spins = 0; spins < 600; ++spins) {
    ChainNotice notice;
    if (TakeNotice(session.notices, notice, std::chrono::milliseconds(50))) {
      if (notice.kind == kChainFinishedNotice) OnChainFinished(session, notice.chain);
      if (notice.kind == kMixtureFinishedNotice) ++mixtureFinished;
    } else if (session.liveThreads == 0) {
      break;
    }
  }
  return mixtureFinished;
}

// ---- Clock ----

TEST(ChainClock, FormatsLoopTimeRoundingUpOnlyFromSix) {
  struct Case {
    uint64_t ms;
    uint64_t iterations;
    const char* text;
  } cases[] = {
      {1234, 50, "50 calls - 1.23 secs"},        {1237, 50, "50 calls - 1.24 secs"},
      {1235, 50, "50 calls - 1.23 secs"},        {12350, 2000, "2000 calls - 12.35 secs"},
      {0, 0, "0 calls - 0.00 secs"},             {999996, 7, "7 calls - 1000.00 secs"},
  };
  for (const Case& c : cases) {
    ChainClock clock;
    clock.elapsedMs = c.ms;
    clock.iterationsTimed = c.iterations;
    EXPECT_EQ(FormatClock(clock), c.text) << c.ms;
  }
}

TEST(ChainClock, SumsTicksAcrossStopsAndAWrappedCounter) {
  ChainClock clock;
  ClockTick(clock, 500);  // stopped: nothing counted
  EXPECT_EQ(clock.iterationsTimed, 0u);
  ClockStart(clock, 1000);
  ClockTick(clock, 1200);
  ClockTick(clock, 1250);
  ClockStop(clock, 1300);
  ClockStop(clock, 9000);  // already stopped
  EXPECT_EQ(clock.elapsedMs, 300u);
  EXPECT_EQ(clock.iterationsTimed, 2u);
  // Over the wrap at 2^32 the counter loses one millisecond.
  ClockStart(clock, 0xFFFFFFF0u);
  ClockTick(clock, 0x10u);
  EXPECT_EQ(clock.elapsedMs, 300u + 0x20u - 1u);
  ClockReset(clock);
  EXPECT_EQ(clock.elapsedMs, 0u);
  EXPECT_EQ(clock.lastTick, 0u);
}

TEST(ChainClock, ElapsedAndEstimateInHundredths) {
  struct Case {
    uint64_t ms, iterations;
    int32_t left;
    int64_t elapsed, eta;
  } cases[] = {
      {0, 0, 100, 0, -1},         // nothing timed: no estimate
      {1236, 0, 100, 124, -1},    // 6 rounds up
      {1235, 10, 10, 123, 123},   // 5 does not
      {2000, 100, 900, 200, 1800},
      {1000, 3, 1, 100, 33},      // 333 ms left
      {1000, 3, 2, 100, 67},      // 666 ms left
  };
  for (const Case& c : cases) {
    ChainTiming t = ChainElapsedAndEta(c.ms, c.iterations, c.left);
    EXPECT_EQ(t.elapsed, c.elapsed) << c.ms << " " << c.left;
    EXPECT_EQ(t.eta, c.eta) << c.ms << " " << c.left;
  }
}

TEST(ChainProgress, StateTextFollowsThreadAndIterations) {
  struct Case {
    bool live;
    int32_t runState, iteration, end;
    const char* text;
  } cases[] = {
      {true, kChainRunning, 5, 100, "Running"},    {true, kChainPaused, 5, 100, "Paused"},
      {false, kChainStopped, 0, 100, "Not Started"}, {false, kChainStopped, 100, 100, "Finished"},
      {false, kChainStopped, 150, 100, "Finished"},  {false, kChainStopped, 99, 100, "Incomplete"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChainStateText(c.live, c.runState, c.iteration, c.end), c.text) << c.text;
}

// ---- Determinism ----

// Four chains side by side on two cores, the same run again, and the four
// chains one after another all write the same bytes; the chains differ from
// each other, so a chain writing another's files would show.
TEST(ChainRunner, SameRunGivesTheSameFilesWhateverTheThreading) {
  const Keywords keywords = {{"NumberOfChains", "4"}, {"NumberOfReps", "350"},
                             {"ChangeSeeds", "T"},    {"ThinSta", "2"},
                             {"SaveEvery", "100"}};
  ScratchFolder together, again, oneByOne;
  Boxes boxes;
  ASSERT_EQ(RunToEnd(MakeRun(together, keywords), FirstMixture(), boxes), 1) << boxes.All();
  ASSERT_EQ(RunToEnd(MakeRun(again, keywords), FirstMixture(), boxes), 1) << boxes.All();
  const std::string rcf = MakeRun(oneByOne, keywords);
  for (int c = 0; c < 4; ++c) {
    MixtureRunOptions options = FirstMixture();
    options.chains = {c};
    ASSERT_EQ(RunToEnd(rcf, options, boxes), 1) << boxes.All();
  }
  for (const char* extension : {"Sta", "Ise", "Rst"}) {
    for (int c = 0; c < 4; ++c) {
      const auto bytes = ReadBytes(ChainFile(together, c, extension));
      ASSERT_FALSE(bytes.empty()) << extension << c;
      EXPECT_EQ(bytes, ReadBytes(ChainFile(again, c, extension))) << extension << c;
      EXPECT_EQ(bytes, ReadBytes(ChainFile(oneByOne, c, extension))) << extension << c;
      if (c > 0) {
        EXPECT_NE(bytes, ReadBytes(ChainFile(together, 0, extension))) << extension << c;
      }
    }
  }
  SampleRecords ise = ReadAllRecords(ChainFile(together, 0, "Ise"));
  EXPECT_EQ(ise.header.recordCount, 350u);
  EXPECT_EQ(ReadAllRecords(ChainFile(together, 0, "Sta")).header.recordCount, 175u);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.All();
}

// The threads of each chain share its fish; the files are those of one
// thread per chain, for every chain.
TEST(ChainRunner, ThreadsPerChainLeaveTheFilesAsTheyAre) {
  const Keywords keywords = {{"NumberOfChains", "2"}, {"NumberOfReps", "230"},
                             {"ChangeSeeds", "T"},    {"SaveEvery", "100"}};
  ScratchFolder one, three;
  Boxes boxes;
  ASSERT_EQ(RunToEnd(MakeRun(one, keywords), FirstMixture(), boxes), 1) << boxes.All();
  MixtureRunOptions options = FirstMixture();
  options.threadsPerChain = 3;
  ASSERT_EQ(RunToEnd(MakeRun(three, keywords), options, boxes), 1) << boxes.All();
  for (const char* extension : {"Sta", "Ise", "Rst"}) {
    for (int c = 0; c < 2; ++c) {
      const auto bytes = ReadBytes(ChainFile(one, c, extension));
      ASSERT_FALSE(bytes.empty()) << extension << c;
      EXPECT_EQ(bytes, ReadBytes(ChainFile(three, c, extension))) << extension << c;
    }
  }
}

// ---- Stop and resume ----

struct StopCase {
  int thinSta;
  int thinIse;
  int32_t stopChain0;  // iteration after which each chain is asked to stop
  int32_t stopChain1;
};

class StopAndResume : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopAndResume, EndsWithTheRecordsOfAnUninterruptedRun) {
  const StopCase c = GetParam();
  const Keywords keywords = {{"NumberOfReps", "450"},
                             {"ChangeSeeds", "T"},
                             {"SaveEvery", "100"},
                             {"ThinSta", std::to_string(c.thinSta)},
                             {"ThinIse", std::to_string(c.thinIse)}};
  ScratchFolder straight, stopped;
  Boxes boxes;
  ASSERT_EQ(RunToEnd(MakeRun(straight, keywords), FirstMixture(), boxes), 1) << boxes.All();

  const std::string rcf = MakeRun(stopped, keywords);
  MixtureRunOptions interrupted = FirstMixture();
  interrupted.afterIteration = [c](Chain& chain) {
    if (chain.iteration.load() == (chain.index == 0 ? c.stopChain0 : c.stopChain1))
      chain.abortRequested.store(1);
  };
  EXPECT_EQ(RunToEnd(rcf, interrupted, boxes), 0);
  EXPECT_EQ(RestartIteration(ChainFile(stopped, 0, "Rst")), c.stopChain0);
  EXPECT_EQ(RestartIteration(ChainFile(stopped, 1, "Rst")), c.stopChain1);
  // The stopped files already count what they hold.
  EXPECT_EQ(ReadAllRecords(ChainFile(stopped, 0, "Ise")).header.recordCount,
            uint32_t(c.stopChain0 / c.thinIse));

  ASSERT_EQ(RunToEnd(rcf, FirstMixture(), boxes), 1) << boxes.All();
  for (int chain = 0; chain < 2; ++chain) {
    for (const char* extension : {"Sta", "Ise"}) {
      SampleRecords want = ReadAllRecords(ChainFile(straight, chain, extension));
      SampleRecords got = ReadAllRecords(ChainFile(stopped, chain, extension));
      ASSERT_TRUE(want.error.empty() && got.error.empty()) << want.error << got.error;
      EXPECT_EQ(got.values, want.values) << extension << chain;
      EXPECT_EQ(got.header.recordCount, want.header.recordCount) << extension << chain;
      EXPECT_EQ(got.header.blockCapacity, want.header.blockCapacity) << extension << chain;
      EXPECT_EQ(got.header.thinning, want.header.thinning) << extension << chain;
      EXPECT_EQ(got.header.valuesPerRecord, want.header.valuesPerRecord) << extension << chain;
    }
    // Not only the records: the partial block a stop leaves is rewritten in
    // place, so the blocks, too, are those of a run that never stopped.
    for (const char* extension : {"Sta", "Ise", "Rst"})
      EXPECT_EQ(ReadBytes(ChainFile(straight, chain, extension)),
                ReadBytes(ChainFile(stopped, chain, extension)))
          << extension << chain;
  }
  EXPECT_TRUE(boxes.shown.empty()) << boxes.All();
}

INSTANTIATE_TEST_SUITE_P(
    StopPoints, StopAndResume,
    ::testing::Values(StopCase{1, 1, 137, 1},     // inside a block; right after the start
                      StopCase{1, 1, 200, 100},   // on block boundaries (saves)
                      StopCase{2, 2, 201, 299},   // equal thinning above 1
                      StopCase{1, 3, 250, 301},   // assignments kept more often
                      StopCase{3, 1, 131, 449},   // assignments kept less often; one short of the end
                      StopCase{5, 2, 200, 333},   // at a save that leaves a short assignment block
                      StopCase{5, 2, 203, 402})); // after it, before the next assignment record

// ---- Starting, pausing and aborting ----

class OpenedRun : public ::testing::Test {
 protected:
  void Open(const Keywords& keywords) {
    rcf_ = MakeRun(folder_, keywords);
    ASSERT_NE(OpenRun(session_, boxes_.ui, rcf_, 0), nullptr) << boxes_.All();
  }
  void TearDown() override { CloseRun(session_); }

  ScratchFolder folder_;
  Boxes boxes_;
  std::string rcf_;
  RunSession session_;
};

TEST_F(OpenedRun, PausedChainWaitsAndAnAbortStopsItWithoutAnotherIteration) {
  Open({{"NumberOfReps", "300"}});
  Gate gate;
  session_.afterIteration = [&gate](Chain& chain) {
    if (chain.iteration.load() == 20) gate.Arrive();
  };
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  gate.WaitArrival();
  PauseChains(session_, 0, 1);
  gate.Release();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const Chain& chain = *session_.chains[0];
  EXPECT_EQ(chain.iteration.load(), 20);
  EXPECT_EQ(ReadChainProgress(session_, 0).state, "Paused");

  boxes_.answerYes = true;
  EXPECT_EQ(AbortChains(session_, 0, 1, true), 1);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].second, "Abort Chain?");
  EXPECT_EQ(boxes_.shown[0].first, uint32_t{kMbYesNo} | kMbIconError | MessageForChain(1));
  EXPECT_EQ(DrainNotices(session_), 0);  // an aborted chain does not finish the mixture
  EXPECT_EQ(chain.iteration.load(), 20);
  EXPECT_EQ(chain.phase.load(), kPhaseAborted);
  EXPECT_EQ(chain.runState.load(), kChainStopped);
  EXPECT_EQ(RestartIteration(ChainFile(folder_, 0, "Rst")), 20);
  EXPECT_EQ(ReadChainProgress(session_, 0).state, "Incomplete");
}

TEST_F(OpenedRun, AbortNeedsAYesAndALiveChain) {
  Open({{"NumberOfReps", "300"}});
  EXPECT_EQ(AbortChains(session_, 0, 2, true), 0);  // nothing runs: not even asked
  EXPECT_TRUE(boxes_.shown.empty());
  Gate gate;
  session_.afterIteration = [&gate](Chain& chain) {
    if (chain.index == 1 && chain.iteration.load() == 3) gate.Arrive();
  };
  ASSERT_EQ(StartChains(session_, 0, 2), 2);
  gate.WaitArrival();
  EXPECT_EQ(AbortChains(session_, 0, 2, true), 0);  // answered No
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].second, "Abort All Chains?");
  gate.Release();
  EXPECT_EQ(DrainNotices(session_), 1);
  EXPECT_EQ(session_.chains[1]->phase.load(), kPhaseCompleted);
  EXPECT_EQ(session_.chains[1]->iteration.load(), 300);
}

TEST_F(OpenedRun, PriorityBecomesTheNiceValueOfALiveChainThread) {
  Open({{"NumberOfReps", "100"}});
  Gate gate;
  session_.afterIteration = [&gate](Chain& chain) {
    if (chain.iteration.load() == 2) gate.Arrive();
  };
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  gate.WaitArrival();
  const ChainThreadSlot& slot = *session_.slots[0];
  const int base = slot.baseNice.load();
  const id_t id = static_cast<id_t>(slot.systemId.load());
  EXPECT_EQ(getpriority(PRIO_PROCESS, id), std::min(base + 5, 19));  // "Lower" from creation
  SetChainPriority(session_, 0, 0, 2);
  EXPECT_EQ(getpriority(PRIO_PROCESS, id), std::min(base + 10, 19));
  EXPECT_EQ(session_.chains[0]->priority, 0);
  EXPECT_EQ(session_.chains[1]->priority, 0);  // no thread: only remembered
  SetChainPriority(session_, 9, 1, 2);          // out of range: the highest
  EXPECT_EQ(session_.chains[1]->priority, 3);
  gate.Release();
  DrainNotices(session_);
}

// A chain that shares its fish among helper threads gives them its priority,
// now and when it changes, and counts their processor time as its own.
TEST_F(OpenedRun, HelperThreadsShareTheChainsPriorityAndCountInItsTime) {
  Open({{"NumberOfReps", "300"}});
  session_.threadsPerChain = 3;
  Gate gate;
  session_.afterIteration = [&gate](Chain& chain) {
    if (chain.iteration.load() == 2) gate.Arrive();
  };
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  gate.WaitArrival();
  const ChainThreadSlot& slot = *session_.slots[0];
  const int base = slot.baseNice.load();
  std::vector<id_t> helpers;
  for (const auto& id : slot.helpers.systemIds)
    if (id.load() != 0) helpers.push_back(static_cast<id_t>(id.load()));
  ASSERT_EQ(helpers.size(), 2u);
  for (id_t id : helpers) EXPECT_EQ(getpriority(PRIO_PROCESS, id), std::min(base + 5, 19));
  SetChainPriority(session_, 0, 0, 1);
  for (id_t id : helpers) EXPECT_EQ(getpriority(PRIO_PROCESS, id), std::min(base + 10, 19));
  gate.Release();
  DrainNotices(session_);
  EXPECT_GT(slot.helpers.cpuNanoseconds.load(), 0);
  for (const auto& id : slot.helpers.systemIds) EXPECT_EQ(id.load(), 0);
}

TEST_F(OpenedRun, StartingAllLeavesARunningChainAlone) {
  Open({{"NumberOfReps", "200"}, {"NumberOfChains", "3"}});
  Gate gate;
  session_.afterIteration = [&gate](Chain& chain) {
    if (chain.index == 1 && chain.iteration.load() == 5) gate.Arrive();
  };
  ASSERT_EQ(StartChains(session_, 1, 2), 1);
  gate.WaitArrival();
  const auto running = session_.slots[1]->thread.get_id();
  EXPECT_EQ(StartChains(session_, 0, 3), 2);
  EXPECT_EQ(session_.slots[1]->thread.get_id(), running);
  EXPECT_EQ(session_.liveThreads, 3);
  gate.Release();
  EXPECT_EQ(DrainNotices(session_), 1);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(session_.chains[c]->iteration.load(), 200) << c;
    EXPECT_EQ(session_.chains[c]->phase.load(), kPhaseCompleted) << c;
  }
}

TEST_F(OpenedRun, FinishedChainsAreNotStartedAndTheMixtureFinishesAtOnce) {
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 2), 2);
  ASSERT_EQ(DrainNotices(session_), 1);
  ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);  // reopened: probes the restart files
  EXPECT_EQ(session_.chains[0]->iteration.load(), 120);
  EXPECT_EQ(session_.chains[0]->resume, 1);
  EXPECT_EQ(RunProgressPercent(session_), 100);
  EXPECT_EQ(StartChains(session_, 0, 2), 0);
  EXPECT_EQ(session_.liveThreads, 0);
  ChainNotice notice;
  ASSERT_TRUE(TakeNotice(session_.notices, notice, std::chrono::milliseconds(0)));
  EXPECT_EQ(notice.kind, kMixtureFinishedNotice);
}

TEST_F(OpenedRun, ChainWithoutItsRestartFileStartsAfreshWhileOthersStayFinished) {
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 2), 2);
  DrainNotices(session_);
  const auto finished = ReadAllRecords(ChainFile(folder_, 0, "Ise"));
  fs::remove(ChainFile(folder_, 0, "Rst"));
  ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
  EXPECT_EQ(session_.chains[0]->resume, 0);
  std::vector<int32_t> firstSeen(2, -1);
  session_.afterIteration = [&firstSeen](Chain& chain) {
    if (firstSeen[chain.index] < 0) firstSeen[chain.index] = chain.iteration.load();
  };
  session_.run->overwriteAll = true;  // the fresh start replaces the old files
  EXPECT_EQ(StartChains(session_, 0, 2), 1);
  DrainNotices(session_);
  EXPECT_EQ(firstSeen[0], 1);
  EXPECT_EQ(firstSeen[1], -1);
  EXPECT_EQ(ReadAllRecords(ChainFile(folder_, 0, "Ise")).values, finished.values);
}

TEST_F(OpenedRun, FreshStartRemovesTheOldRestartFileBeforeTheFirstSave) {
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  DrainNotices(session_);
  const std::string restart = ChainFile(folder_, 0, "Rst");
  const auto whole = ReadBytes(restart);
  ASSERT_FALSE(whole.empty());
  bool oldFileSeen = true;
  session_.afterIteration = [&](Chain& chain) {
    if (chain.iteration.load() == 1) oldFileSeen = fs::exists(restart);
  };
  session_.rerun = true;
  session_.run->overwriteAll = true;
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  DrainNotices(session_);
  EXPECT_FALSE(oldFileSeen);
  EXPECT_EQ(ReadBytes(restart), whole);  // the rerun ends where the first run ended
}

// A restart file that exists but is refused, whether the opening probe or
// the full read finds the fault, keeps its chain from starting: a fresh start
// would throw the chain's samples away. Its files stay as they were, the
// fault is told once, and a rerun starts the chain afresh without a word
// about the file it replaces.
TEST_F(OpenedRun, ARefusedRestartFileKeepsItsChainAndFilesUntilARerun) {
  struct Case {
    const char* what;
    std::size_t at;  // the damaged word
    int32_t value;
    const char* told;
  } cases[] = {
      {"check value", 64, 7, "THINSTA: RST = 7, TCF = 1"},      // found by the probe
      {"proportion", 96 + 4, 0x40000000, "stock proportions"},  // found by the full read
  };
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 2), 2);
  DrainNotices(session_);
  int32_t reps = 120;
  for (const Case& c : cases) {
    reps += 30;  // beyond where chain 1 stands, so that it has to be resumed
    const std::string restart = ChainFile(folder_, 0, "Rst");
    std::vector<uint8_t> bytes = ReadBytes(restart);
    std::memcpy(bytes.data() + c.at, &c.value, 4);
    std::ofstream(restart, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto ise = ReadBytes(ChainFile(folder_, 0, "Ise"));
    const auto sta = ReadBytes(ChainFile(folder_, 0, "Sta"));
    boxes_.shown.clear();
    // Asked for as the number-of-reps window asks, so the rerun's opening
    // keeps it.
    session_.requestedReps = reps;
    ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
    EXPECT_EQ(StartChains(session_, 0, 2), -1) << c.what;
    EXPECT_EQ(session_.failedChain, 0) << c.what;
    EXPECT_TRUE(session_.chains[0]->restartRefused) << c.what;
    EXPECT_EQ(session_.liveThreads, 0) << c.what;
    ASSERT_EQ(boxes_.shown.size(), 1u) << c.what << boxes_.All();
    EXPECT_NE(boxes_.shown[0].second.find("Invalid Restart File:\r\n" + restart), std::string::npos);
    EXPECT_NE(boxes_.shown[0].second.find(c.told), std::string::npos) << boxes_.All();
    EXPECT_EQ(ReadBytes(restart), bytes) << c.what;
    EXPECT_EQ(ReadBytes(ChainFile(folder_, 0, "Ise")), ise) << c.what;
    EXPECT_EQ(ReadBytes(ChainFile(folder_, 0, "Sta")), sta) << c.what;

    boxes_.shown.clear();
    session_.rerun = true;
    ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
    session_.run->overwriteAll = true;
    EXPECT_EQ(StartChains(session_, 0, 1), 1) << c.what;
    DrainNotices(session_);
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.All();
    EXPECT_EQ(RestartIteration(restart), reps) << c.what;
  }
}

TEST_F(OpenedRun, AChainThatCannotBePreparedStopsTheStart) {
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 2), 2);
  DrainNotices(session_);
  // Chain 1's composition file loses its records; its restart file still
  // counts them, so the chain cannot continue, and chain 2 is not started.
  fs::resize_file(ChainFile(folder_, 0, "Ise"), kSampleFileHeaderSize);
  ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
  session_.numberOfReps = 150;
  EXPECT_EQ(StartChains(session_, 0, 2), -1);
  EXPECT_EQ(session_.liveThreads, 0);
  EXPECT_NE(boxes_.All().find("counts 120 records"), std::string::npos) << boxes_.All();
  ChainNotice notice;
  EXPECT_FALSE(TakeNotice(session_.notices, notice, std::chrono::milliseconds(0)));
  EXPECT_EQ(session_.chains[1]->iteration.load(), 120);
}

// A restart file whose samples are gone vouches for nothing: the chain is
// neither resumed nor counted finished, the box names both files and the way
// out, nothing is changed, and a rerun starts the chain afresh.
TEST_F(OpenedRun, RestartFileWhoseSamplesAreGoneIsRefusedUntilARerun) {
  struct Case {
    const char* what;
    int32_t stopAt;  // 0: the chain finished
    const char* extension;
    void (*spoil)(const std::string& path);
    const char* holds;
  } cases[] = {
      {"finished, emptied", 0, "Sta",
       [](const std::string& p) { fs::resize_file(p, 0); }, "is empty or not a sample file"},
      {"finished, header only", 0, "Ise",
       [](const std::string& p) { fs::resize_file(p, kSampleFileHeaderSize); }, "holds only 0"},
      {"finished, removed", 0, "Ise", [](const std::string& p) { fs::remove(p); }, "is missing"},
      {"stopped, last block cut off", 150, "Ise",
       [](const std::string& p) {
         // The stop at 150 left blocks of 100 and 50 records; the second goes.
         SampleFileReader reader;
         ASSERT_EQ(OpenSampleFileForReading(reader, p), 1);
         uint32_t index = 0;
         ASSERT_EQ(SeekSampleRecord(reader, 100, index), 50u);
         const int64_t cut = reader.blockOffset;
         CloseSampleFileReader(reader);
         fs::resize_file(p, static_cast<uintmax_t>(cut));
       },
       "holds only 100"},
  };
  Open({{"NumberOfReps", "200"}, {"SaveEvery", "100"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session_.rerun = true;
    ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
    session_.run->overwriteAll = true;
    session_.afterIteration = [&c](Chain& chain) {
      if (chain.iteration.load() == c.stopAt) chain.abortRequested.store(1);
    };
    ASSERT_EQ(StartChains(session_, 0, 1), 1);
    DrainNotices(session_);
    session_.afterIteration = nullptr;
    const std::string sample = ChainFile(folder_, 0, c.extension);
    const std::string restart = ChainFile(folder_, 0, "Rst");
    c.spoil(sample);
    const auto left = ReadBytes(sample);
    const auto rst = ReadBytes(restart);

    boxes_.shown.clear();
    ASSERT_NE(OpenRun(session_, boxes_.ui, "", 0), nullptr);
    EXPECT_EQ(StartChains(session_, 0, 1), -1);
    EXPECT_EQ(session_.failedChain, 0);
    EXPECT_TRUE(session_.chains[0]->restartRefused);
    EXPECT_FALSE(ChainHasThread(session_, 0));
    ASSERT_EQ(boxes_.shown.size(), 1u) << boxes_.All();
    const std::string& text = boxes_.shown[0].second;
    for (const std::string& part : {restart, sample, std::string(c.holds), std::string("--rerun")})
      EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    EXPECT_EQ(ReadBytes(sample), left);
    EXPECT_EQ(ReadBytes(restart), rst);
  }
  // Nor does a whole run count such a chain as complete.
  CloseRun(session_);
  MixtureRunOutcome outcome;
  EXPECT_EQ(RunMixtures(rcf_, FirstMixture(), boxes_.ui, MixtureRunEvents{}, outcome), 0);
  EXPECT_FALSE(MixtureAlreadyComplete(rcf_, 0));
  MixtureRunOptions rerun = FirstMixture();
  rerun.rerun = true;
  Boxes yes;
  yes.answerYes = true;
  ASSERT_EQ(RunMixtures(rcf_, rerun, yes.ui, MixtureRunEvents{}, outcome), 1) << yes.All();
  EXPECT_TRUE(MixtureAlreadyComplete(rcf_, 0));
}

// Starting a chain afresh asks about every file it replaces before it
// touches one: a No to the last question leaves the samples and the restart
// file that counts them as they were.
TEST_F(OpenedRun, FreshStartRefusedAtAnyQuestionChangesNoFile) {
  Open({{"NumberOfReps", "120"}});
  ASSERT_EQ(StartChains(session_, 0, 1), 1);
  DrainNotices(session_);
  std::string no;
  std::vector<std::string> asked;
  Interaction ui;
  ui.message = [&](uint32_t, const std::string& text) {
    asked.push_back(text);
    return text == "Overwrite " + no ? kIdNo : kIdYes;
  };
  const char* const files[] = {"Sum", "Sta", "Ise", "Rst"};
  for (const char* refused : {"Sum", "Sta", "Ise"}) {
    SCOPED_TRACE(refused);
    no = ChainFile(folder_, 0, refused);
    asked.clear();
    session_.rerun = true;
    ASSERT_NE(OpenRun(session_, ui, "", 0), nullptr);
    std::vector<std::vector<uint8_t>> before;
    for (const char* extension : files) before.push_back(ReadBytes(ChainFile(folder_, 0, extension)));
    EXPECT_EQ(StartChains(session_, 0, 1), -1);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), "Overwrite " + no);
    int k = 0;
    for (const char* extension : files)
      EXPECT_EQ(ReadBytes(ChainFile(folder_, 0, extension)), before[k++]) << extension;
  }
}

// A crash between the last save of a finished chain and the rewrite of its
// sample headers leaves counts behind; the next start puts them right.
TEST(ChainRunner, FinishedChainWithStaleHeadersIsSettledOnTheNextStart) {
  ScratchFolder folder;
  Boxes boxes;
  const std::string rcf = MakeRun(folder, {{"NumberOfReps", "250"}, {"ThinSta", "2"}});
  ASSERT_EQ(RunToEnd(rcf, FirstMixture(), boxes), 1);
  const SampleRecords sta = ReadAllRecords(ChainFile(folder, 0, "Sta"));
  const SampleRecords ise = ReadAllRecords(ChainFile(folder, 0, "Ise"));
  for (const char* extension : {"Sta", "Ise"}) {
    std::FILE* file = std::fopen(ChainFile(folder, 0, extension).c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    SampleFileHeader h;
    ASSERT_EQ(CheckSampleMagic(file, h), 1);
    WriteSampleHeader(file, h.valuesPerRecord, h.thinning, 0, h.blockCapacity, h.elementSize);
    std::fclose(file);
  }
  ASSERT_EQ(RunToEnd(rcf, FirstMixture(), boxes), 1) << boxes.All();
  const SampleRecords staAfter = ReadAllRecords(ChainFile(folder, 0, "Sta"));
  const SampleRecords iseAfter = ReadAllRecords(ChainFile(folder, 0, "Ise"));
  EXPECT_EQ(staAfter.header.recordCount, 125u);
  EXPECT_EQ(iseAfter.header.recordCount, 250u);
  EXPECT_EQ(staAfter.values, sta.values);
  EXPECT_EQ(iseAfter.values, ise.values);
}

TEST(ChainRunner, CreatedChainsTakeSeedsAndTheRunsReps) {
  ScratchFolder folder;
  Boxes boxes;
  const std::string rcf =
      MakeRun(folder, {{"NumberOfChains", "3"}, {"ChangeSeeds", "T"}, {"NumberOfReps", "77"}});
  RunSession session;
  ASSERT_NE(OpenRun(session, boxes.ui, rcf, 0), nullptr);
  ASSERT_EQ(session.chains.size(), 3u);
  for (int c = 0; c < 3; ++c) {
    const Chain& chain = *session.chains[c];
    EXPECT_EQ(chain.index, c);
    EXPECT_EQ(chain.seed1, 5 + 2 * c);
    EXPECT_EQ(chain.seed2, 7 + 2 * c);
    EXPECT_EQ(chain.endIteration, 77);
    EXPECT_EQ(chain.priority, 1);
    EXPECT_EQ(chain.runState.load(), kChainStopped);
    EXPECT_EQ(chain.resume, 0);
    EXPECT_EQ(ReadChainProgress(session, c).state, "Not Started");
    EXPECT_EQ(ReadChainProgress(session, c).phase, "Init Done");
    EXPECT_EQ(ReadChainProgress(session, c).eta, -1);
  }
  EXPECT_EQ(session.chains[0]->startStocks[0], 11);
  EXPECT_EQ(session.numberOfReps, 77);
  EXPECT_EQ(RunProgressPercent(session), 0);
  CloseRun(session);
  EXPECT_TRUE(session.chains.empty());
  EXPECT_EQ(session.run, nullptr);
}

// ---- Mixture sequencing ----

TEST(MixtureRunner, RunsEveryMixtureInTurnAndReportsIncompleteChains) {
  ScratchFolder folder;
  Boxes boxes;
  const std::string rcf = MakeRun(folder, {{"NumberOfReps", "60"}});
  std::vector<int> opened;
  MixtureRunEvents events;
  events.mixtureOpened = [&opened](const RunSession& s) {
    EXPECT_EQ(s.liveThreads, 0);
    opened.push_back(s.run->mixtureIndex);
  };
  MixtureRunOutcome outcome;
  MixtureRunOptions all;
  all.reps = 70;  // holds for every mixture
  ASSERT_EQ(RunMixtures(rcf, all, boxes.ui, events, outcome), 1) << boxes.All();
  EXPECT_EQ(opened, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(outcome.mixtures.size(), 3u);
  for (const char* title : {"Small te_POP_01", "Small te_POP_02", "Small te_POP_03"})
    EXPECT_EQ(RestartIteration(folder.File(std::string(title) + "_02.Rst")), 70) << title;

  // A stop after the first mixture's chains began: nothing further opens.
  ScratchFolder stopFolder;
  const std::string stopRcf = MakeRun(stopFolder, {{"NumberOfReps", "200"}});
  std::atomic<int> stop{0};
  MixtureRunOptions stopping;
  stopping.stopRequested = &stop;
  // The first chain asks for the stop at 30, and every chain also stops
  // itself there: the runner notices the stop only at its next refresh, by
  // which time a fast chain could otherwise have ended. Only the first chain
  // asks, so a second chain that got the processor first cannot stop the
  // first one before it reaches 30.
  stopping.afterIteration = [&stop](Chain& chain) {
    if (chain.iteration.load() >= 30) {
      if (chain.index == 0) stop.store(1);
      chain.abortRequested.store(1);
    }
  };
  opened.clear();
  EXPECT_EQ(RunMixtures(stopRcf, stopping, boxes.ui, events, outcome), 0);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(opened, (std::vector<int>{0}));
  ASSERT_EQ(outcome.mixtures.size(), 1u);
  EXPECT_EQ(outcome.mixtures[0].incomplete, (std::vector<int>{0, 1}));
  const int32_t reached = RestartIteration(stopFolder.File("Small te_POP_01_01.Rst"));
  EXPECT_GE(reached, 30);
  EXPECT_LT(reached, 200);
}

TEST(MixtureRunner, NumberOfRepsIsNeverBelowTheCurrentOne) {
  ScratchFolder folder;
  Boxes boxes;
  const std::string rcf = MakeRun(folder, {{"NumberOfReps", "100"}});
  MixtureRunOptions options = FirstMixture();
  MixtureRunOutcome outcome;
  options.reps = 60;
  EXPECT_EQ(RunMixtures(rcf, options, boxes.ui, MixtureRunEvents{}, outcome), 0);
  EXPECT_EQ(outcome.failure, "the number of reps 60 is below the current number of reps 100");
  EXPECT_FALSE(fs::exists(ChainFile(folder, 0, "Rst")));

  options.reps = 130;  // raising extends the chains from their restart files
  ASSERT_EQ(RunToEnd(rcf, FirstMixture(), boxes), 1);
  ASSERT_EQ(RunMixtures(rcf, options, boxes.ui, MixtureRunEvents{}, outcome), 1) << boxes.All();
  EXPECT_EQ(outcome.reps, 130);
  EXPECT_EQ(RestartIteration(ChainFile(folder, 1, "Rst")), 130);
  EXPECT_EQ(ReadAllRecords(ChainFile(folder, 1, "Ise")).header.recordCount, 130u);

  options.chains = {2};
  EXPECT_EQ(RunMixtures(rcf, options, boxes.ui, MixtureRunEvents{}, outcome), 0);
  EXPECT_EQ(outcome.failure, "chain 3: the run has 2 chains");
}

}  // namespace
}  // namespace mixora
