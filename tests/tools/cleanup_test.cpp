#include "tools/cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tools/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

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
  WriteFile(dir / "other.STA", std::string(3000, 'a'));
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

TEST(Cleanup, LargeFileSizeAndUnreadableFolder) {
  ScratchFolder dir;
  {
    std::FILE* f = std::fopen((dir / "big.rst").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  std::error_code ec;
  std::filesystem::resize_file(dir / "big.rst", 5368709120ull, ec);
  if (ec) GTEST_SKIP() << "no sparse 5 GiB file here: " << ec.message();
  CleanupTable table = RefreshCleanup(dir.path(), DefaultCleanupChecks());
  EXPECT_EQ(table.rows[2].bytes, 5368709120ull);
  EXPECT_EQ(FormatSizeText(table.rows[2].bytes), "5.00GB");

  CleanupTable missing = RefreshCleanup(dir / "no-such-folder", DefaultCleanupChecks());
  EXPECT_EQ(missing.total.count, 0u);
}

TEST(Cleanup, FolderOfTheRunControlFile) {
  EXPECT_EQ(CleanupFolderOf("/runs/chum/chum.rcf"), "/runs/chum");
  EXPECT_EQ(CleanupFolderOf("chum.rcf"), ".");
}

}  // namespace
}  // namespace mixora
