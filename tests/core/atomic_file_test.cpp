#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int FilesIn(const fs::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
  return n;
}

// An output is invisible under its name until it is committed; abandoned,
// it leaves the earlier file as it was and no temporary file behind.
TEST(PendingFile, ReplacesTheEarlierFileOnlyWhenCommitted) {
  const fs::path folder = testing_support::NewTempFolder("pending");
  const std::string path = (folder / "report.Txt").string();
  std::ofstream(path, std::ios::binary) << "earlier";

  {
    PendingFile abandoned;
    std::FILE* file = OpenPendingFile(abandoned, path);
    ASSERT_NE(file, nullptr);
    std::fputs("half of a new report", file);
    std::fflush(file);
    EXPECT_EQ(Text(path), "earlier");
    EXPECT_EQ(FilesIn(folder), 2);
  }
  EXPECT_EQ(Text(path), "earlier");
  EXPECT_EQ(FilesIn(folder), 1);

  PendingFile kept;
  std::FILE* file = OpenPendingFile(kept, path);
  ASSERT_NE(file, nullptr);
  std::fputs("the new report", file);
  ASSERT_EQ(CommitPendingFile(kept), 1);
  EXPECT_EQ(Text(path), "the new report");
  EXPECT_EQ(FilesIn(folder), 1);

  ASSERT_EQ(WriteWholeFile(path, "whole"), 1);
  EXPECT_EQ(Text(path), "whole");
  EXPECT_EQ(WriteWholeFile((folder / "no" / "such.Txt").string(), "x"), 0);
  EXPECT_EQ(FilesIn(folder), 1);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace mixora
