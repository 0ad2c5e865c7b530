#include "tools/cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sampler/chain_lock.h"
#include "support/tool_run_loading.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

std::string ControlData(const std::string& name) {
  return std::string(MIXORA_TEST_DATA_DIR) + "/control/" + name;
}

TEST(Cleanup, SizeText) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1023, "1023"},
      {1024, "1.00KB"},
      {1536, "1.50KB"},
      {6000, "5.86KB"},
      {1048575, "1024.00KB"},
      {1048576, "1.00MB"},
      {5368709120ull, "5.00GB"},
      {1ull << 40, "1.00TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;
}

// A run folder: three stock assignment files of different case, a summary,
// a run key, a folder that looks like a sample file, and a stranger.
void MakeRunFolder(const ScratchFolder& dir) {
  WriteFile(dir / "Run_POP_01_01.Sta", std::string(1000, 'a'));
  WriteFile(dir / "Run_POP_01_02.sta", std::string(2000, 'a'));
  WriteFile(dir / "Run_POP_02_01.STA", std::string(3000, 'a'));
  WriteFile(dir / "Run_POP_01.Sum", std::string(10, 's'));
  WriteFile(dir / "run.dbp", std::string(20, 'k'));
  WriteFile(dir / "notes.stax", "x");
  std::filesystem::create_directory(dir / "folder.sta");
}

TEST(Cleanup, CountsAndSizesPerKind) {
  ScratchFolder dir;
  MakeRunFolder(dir);
  CleanupTable table = RefreshCleanup(dir.path(), DefaultCleanupChecks());
  EXPECT_EQ(table.rows[0].count, 3u);
  EXPECT_EQ(table.rows[0].bytes, 6000u);
  EXPECT_EQ(FormatSizeText(table.rows[0].bytes), "5.86KB");
  EXPECT_EQ(table.rows[3].count, 1u);
  EXPECT_EQ(table.rows[8].count, 1u);
  EXPECT_EQ(table.rows[8].bytes, 20u);
  EXPECT_EQ(table.total.count, 5u);
  EXPECT_EQ(table.total.bytes, 6030u);
  // The run key is never among the files to clean.
  EXPECT_EQ(table.toClean.count, 4u);
  EXPECT_EQ(table.toClean.bytes, 6010u);

  CleanupChecks none{};
  CleanupTable unchecked = RefreshCleanup(dir.path(), none);
  EXPECT_EQ(unchecked.toClean.count, 0u);
  EXPECT_EQ(unchecked.toClean.bytes, 0u);
  EXPECT_EQ(unchecked.total.count, 5u);
}

