// `mixora submit` on a real Slurm cluster (started around this program by
// scripts/slurm-cluster.sh run): the chains as array tasks and the reports
// as a job after them give the files of a run on one machine; a cancelled
// task resumes when the run is submitted again; a failing task cancels the
// reports and `mixora status` names its chain.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sampler/restart_file.h"
#include "sampler/runner_fixture.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using mixora::testing_support::CliResult;
using mixora::testing_support::ReadFileBytes;
using mixora::testing_support::RunCli;
using Clock = std::chrono::steady_clock;
using mixora::runner_testing::ReadAllRecords;
using mixora::runner_testing::SampleRecords;

std::string Shell(const std::string& command) {
  std::string out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  ::pclose(pipe);
  return out;
}

// The example copied into a new folder (or into a folder named `within`
// inside it) with its number of reps set, and loaded there into
// output/tavrin.rcf.
fs::path PrepareExample(const std::string& tag, int reps, const std::string& within = "") {
  fs::path folder = mixora::testing_support::NewTempFolder(tag);
  if (!within.empty()) fs::create_directories(folder /= within);
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  std::ifstream in(source / "tavrin.tcf");
  std::ofstream out(folder / "tavrin.tcf", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("NumberOfReps", 0) == 0) line = "NumberOfReps = " + std::to_string(reps) + "\r";
    out << line << "\n";
  }
  out.close();
  CliResult load = RunCli(folder, {"load", "tavrin.tcf", "--quiet"});
  EXPECT_EQ(load.exitCode, 0) << load.err;
  return folder;
}

// The job ids in submit's "Follow them with: squeue -j A,B" line.
std::vector<std::string> JobIds(const std::string& out) {
  std::smatch match;
  std::vector<std::string> ids;
  if (!std::regex_search(out, match, std::regex("squeue -j ([0-9,]+)"))) return ids;
  std::stringstream list(match[1].str());
  std::string id;
  while (std::getline(list, id, ',')) ids.push_back(id);
  return ids;
}

// Waits until none of the jobs is pending or running any more.
bool WaitForJobs(const std::vector<std::string>& ids, int seconds = 300) {
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  const auto until = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < until) {
    if (Shell("squeue -h -j " + list + " -o %i 2>/dev/null").empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return false;
}

// The states of a job (one per task of an array), e.g. {"COMPLETED"}.
std::set<std::string> JobStates(const std::string& id) {
  std::set<std::string> states;
  const std::string text = Shell("scontrol show job " + id + " 2>/dev/null");
  const std::regex state("JobState=([A-Z_]+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), state); it != std::sregex_iterator();
       ++it)
    states.insert((*it)[1].str());
  return states;
}

// A chain log or run summary with what depends on the clock taken out: the
// dates, the timed-loop line and the session lines (each process that runs
// chains of a mixture ends its own session in the run summary); and paths
// made relative to the run's folder (tasks name the run control file by its
// full path).
std::string WithinFolder(std::string text, const fs::path& folder) {
  const std::string prefix = folder.string() + "/";
  for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at))
    text.erase(at, prefix.size());
  return text;
}

std::string Untimed(std::string text, const fs::path& folder) {
  text = WithinFolder(text, folder);
  static const std::regex date("[A-Z][a-z]{2} [0-9]{2}, [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");
  std::stringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind("Session ended:", 0) == 0 || line.rfind("Chain Loop Iterations:", 0) == 0)
      continue;
    out += std::regex_replace(line, date, "<date>") + "\n";
  }
  return out;
}

// Every run output of want (samples, restart files, reports, logs) is in
// got with the same bytes: samples and restart files as they are, reports
// with the paths of the two folders taken out, the .Sum files apart from
// their times too.
void ExpectSameOutputs(const fs::path& want, const fs::path& got) {
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(want / "output")) {
    const std::string name = entry.path().filename().string();
    const std::string extension = entry.path().extension().string();
    const fs::path other = got / "output" / name;
    ASSERT_TRUE(fs::exists(other)) << name;
    if (extension == ".rcf" || extension == ".log") continue;
    ++compared;
    // The record of the inputs beside the summary holds no session lines.
    const bool inputsRecord = name.size() > 11 && name.substr(name.size() - 11) == "_Inputs.Sum";
    if (extension == ".Sum" && !inputsRecord) {
      const std::string text = ReadFileBytes(other);
      EXPECT_EQ(Untimed(text, got), Untimed(ReadFileBytes(entry.path()), want)) << name;
      EXPECT_NE(text.find("Session ended: "), std::string::npos) << name;
    } else if (extension == ".Txt" || extension == ".Csv" || inputsRecord) {
      // Reports name the sample files they read by the path they were given.
      EXPECT_EQ(WithinFolder(ReadFileBytes(other), got), WithinFolder(ReadFileBytes(entry.path()), want))
          << name;
    } else {
      EXPECT_TRUE(ReadFileBytes(other) == ReadFileBytes(entry.path())) << name << " differs";
    }
  }
  EXPECT_GT(compared, 20);
}

