// What a biologist does at the command line when a run is interrupted:
// load, run, the run stopped (Ctrl-C, a scheduler's SIGTERM, or killed
// outright), run again, report. Every sample and restart file must then be
// the file, byte for byte, of a run that was never stopped. And `run
// --rerun` killed while it starts over must never leave a restart file that
// counts samples its sample files no longer hold.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "sampler/restart_file.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::ScopedTempFolder;
using Clock = std::chrono::steady_clock;

constexpr int kChains = 2;
constexpr int kReps = 3000;
const char* const kRun = "output/tavrin.rcf";

// The example with two chains long enough for a signal to land mid-run,
// saved every 100 records, loaded into output/tavrin.rcf.
void PrepareRun(const fs::path& folder) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  std::string text = ReadFileBytes(source / "tavrin.tcf");
  text = std::regex_replace(text, std::regex("NumberOfChains = \\d+"), "NumberOfChains = 2");
  text = std::regex_replace(text, std::regex("NumberOfReps = \\d+"),
                            "NumberOfReps = " + std::to_string(kReps));
  text = std::regex_replace(text, std::regex("SaveEvery = \\d+"), "SaveEvery = 100");
  text = std::regex_replace(text, std::regex("NumberToKeep = \\d+"), "NumberToKeep = 1000");
  std::ofstream(folder / "tavrin.tcf", std::ios::binary) << text;
  ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf"}).exitCode, 0);
}

fs::path ChainFile(const fs::path& folder, int chain, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.%s", chain + 1, extension);
  return folder / name;
}

int32_t SavedIteration(const fs::path& folder, int chain) {
  RestartChainValues values;
  return ReadRestartChainValues(ChainFile(folder, chain, "Rst").string(), values) == 1
             ? values.iteration
             : -1;
}

