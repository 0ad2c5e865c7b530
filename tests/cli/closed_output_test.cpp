// What a command prints is its answer. When standard output cannot take it
// (a full disk behind a redirection, a closed pipe), the command fails and
// says so on its last line, instead of exiting 0 with nothing delivered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::ShellQuote;

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  const std::size_t at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

TEST(ClosedOutput, CommandsWhoseOutputIsTheAnswerFailWhenItCannotBeWritten) {
  const fs::path folder = testing_support::NewTempFolder("closed_output");
  for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / "rcf"))
    fs::copy(entry.path(), folder / entry.path().filename());
  ASSERT_EQ(RunCli(folder, {"load", "small.tcf", "--quiet"}).exitCode, 0);
  const std::vector<std::string> commands = {
      "status out/small.rcf",
      "inspect out/small.rcf",
      "cleanup out --kind sta,ise --dry-run",
      "submit out/small.rcf --all --dry-run",
      "check small.tcf",
  };
  for (const std::string& command : commands) {
    const std::string line = "cd " + ShellQuote(folder.string()) + " && " +
                             ShellQuote(MIXORA_CLI_PATH) + " " + command +
                             " >/dev/full 2>.err </dev/null";
    const int status = std::system(line.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << command;
    EXPECT_EQ(LastLine(ReadFileBytes(folder / ".err")),
              "mixora: cannot write to standard output: No space left on device")
        << command;
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace mixora