int32_t SavedIteration(const fs::path& folder, int chain) {
  char name[64];
  std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.Rst", chain);
  mixora::RestartChainValues values;
  return mixora::ReadRestartChainValues((folder / name).string(), values) == 1 ? values.iteration : 0;
}

class Cluster : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("SLURM_CONF") == nullptr)
      GTEST_SKIP() << "no cluster: run this through scripts/slurm-cluster.sh run";
  }
  void TearDown() override {
    std::error_code ec;
    for (const fs::path& folder : folders_) fs::remove_all(folder, ec);
  }
  fs::path Example(const std::string& tag, int reps, const std::string& within = "") {
    const fs::path folder = PrepareExample(tag, reps, within);
    folders_.push_back(within.empty() ? folder : folder.parent_path());
    return folder;
  }

  std::vector<fs::path> folders_;
};

TEST_F(Cluster, SubmittedRunGivesTheFilesOfALocalRun) {
  const fs::path local = Example("cluster_local", 1500);
  const fs::path cluster = Example("cluster_submit", 1500);
  ASSERT_EQ(RunCli(local, {"run", "output/tavrin.rcf", "--all", "--quiet"}).exitCode, 0);
  CliResult reports =
      RunCli(local, {"report", "output/tavrin.rcf", "--all", "--kind", "all", "--quiet"});
  ASSERT_EQ(reports.exitCode, 0) << reports.err;

  CliResult submit = RunCli(cluster, {"submit", "output/tavrin.rcf", "--all"});
  ASSERT_EQ(submit.exitCode, 0) << submit.err;
  EXPECT_NE(submit.out.find("(8 tasks)"), std::string::npos) << submit.out;
  const std::vector<std::string> jobs = JobIds(submit.out);
  ASSERT_EQ(jobs.size(), 2u) << submit.out;
  ASSERT_TRUE(WaitForJobs(jobs));
  EXPECT_EQ(JobStates(jobs[0]), std::set<std::string>{"COMPLETED"});
  EXPECT_EQ(JobStates(jobs[1]), std::set<std::string>{"COMPLETED"});
  ExpectSameOutputs(local, cluster);

  CliResult status = RunCli(cluster, {"status", "output/tavrin.rcf"});
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_NE(status.out.find("8 of 8 chains finished"), std::string::npos) << status.out;
}

