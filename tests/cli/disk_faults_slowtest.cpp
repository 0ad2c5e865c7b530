// A disk that fills while chains run: the run stops with the system's
// message, the restart files still describe records the sample files hold,
// and once there is room again a resume ends with the very files of a run
// that never met the fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "sampler/restart_file.h"
#include "support/cli_runner.h"
#include "support/limited_child.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildLimits;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::RunCliLimited;

struct Folder : testing_support::ScopedTempFolder {
  Folder() : ScopedTempFolder("disk_full") {}
};

// The example cut to two chains of 2000 iterations: each composition file
// grows to about 80 kB, its restart file is about 18 kB.
void PrepareRun(const fs::path& folder) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  std::string text = ReadFileBytes(source / "tavrin.tcf");
  text = std::regex_replace(text, std::regex("NumberOfChains = \\d+"), "NumberOfChains = 2");
  text = std::regex_replace(text, std::regex("NumberOfReps = \\d+"), "NumberOfReps = 2000");
  text = std::regex_replace(text, std::regex("SaveEvery = \\d+"), "SaveEvery = 100");
  std::ofstream(folder / "tavrin.tcf", std::ios::binary) << text;
  ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf"}).exitCode, 0);
}

std::string ChainFile(const fs::path& folder, int chain, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.%s", chain + 1, extension);
  return (folder / name).string();
}

TEST(DiskFull, RunStopsWithTheSystemsMessageAndAResumeGivesTheUndisturbedFiles) {
  Folder straight, filled;
  PrepareRun(straight.path());
  PrepareRun(filled.path());
  if (HasFatalFailure()) return;
  ASSERT_EQ(RunCli(straight.path(), {"run", "output/tavrin.rcf", "--quiet"}).exitCode, 0);

  // Files may grow to 40 kB: the restart files fit, the composition files
  // fill half-way through the run.
  ChildLimits limits;
  limits.fileSize = 40 << 10;
  const CliResult full =
      RunCliLimited(filled.path().string(), {"run", "output/tavrin.rcf", "--quiet"}, limits);
  EXPECT_NE(full.exitCode, 0);
  EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
  for (int chain = 0; chain < 2; ++chain) {
    RestartChainValues values;
    ASSERT_EQ(ReadRestartChainValues(ChainFile(filled.path(), chain, "Rst"), values), 1);
    EXPECT_GT(values.iteration, 0);
    EXPECT_LT(values.iteration, 2000);
  }

  const CliResult resumed = RunCli(filled.path(), {"run", "output/tavrin.rcf", "--quiet"});
  ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
  for (int chain = 0; chain < 2; ++chain) {
    for (const char* extension : {"Sta", "Ise", "Rst"}) {
      EXPECT_TRUE(ReadFileBytes(ChainFile(filled.path(), chain, extension)) ==
                  ReadFileBytes(ChainFile(straight.path(), chain, extension)))
          << extension << " of chain " << chain + 1;
    }
  }
}

}  // namespace
}  // namespace mixora