TEST(Cleanup, DeletesOnlyCheckedKindsAndNeverTheRunKey) {
  ScratchFolder dir;
  MakeRunFolder(dir);
  CleanupChecks checks{};
  checks[0] = true;
  checks[8] = true;  // even when asked for
  CleanFiles(dir.path(), checks);
  CleanupTable after = RefreshCleanup(dir.path(), checks);
  EXPECT_EQ(after.rows[0].count, 0u);
  EXPECT_EQ(after.rows[3].count, 1u);
  EXPECT_EQ(after.rows[8].count, 1u);
  EXPECT_TRUE(std::filesystem::exists(dir / "run.dbp"));
  EXPECT_TRUE(std::filesystem::exists(dir / "notes.stax"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.sta"));

  FileTally tally;
  ScanFileKind(dir.path(), "dbp", true, tally);
  EXPECT_TRUE(std::filesystem::exists(dir / "run.dbp"));
}

// Cleaning during a run used to delete the live files of its chains, and the
// run still said it had completed. A chain's lock, while a process holds it,
// keeps its files out of every count and every deletion.
TEST(Cleanup, FilesOfRunningChainsAreLeftAloneAndStaleLocksGo) {
  ScratchFolder dir;
  MakeRunFolder(dir);
  WriteFile(dir / "Run_POP_01_01.Ise", std::string(500, 'i'));
  WriteFile(dir / "Run_POP_01_01.tmp.Rst", "r");
  const std::string held = dir / "Run_POP_01_01.lock";
  int fd = LockChainFile(held);
  ASSERT_GE(fd, 0);
  WriteFile(dir / "Run_POP_01_02.lock", "");  // its process was killed

  CleanupChecks all = DefaultCleanupChecks();
  CleanupTable table = RefreshCleanup(dir.path(), all);
  EXPECT_EQ(table.rows[0].count, 2u);  // Run_POP_01_02.sta, Run_POP_02_01.STA
  EXPECT_EQ(table.rows[1].count, 0u);
  EXPECT_EQ(table.runningChains, std::vector<std::string>{"Run_POP_01_01"});
  EXPECT_EQ(RunningChainsNote(table),
            "Left alone: the files of 1 running chain (Run_POP_01_01); stop the run, or let it "
            "finish, to clean them");
  for (const CleanupFile& file : ListFilesToClean(dir.path(), all))
    EXPECT_EQ(file.path.find("Run_POP_01_01"), std::string::npos) << file.path;

  CleanFiles(dir.path(), all);
  for (const char* kept : {"Run_POP_01_01.Sta", "Run_POP_01_01.Ise", "Run_POP_01_01.tmp.Rst",
                           "Run_POP_01_01.lock"})
    EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
  EXPECT_FALSE(std::filesystem::exists(dir / "Run_POP_01_02.sta"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Run_POP_01_02.lock"));

  UnlockChainFile(fd, held);
  CleanupTable after = RefreshCleanup(dir.path(), all);
  EXPECT_TRUE(after.runningChains.empty());
  EXPECT_EQ(RunningChainsNote(after), "");
  EXPECT_EQ(after.rows[1].count, 1u);
}

TEST(Cleanup, LargeFileSizeAndUnreadableFolder) {
  ScratchFolder dir;
  {
    std::FILE* f = std::fopen((dir / "Big_POP_01_01.rst").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  std::error_code ec;
  std::filesystem::resize_file(dir / "Big_POP_01_01.rst", 5368709120ull, ec);
  if (ec) GTEST_SKIP() << "no sparse 5 GiB file here: " << ec.message();
  CleanupTable table = RefreshCleanup(dir.path(), DefaultCleanupChecks());
  EXPECT_EQ(table.rows[2].bytes, 5368709120ull);
  EXPECT_EQ(FormatSizeText(table.rows[2].bytes), "5.00GB");

  CleanupTable missing = RefreshCleanup(dir / "no-such-folder", DefaultCleanupChecks());
  EXPECT_EQ(missing.total.count, 0u);
}

TEST(Cleanup, OnlyRunOutputNamesCount) {
  CleanupGuard guard;
  guard.logStems = {"chum"};
  struct Case {
    const char* name;
    bool output;
  } cases[] = {
      {"Tavrin_R_POP_01.Sum", true},
      {"Tavrin_R_POP_01_03.Sta", true},
      {"Tavrin_R_POP_12_04.rst", true},
      {"Tavrin_R_POP_01_IDs.Csv", true},
      {"Tavrin_R_POP_01_SCs_Grp.Txt", true},
      {"Tavrin_R_POP_02_GR.Txt", true},
      {"Tavrin_R_POP_01_2_ASCII.Ise", true},
      {"Tavrin_R_POP_01_2_Grp1.gse", true},
      {"Tavrin_R_POP_01_estimates.csv", true},
      {"Tavrin_R_POP_01_Inputs.Sum", true},
      {"_POP_01.Sum", true},
      {"chum.log", true},
      {"anything.rcf", true},
      {"truth.txt", false},
      {"notes.txt", false},
      {"stocks.csv", false},
      {"other.log", false},
      {"Tavrin_R_POP_1.Sum", false},         // one digit is not a run title
      {"Much_too_long_POP_01.Txt", false},  // more than 8 characters before _POP_
      {"Tavrin_R_POP_01_notes.Txt", false},
      {"Tavrin_R_POP_01.Txt.bak", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsRunOutputName(c.name, guard), c.output) << c.name;
}

// A folder that holds a run's inputs beside its outputs: a baseline saved
// as .txt, a mixture whose name looks like a run output, the user's notes.
TEST(Cleanup, NeverTakesInputsOfARunControlFileOrForeignFiles) {
  ScratchFolder dir;
  std::string control = tools_testing::ReadFile(ControlData("good.tcf"));
  auto swap = [&control](const std::string& from, const std::string& to) {
    control.replace(control.find(from), from.size(), to);
  };
  swap("good_baseline.bse", "stocks.txt");
  swap("good_mixture.mix", "Mix_POP_01.Txt");
  WriteFile(dir / "run.tcf", control);
  WriteFile(dir / "stocks.txt",
            tools_testing::ReadFile(ControlData("good_baseline.bse")));
  WriteFile(dir / "Mix_POP_01.Txt",
            tools_testing::ReadFile(ControlData("good_mixture.mix")));
  ASSERT_NE(tools_testing::LoadAndPack(dir / "run.tcf", dir / "run.rcf"), nullptr);
  WriteFile(dir / "truth.txt", "the true shares");
  WriteFile(dir / "notes.txt", "field notes");
  WriteFile(dir / "run.log", "load log");
  WriteFile(dir / "other.log", "someone else's log");
  WriteFile(dir / "Fraser_t_POP_01_SCs.Txt", std::string(100, 'r'));
  WriteFile(dir / "Fraser_t_POP_01_01.Ise", std::string(50, 'i'));

  CleanupTable table = RefreshCleanup(dir.path(), DefaultCleanupChecks());
  EXPECT_EQ(table.rows[4].count, 1u);  // the report, not the baseline, mixture or notes
  EXPECT_EQ(table.rows[4].bytes, 100u);
  EXPECT_EQ(table.rows[6].count, 1u);  // run.log only
  EXPECT_EQ(table.rows[7].count, 1u);

  std::vector<std::string> listed;
  for (const CleanupFile& file : ListFilesToClean(dir.path(), DefaultCleanupChecks()))
    listed.push_back(std::filesystem::path(file.path).filename().string());
  EXPECT_EQ(listed, (std::vector<std::string>{"Fraser_t_POP_01_01.Ise", "Fraser_t_POP_01_SCs.Txt",
                                              "run.log", "run.rcf"}));

  CleanFiles(dir.path(), DefaultCleanupChecks());
  for (const char* kept : {"run.tcf", "stocks.txt", "Mix_POP_01.Txt", "truth.txt", "notes.txt",
                           "other.log"})
    EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
  for (const char* gone : {"run.rcf", "run.log", "Fraser_t_POP_01_SCs.Txt", "Fraser_t_POP_01_01.Ise"})
    EXPECT_FALSE(std::filesystem::exists(dir / gone)) << gone;
}

TEST(Cleanup, FolderOfTheRunControlFile) {
  EXPECT_EQ(CleanupFolderOf("/runs/chum/chum.rcf"), "/runs/chum");
  EXPECT_EQ(CleanupFolderOf("chum.rcf"), ".");
}

}  // namespace
}  // namespace mixora
