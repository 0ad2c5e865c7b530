// `mixora run … | head`: when the reader of its progress goes away, the run
// used to die of SIGPIPE on its next line, silently, with its locks left.
// It now saves and stops its chains, says why on standard error, and the
// next run resumes them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::ShellQuote;

TEST(ClosedOutput, RunWhoseReaderLeavesSavesItsChainsAndSaysSo) {
  const fs::path folder = testing_support::NewTempFolder("closed_pipe");
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf", "--quiet"}).exitCode, 0);

  // head takes the first line and leaves; the run writes its next line when
  // the first mixture ends, a second or more later.
  const std::string line = "cd " + ShellQuote(folder.string()) + " && (" +
                           ShellQuote(MIXORA_CLI_PATH) +
                           " run output/tavrin.rcf --all 2>.err </dev/null; echo $? >.rc) | head -n 1 >/dev/null";
  ASSERT_EQ(std::system(("bash -c " + ShellQuote(line)).c_str()), 0);
  EXPECT_EQ(ReadFileBytes(folder / ".rc"), "1\n");
  const std::string err = ReadFileBytes(folder / ".err");
  EXPECT_NE(err.find("mixora: standard output was closed: each chain saves and stops"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.substr(err.rfind("mixora:")),
            "mixora: cannot write to standard output: Broken pipe\n");
  for (const auto& entry : fs::directory_iterator(folder / "output"))
    EXPECT_NE(entry.path().extension(), ".lock") << entry.path();

  CliResult resumed = RunCli(folder, {"run", "output/tavrin.rcf", "--all", "--quiet"});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
  CliResult status = RunCli(folder, {"status", "output/tavrin.rcf"});
  EXPECT_NE(status.out.find("8 of 8 chains finished"), std::string::npos) << status.out;
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace mixora
