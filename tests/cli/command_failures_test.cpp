// Every command keeps the promise of its help: when it fails (exit status
// 1), the last line on standard error says why, naming the file, instead of
// pointing at messages further up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/short_example_run.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCliLine;

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder with the short example run of one chain (loaded and run), the
// same run loaded but never run, and files that are not what they claim.
class CommandFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteShortExampleRun(folder_.path());
    const fs::path tcf = folder_.path() / "tavrin.tcf";
    std::string text = ReadFileBytes(tcf);
    text = std::regex_replace(text, std::regex("NumberOfChains = \\d+"), "NumberOfChains = 1");
    text = std::regex_replace(text, std::regex("NumberOfReps = \\d+"), "NumberOfReps = 200");
    Write(folder_.path() / "one.tcf", text);
    Write(folder_.path() / "fresh.tcf",
          std::regex_replace(text, std::regex("OutputFolder = \\w+"), "OutputFolder = fresh"));
    for (const char* line : {"load one.tcf --quiet", "run output/one.rcf --quiet",
                             "load fresh.tcf --quiet"}) {
      const CliResult result = RunCliLine(folder_.path(), line);
      ASSERT_EQ(result.exitCode, 0) << line << "\n" << result.err;
    }
    Write(folder_.path() / "short.rcf", "garbage\n");
    // A block header claiming far more data than the file holds.
    Write(folder_.path() / "damaged.rcf", std::string(12, '\x7f') + std::string(188, 'x'));
    Write(folder_.path() / "bad.tcf", "MIXORA\r\nTitle = x\r\n");
  }
  testing_support::ScopedTempFolder folder_{"command_failures"};
};

TEST_F(CommandFailures, TheLastLineOnStandardErrorNamesTheCause) {
  struct Case {
    const char* line;
    std::vector<const char*> said;  // each in the last line of standard error
  } cases[] = {
      {"check nothere.tcf", {"cannot open control file nothere.tcf"}},
      {"load bad.tcf", {"bad.tcf: control file load failed: Missing"}},
      {"analyze bad.tcf", {"bad.tcf: control file load failed: Missing"}},
      {"inspect damaged.rcf", {"damaged.rcf: Invalid File format"}},
      {"run short.rcf", {"short.rcf is not a run control file: it holds only 8 bytes"}},
      {"run damaged.rcf", {"damaged.rcf", "Invalid File format", "compressed bytes"}},
      {"run one.tcf", {"one.tcf is a control file, not a run control file"}},
      {"report damaged.rcf", {"cannot read mixture 1 of damaged.rcf: Invalid File format"}},
      {"report fresh/fresh.rcf", {"missing sample files of mixture 1", "_01.Sta"}},
      {"report output/one.rcf --kind gelman-rubin --overwrite",
       {"Gelman-Rubin Diagnostic report of mixture 1", "GelRub requires at least 2 chains"}},
      {"report output/one.rcf --kind compositions", {"_SCs.Txt exists", "--overwrite"}},
      {"convert damaged.rcf --compositions",
       {"cannot read mixture 1 of damaged.rcf: Invalid File format"}},
      {"convert fresh/fresh.rcf --compositions", {"missing sample files of mixture 1", ".Ise"}},
      {"status damaged.rcf", {"cannot read damaged.rcf: Invalid File format"}},
      {"status short.rcf", {"short.rcf is not a run control file"}},
      {"submit damaged.rcf --dry-run", {"damaged.rcf: Invalid File format"}},
      {"export damaged.rcf -o copy",
       {"cannot read the run control file damaged.rcf: Invalid File format"}},
      {"export short.rcf -o copy", {"short.rcf is not a run control file"}},
      {"spam-to-tcf nothere.ctl -o converted", {"nothere.ctl: FATAL!!: Cannot open file"}},
      {"cleanup nothere", {"Cannot read nothere: no such file or folder"}},
      {"simulate bad.tcf", {"bad.tcf: mixture simulation failed: Incorrect header"}},
      {"genepop-convert --baseline bad.tcf", {"bad.tcf: Genepop conversion failed"}},
      {"import --reference nothere.csv --mixture nothere.csv --control imp.tcf",
       {"Cannot read nothere.csv: no such file"}},
      {"import --reference bad.tcf --mixture bad.tcf --control imp.tcf",
       {"import failed: bad.tcf: "}},
      {"assess bad.tcf", {"assess failed: bad.tcf: "}},
      {"plot damaged.rcf", {"cannot read mixture 1 of damaged.rcf: Invalid File format"}},
  };
  // A report an earlier command wrote, which is not replaced unasked.
  Write(folder_.path() / "output/Tavrin25_POP_01_SCs.Txt", "earlier");
  // The charts are built only where Qt is.
  const bool charts = RunCliLine(folder_.path(), "plot --help").exitCode == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    if (!charts && std::string(c.line).rfind("plot ", 0) == 0) continue;
    const CliResult result = RunCliLine(folder_.path(), c.line);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::string last = result.LastErrorLine();
    EXPECT_EQ(last.rfind("mixora: ", 0), 0u) << result.err;
    for (const char* text : c.said) EXPECT_NE(last.find(text), std::string::npos) << result.err;
  }
}

// A one-chain run has no Gelman-Rubin diagnostic: the whole set stops there,
// and its closing line says so and lists the reports that were written,
// the same files as standard output.
TEST_F(CommandFailures, AllReportsOfOneChainNameTheMissingDiagnosticAndTheReportsWritten) {
  const CliResult result = RunCliLine(folder_.path(), "report output/one.rcf --kind all");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  const std::string last = result.LastErrorLine();
  EXPECT_NE(last.find("the reports of mixture 1 (Tavrin25_POP_01) are incomplete: Gelman-Rubin "
                      "Diagnostic by Population failed: GelRub requires at least 2 chains; "
                      "written: "),
            std::string::npos)
      << result.err;
  std::vector<std::string> written;
  const std::string said = "Report written: output/";
  for (std::size_t at = 0; (at = result.out.find(said, at)) != std::string::npos;) {
    const std::size_t name = at + said.size();
    const std::size_t end = result.out.find('\n', name);
    written.push_back(result.out.substr(name, end - name));
    at = end;
  }
  ASSERT_GE(written.size(), 5u) << result.out;
  for (const std::string& name : written) EXPECT_NE(last.find(name), std::string::npos) << name;
  EXPECT_NE(last.find("Tavrin25_POP_01_SCs_Grp.Txt"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder_.path() / "output/Tavrin25_POP_01_IDs.Txt"));
}

}  // namespace
}  // namespace mixora