TEST_F(Cluster, CancelledTaskResumesWhenSubmittedAgain) {
  constexpr int kReps = 12000;
  const fs::path local = Example("cluster_straight", kReps);
  const fs::path cluster = Example("cluster_cancel", kReps);
  ASSERT_EQ(RunCli(local, {"run", "output/tavrin.rcf", "--chains", "1,2", "--quiet"}).exitCode, 0);

  CliResult submit =
      RunCli(cluster, {"submit", "output/tavrin.rcf", "--chains", "1,2", "--no-reports"});
  ASSERT_EQ(submit.exitCode, 0) << submit.err;
  const std::vector<std::string> jobs = JobIds(submit.out);
  ASSERT_EQ(jobs.size(), 1u) << submit.out;
  // Cancelled once chain 1 has saved, well before its end.
  const auto until = Clock::now() + std::chrono::seconds(120);
  while (SavedIteration(cluster, 1) == 0 && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Shell("scancel " + jobs[0] + "_0");
  ASSERT_TRUE(WaitForJobs(jobs));
  const int32_t stoppedAt = SavedIteration(cluster, 1);
  EXPECT_GT(stoppedAt, 0);
  ASSERT_LT(stoppedAt, kReps) << "chain 1 finished before it could be cancelled";
  EXPECT_NE(RunCli(cluster, {"status", "output/tavrin.rcf"}).out.find("in progress"),
            std::string::npos);

  CliResult again = RunCli(cluster, {"submit", "output/tavrin.rcf", "--chains", "1,2"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("1 chain task to run (1 finished chain left out)"), std::string::npos)
      << again.out;
  const std::vector<std::string> rerun = JobIds(again.out);
  ASSERT_EQ(rerun.size(), 2u);
  ASSERT_TRUE(WaitForJobs(rerun));
  EXPECT_EQ(JobStates(rerun[0]), std::set<std::string>{"COMPLETED"});
  EXPECT_EQ(SavedIteration(cluster, 1), kReps);
  // The same records and headers; a resumed chain may cut its blocks
  // differently. The restart files are the same to the byte.
  for (int chain : {1, 2}) {
    for (const char* extension : {"Sta", "Ise", "Rst"}) {
      char name[64];
      std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.%s", chain, extension);
      if (std::string(extension) == "Rst") {
        EXPECT_TRUE(ReadFileBytes(cluster / name) == ReadFileBytes(local / name)) << name;
        continue;
      }
      const SampleRecords want = ReadAllRecords((local / name).string());
      const SampleRecords got = ReadAllRecords((cluster / name).string());
      ASSERT_TRUE(want.error.empty() && got.error.empty()) << want.error << got.error;
      EXPECT_TRUE(got.values == want.values) << name << ": records differ";
      EXPECT_EQ(got.header.recordCount, want.header.recordCount) << name;
      EXPECT_EQ(got.header.blockCapacity, want.header.blockCapacity) << name;
    }
  }
}

// A lab's folder names: a blank, a percent sign Slurm would expand in a log
// file name, shell substitutions and quotes. The run goes through the
// cluster as anywhere else, its job output lands in its own folder, and no
// part of the name runs as a command.
TEST_F(Cluster, RunFolderNamesWithBlanksPercentsAndShellCharactersRunAndReport) {
  const std::string name = "lab data 50%x $(touch INJECTED) `touch INJECTED` it's \"q\"";
  const fs::path cluster = Example("cluster_names", 300, name);
  CliResult submit = RunCli(cluster, {"submit", "output/tavrin.rcf", "--all"});
  ASSERT_EQ(submit.exitCode, 0) << submit.err;
  const std::vector<std::string> jobs = JobIds(submit.out);
  ASSERT_EQ(jobs.size(), 2u) << submit.out;
  ASSERT_TRUE(WaitForJobs(jobs));
  EXPECT_EQ(JobStates(jobs[0]), std::set<std::string>{"COMPLETED"});
  EXPECT_EQ(JobStates(jobs[1]), std::set<std::string>{"COMPLETED"});
  EXPECT_TRUE(fs::exists(cluster / "output/Tavrin25_POP_02_SCs.Txt"));
  int logs = 0;
  for (const auto& entry : fs::directory_iterator(cluster / "output/tavrin_slurm"))
    logs += entry.path().filename().string().rfind("chains_" + jobs[0] + "_", 0) == 0;
  EXPECT_EQ(logs, 8);
  for (const fs::path& where : {cluster, cluster.parent_path(), cluster / "output"})
    EXPECT_FALSE(fs::exists(where / "INJECTED")) << where;
}

TEST_F(Cluster, FailingTaskCancelsTheReportsAndStatusNamesItsChain) {
  const fs::path cluster = Example("cluster_damaged", 1500);
  ASSERT_EQ(RunCli(cluster, {"run", "output/tavrin.rcf", "--chains", "2", "--quiet"}).exitCode, 0);
  ASSERT_EQ(SavedIteration(cluster, 2), 1500);
  {
    std::fstream damage(cluster / "output/Tavrin25_POP_01_02.Rst",
                        std::ios::in | std::ios::out | std::ios::binary);
    damage.write("garbage!", 8);
  }
  CliResult submit = RunCli(cluster, {"submit", "output/tavrin.rcf"});
  ASSERT_EQ(submit.exitCode, 0) << submit.err;
  EXPECT_NE(submit.err.find("mixture 1, chain 2 is damaged"), std::string::npos) << submit.err;
  const std::vector<std::string> jobs = JobIds(submit.out);
  ASSERT_EQ(jobs.size(), 2u);
  ASSERT_TRUE(WaitForJobs(jobs));
  const std::set<std::string> tasks = JobStates(jobs[0]);
  EXPECT_TRUE(tasks.count("FAILED") == 1 && tasks.count("COMPLETED") == 1) << submit.out;
  EXPECT_EQ(JobStates(jobs[1]), std::set<std::string>{"CANCELLED"});
  // The chain's samples were left alone.
  EXPECT_GT(fs::file_size(cluster / "output/Tavrin25_POP_01_02.Ise"), 1000u);

  CliResult status = RunCli(cluster, {"status", "output/tavrin.rcf"});
  EXPECT_EQ(status.exitCode, 1);
  EXPECT_NE(status.err.find("mixture 1, chain 2 is damaged"), std::string::npos) << status.err;
  EXPECT_NE(status.out.find("3 of 8 chains finished, 1 damaged"), std::string::npos) << status.out;
}

}  // namespace
