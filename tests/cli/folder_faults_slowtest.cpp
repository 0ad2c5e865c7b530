// An output folder that turns read-only, or disappears, while chains run:
// the run ends with a message naming what could not be saved, and what was
// already written stays whole. Tests run as root, whom permissions do not
// stop, so the run is made as the user "nobody".
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <thread>

#include "sampler/restart_file.h"
#include "sampler/runner_fixture.h"
#include "support/cli_runner.h"
#include "support/limited_child.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using runner_testing::ReadAllRecords;
using testing_support::ChildLimits;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::RunCliLimited;

constexpr int kChains = 2;

class Folder {
 public:
  Folder() : path_(testing_support::NewTempFolder("folder_faults")) {
    // The run's user must reach the inputs.
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  }
  ~Folder() {
    std::error_code ignored;
    fs::permissions(path_ / "output", fs::perms::owner_all, ignored);
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void PrepareLongRun(const fs::path& folder) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  std::string text = ReadFileBytes(source / "tavrin.tcf");
  text = std::regex_replace(text, std::regex("NumberOfChains = \\d+"), "NumberOfChains = 2");
  text = std::regex_replace(text, std::regex("NumberOfReps = \\d+"), "NumberOfReps = 200000");
  text = std::regex_replace(text, std::regex("SaveEvery = \\d+"), "SaveEvery = 100");
  std::ofstream(folder / "tavrin.tcf", std::ios::binary) << text;
  ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf"}).exitCode, 0);
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  for (const auto& entry : fs::recursive_directory_iterator(folder / "output"))
    ASSERT_EQ(chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(chown((folder / "output").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
}

std::string ChainFile(const fs::path& folder, int chain, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.%s", chain + 1, extension);
  return (folder / name).string();
}

// Waits until every chain has saved a restart file (each is under way and has
// records on disk), for at most a minute.
bool WaitForRestartFiles(const fs::path& folder) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < until) {
    int saved = 0;
    for (int chain = 0; chain < kChains; ++chain) {
      RestartChainValues values;
      if (ReadRestartChainValues(ChainFile(folder, chain, "Rst"), values) == 1 &&
          values.compositionTotal > 0)
        ++saved;
    }
    if (saved == kChains) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::future<CliResult> StartRunAsNobody(const fs::path& folder) {
  ChildLimits limits;
  limits.asNobody = true;
  return std::async(std::launch::async, [folder, limits] {
    return RunCliLimited(folder.string(), {"run", "output/tavrin.rcf", "--quiet"}, limits);
  });
}

TEST(FolderFaults, ReadOnlyOutputFolderEndsTheChainsAndKeepsTheirFilesWhole) {
  Folder folder;
  PrepareLongRun(folder.path());
  if (HasFatalFailure()) return;
  auto run = StartRunAsNobody(folder.path());
  ASSERT_TRUE(WaitForRestartFiles(folder.path()));
  fs::permissions(folder.path() / "output", fs::perms::owner_read | fs::perms::owner_exec |
                                                fs::perms::group_read | fs::perms::group_exec |
                                                fs::perms::others_read | fs::perms::others_exec);
  ASSERT_EQ(run.wait_for(std::chrono::minutes(2)), std::future_status::ready)
      << "the chains kept running in a read-only folder";
  const CliResult result = run.get();
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Rst"), std::string::npos) << result.err;
  EXPECT_NE(result.LastErrorLine().find("Permission denied"), std::string::npos) << result.err;

  // Each restart file still counts records its sample files hold whole.
  for (int chain = 0; chain < kChains; ++chain) {
    RestartChainValues values;
    ASSERT_EQ(ReadRestartChainValues(ChainFile(folder.path(), chain, "Rst"), values), 1);
    const auto ise = ReadAllRecords(ChainFile(folder.path(), chain, "Ise"));
    const auto sta = ReadAllRecords(ChainFile(folder.path(), chain, "Sta"));
    EXPECT_TRUE(ise.error.empty()) << ise.error;
    EXPECT_TRUE(sta.error.empty()) << sta.error;
    EXPECT_GE(ise.values.size() / ise.header.valuesPerRecord,
              static_cast<std::size_t>(values.compositionTotal));
    EXPECT_GE(sta.values.size() / sta.header.valuesPerRecord,
              static_cast<std::size_t>(values.assignmentTotal));
  }
}

TEST(FolderFaults, VanishedOutputFolderEndsTheChainsWithAMessage) {
  Folder folder;
  PrepareLongRun(folder.path());
  if (HasFatalFailure()) return;
  auto run = StartRunAsNobody(folder.path());
  ASSERT_TRUE(WaitForRestartFiles(folder.path()));
  // The folder goes in one step, as when a user deletes it: removing it file
  // by file here would race with the chains' own renames of their restart
  // files and could fail on a file that had just been renamed away.
  const fs::path removed = folder.path() / "output.removed";
  fs::rename(folder.path() / "output", removed);
  fs::remove_all(removed);
  ASSERT_EQ(run.wait_for(std::chrono::minutes(2)), std::future_status::ready)
      << "the chains kept running after their folder was removed";
  const CliResult result = run.get();
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.err.find("No such file or directory"), std::string::npos) << result.err;
  EXPECT_NE(result.LastErrorLine().find("No such file or directory"), std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace mixora