// Starts mixora with args in folder, its output thrown away.
pid_t Start(const fs::path& folder, std::vector<std::string> args) {
  args.insert(args.begin(), MIXORA_CLI_PATH);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(MIXORA_CLI_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit code, or -signal when a signal ended the process.
int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
}

// Waits until every chain has saved at least once, so that the stop lands
// inside the run whatever the speed of the machine.
void WaitForEverySave(const fs::path& folder) {
  const auto until = Clock::now() + std::chrono::seconds(120);
  for (;;) {
    int saved = 0;
    for (int c = 0; c < kChains; ++c) saved += SavedIteration(folder, c) > 0 ? 1 : 0;
    if (saved == kChains || Clock::now() > until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void ExpectFilesOf(const fs::path& want, const fs::path& got) {
  for (int c = 0; c < kChains; ++c) {
    for (const char* extension : {"Sta", "Ise", "Rst"}) {
      const std::string bytes = ReadFileBytes(ChainFile(want, c, extension));
      ASSERT_FALSE(bytes.empty()) << extension << c + 1;
      EXPECT_TRUE(ReadFileBytes(ChainFile(got, c, extension)) == bytes)
          << ChainFile(got, c, extension) << " differs from the uninterrupted run's";
    }
  }
}

class CliStopResume : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    straight_ = new ScopedTempFolder("stop_resume_straight");
    PrepareRun(straight_->path());
    ASSERT_EQ(RunCli(straight_->path(), {"run", kRun, "--quiet"}).exitCode, 0);
  }
  static void TearDownTestSuite() {
    delete straight_;
    straight_ = nullptr;
  }
  static const fs::path& Straight() { return straight_->path(); }

 private:
  static ScopedTempFolder* straight_;
};

ScopedTempFolder* CliStopResume::straight_ = nullptr;

TEST_F(CliStopResume, StoppedRunResumedAndReportedHasTheFilesOfAnUninterruptedOne) {
  struct Case {
    const char* name;
    int signal;
    int code;  // the stopped run's exit status
  } cases[] = {
      {"Ctrl-C", SIGINT, 130},
      {"SIGTERM", SIGTERM, 130},
      {"kill -9", SIGKILL, -SIGKILL},
  };
  std::mt19937 random(std::random_device{}());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempFolder folder("stop_resume");
    PrepareRun(folder.path());
    const pid_t pid = Start(folder.path(), {"run", kRun, "--quiet"});
    WaitForEverySave(folder.path());
    // A little further, so the stop falls anywhere in a block.
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
    ::kill(pid, c.signal);
    ASSERT_EQ(Wait(pid), c.code);
    for (int chain = 0; chain < kChains; ++chain) {
      EXPECT_GT(SavedIteration(folder.path(), chain), 0) << chain + 1;
      EXPECT_LT(SavedIteration(folder.path(), chain), kReps) << chain + 1;
    }
    const auto resumed = RunCli(folder.path(), {"run", kRun, "--quiet"});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    const auto report = RunCli(folder.path(), {"report", kRun, "--mixture", "1", "--quiet"});
    EXPECT_EQ(report.exitCode, 0) << report.err;
    ExpectFilesOf(Straight(), folder.path());
  }
}

// An extension (`run --reps N` past the end the chains reached) stopped
// part-way used to read as complete at the old end. Whatever stops it, the
// chains' restart files keep the new end: status shows it, a plain run goes
// on to it, and the files are those of a run straight to it.
TEST_F(CliStopResume, AnExtensionStoppedPartWayIsCarriedOnToItsEnd) {
  constexpr int kExtended = 2 * kReps;
  ScopedTempFolder straight("extension_straight");
  PrepareRun(straight.path());
  ASSERT_EQ(RunCli(straight.path(), {"run", kRun, "--quiet"}).exitCode, 0);
  ASSERT_EQ(RunCli(straight.path(), {"run", kRun, "--reps", std::to_string(kExtended), "--quiet"})
                .exitCode,
            0);
  const struct {
    const char* name;
    int signal;
  } cases[] = {{"SIGTERM", SIGTERM}, {"kill -9", SIGKILL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempFolder folder("extension_stop");
    PrepareRun(folder.path());
    ASSERT_EQ(RunCli(folder.path(), {"run", kRun, "--quiet"}).exitCode, 0);
    const pid_t pid =
        Start(folder.path(), {"run", kRun, "--reps", std::to_string(kExtended), "--quiet"});
    // Every chain has saved past the old end.
    const auto until = Clock::now() + std::chrono::seconds(120);
    while (Clock::now() < until &&
           (SavedIteration(folder.path(), 0) <= kReps || SavedIteration(folder.path(), 1) <= kReps))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, c.signal);
    Wait(pid);
    ASSERT_LT(SavedIteration(folder.path(), 0), kExtended) << "the run ended before the stop";
    const auto status = RunCli(folder.path(), {"status", kRun});
    EXPECT_NE(status.out.find("run to " + std::to_string(kExtended) + " reps"), std::string::npos)
        << status.out;
    EXPECT_EQ(status.out.find("2 of 2 chains finished"), std::string::npos) << status.out;
    const auto resumed = RunCli(folder.path(), {"run", kRun});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(resumed.out.find("already complete"), std::string::npos) << resumed.out;
    EXPECT_NE(resumed.out.find("run to " + std::to_string(kExtended) + " reps"), std::string::npos)
        << resumed.out;
    ExpectFilesOf(straight.path(), folder.path());
  }
}

// Killed at moments spread over its start, a rerun leaves each chain either
// as it was, or without a restart file, or saved anew; never "damaged" (a
// restart file counting records that are gone). A plain run then finishes
// the chains, to the files of a run that never stopped.
TEST_F(CliStopResume, RerunKilledWhileStartingOverNeverLeavesARestartFileWithoutItsSamples) {
  ScopedTempFolder folder("rerun_kill");
  PrepareRun(folder.path());
  ASSERT_EQ(RunCli(folder.path(), {"run", kRun, "--quiet"}).exitCode, 0);
  for (int delayMs = 0; delayMs < 60; delayMs += 6) {
    SCOPED_TRACE("killed after " + std::to_string(delayMs) + " ms");
    const pid_t pid = Start(folder.path(), {"run", kRun, "--rerun", "--overwrite", "--quiet"});
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(pid, SIGKILL);
    Wait(pid);
    const auto status = RunCli(folder.path(), {"status", kRun});
    EXPECT_EQ(status.out.find("damaged"), std::string::npos) << status.out << status.err;
    const auto again = RunCli(folder.path(), {"run", kRun, "--overwrite", "--quiet"});
    ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
    ExpectFilesOf(Straight(), folder.path());
  }
}

// A finished chain whose sample file was emptied or cut short is neither
// "already complete" nor reported from: run and status name the files and
// say to rerun, and the rerun gives the whole files again.
TEST_F(CliStopResume, FinishedChainWhoseSamplesAreGoneIsRefusedUntilARerun) {
  struct Case {
    const char* name;
    const char* extension;
    uintmax_t keep;  // bytes left
  } cases[] = {
      {"emptied", "Sta", 0},
      {"header only", "Ise", 32},
  };
  ScopedTempFolder folder("samples_gone");
  PrepareRun(folder.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(RunCli(folder.path(), {"run", kRun, "--rerun", "--overwrite", "--quiet"}).exitCode, 0);
    const fs::path sample = ChainFile(folder.path(), 1, c.extension);
    fs::resize_file(sample, c.keep);

    const auto run = RunCli(folder.path(), {"run", kRun});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.find("already complete"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(sample.filename().string()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Tavrin25_POP_01_02.Rst"), std::string::npos) << run.err;
    EXPECT_NE(run.LastErrorLine().find("--rerun"), std::string::npos) << run.err;
    EXPECT_EQ(fs::file_size(sample), c.keep);

    const auto status = RunCli(folder.path(), {"status", kRun});
    EXPECT_NE(status.out.find("damaged"), std::string::npos) << status.out;
    EXPECT_NE((status.out + status.err).find(sample.filename().string()), std::string::npos);
  }
  ASSERT_EQ(RunCli(folder.path(), {"run", kRun, "--rerun", "--overwrite", "--quiet"}).exitCode, 0);
  ExpectFilesOf(Straight(), folder.path());
}

}  // namespace
}  // namespace mixora
