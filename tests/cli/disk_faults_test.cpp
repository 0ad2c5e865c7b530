// Writes that fail as they fail on a full disk: every command that writes a
// file, run under a file-size limit, ends non-zero with the system's message
// and leaves the files that were there before as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/short_example_run.h"
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
  Folder() : ScopedTempFolder("disk_faults") {}
};

// The example run, cut to two chains of a few hundred iterations, copied into
// folder; with `load` the run control file is written too.
void PrepareTavrin(const fs::path& folder, bool load) {
  testing_support::WriteShortExampleRun(folder);
  if (load) {
    ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf"}).exitCode, 0);
  }
}

void PrepareFinishedRun(const fs::path& folder) {
  PrepareTavrin(folder, true);
  ASSERT_EQ(RunCli(folder, {"run", "output/tavrin.rcf", "--all", "--quiet"}).exitCode, 0);
}

// A finished run with its reports and conversions already written: what a
// failed second attempt must leave as it was.
void PrepareReportedRun(const fs::path& folder) {
  PrepareFinishedRun(folder);
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_EQ(RunCli(folder, {"report", "output/tavrin.rcf", "--all", "--kind", "all"}).exitCode, 0);
  ASSERT_EQ(RunCli(folder, {"convert", "output/tavrin.rcf", "--compositions", "--assignments"})
                .exitCode,
            0);
}

void PrepareGenepop(const fs::path& folder) {
  const fs::path source = fs::path(MIXORA_TEST_DATA_DIR) / "genepop";
  for (const char* name : {"chum_label_baseline.gen", "chum_label_mixture.gen"})
    fs::copy_file(source / name, folder / name);
}

void PrepareImport(const fs::path& folder) {
  fs::copy_file(fs::path(MIXORA_TEST_DATA_DIR) / "import" / "messy_table.csv",
                folder / "table.csv");
}

void PrepareSpam(const fs::path& folder) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin_spam";
  for (const auto& entry : fs::directory_iterator(source))
    fs::copy_file(entry.path(), folder / entry.path().filename());
  fs::create_directory(folder / "tcf");
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder).string()] = ReadFileBytes(entry.path());
  }
  return files;
}

struct WriterCase {
  const char* name;
  void (*prepare)(const fs::path&);
  std::vector<std::string> args;
  rlim_t limit;  // bytes: below the size of what the command writes
};

class FailedWrite : public ::testing::TestWithParam<WriterCase> {};

TEST_P(FailedWrite, EndsWithTheSystemsMessageAndSparesEarlierFiles) {
  const WriterCase& c = GetParam();
  Folder folder;
  c.prepare(folder.path());
  if (HasFatalFailure()) return;
  const auto before = Snapshot(folder.path());

  ChildLimits limits;
  limits.fileSize = c.limit;
  const CliResult result = RunCliLimited(folder.path().string(), c.args, limits);
  EXPECT_NE(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;
  // The closing line itself says so, not only a line further up.
  EXPECT_NE(result.LastErrorLine().find("File too large"), std::string::npos) << result.err;

  // Appending commands (run) may add records; what was there keeps its bytes.
  const auto after = Snapshot(folder.path());
  for (const auto& [name, bytes] : before) {
    auto found = after.find(name);
    ASSERT_NE(found, after.end()) << name << " was removed";
    EXPECT_EQ(found->second.substr(0, bytes.size()), bytes) << name << " was changed";
  }
  // Nor is a new file left torn: no temporary file, none cut at the limit.
  for (const auto& [name, bytes] : after) {
    if (before.count(name) != 0) continue;
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " was left behind";
    EXPECT_NE(bytes.size(), c.limit) << name << " was cut at the limit";
  }
}

// A load whose run control file does not fit still keeps its whole log,
// which ends with the failure, so the person can read what happened.
TEST(FailedWrite, LoadKeepsItsWholeLogWhenTheRunFileFails) {
  Folder folder;
  PrepareTavrin(folder.path(), false);
  if (HasFatalFailure()) return;
  ChildLimits limits;
  limits.fileSize = 4000;  // the log is about 1,300 bytes, the run file about 10,000
  const CliResult result = RunCliLimited(folder.path().string(), {"load", "tavrin.tcf"}, limits);
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.err.find("Cannot write the run control file"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;
  const std::string log = ReadFileBytes(folder.path() / "tavrin.log");
  EXPECT_NE(log.find("Mixture check SUCCEEDED!!\r\n"), std::string::npos) << log;
  EXPECT_GE(log.size(), std::string("Conversion Failed: output/tavrin.rcf\r\n").size());
  EXPECT_EQ(log.substr(log.size() - 38), "Conversion Failed: output/tavrin.rcf\r\n") << log;
  EXPECT_FALSE(fs::exists(folder.path() / "output" / "tavrin.rcf"));
}

void PrepareTavrinLoaded(const fs::path& folder) { PrepareTavrin(folder, true); }
void PrepareTavrinOnly(const fs::path& folder) { PrepareTavrin(folder, false); }

std::string CaseName(const ::testing::TestParamInfo<WriterCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryWriter, FailedWrite,
    ::testing::Values(
        WriterCase{"run", PrepareTavrinLoaded, {"run", "output/tavrin.rcf", "--quiet"}, 3000},
        WriterCase{"load", PrepareTavrinOnly, {"load", "tavrin.tcf"}, 600},
        WriterCase{"load_over_a_loaded_run", PrepareTavrinLoaded,
                   {"load", "tavrin.tcf", "--overwrite"}, 600},
        WriterCase{"report", PrepareFinishedRun,
                   {"report", "output/tavrin.rcf", "--mixture", "1", "--kind", "all"}, 400},
        WriterCase{"convert", PrepareFinishedRun,
                   {"convert", "output/tavrin.rcf", "--compositions", "--assignments"}, 400},
        WriterCase{"report_over_earlier_reports", PrepareReportedRun,
                   {"report", "output/tavrin.rcf", "--mixture", "1", "--kind", "all",
                    "--overwrite"},
                   400},
        WriterCase{"convert_over_earlier_conversions", PrepareReportedRun,
                   {"convert", "output/tavrin.rcf", "--compositions", "--assignments",
                    "--overwrite"},
                   400},
        WriterCase{"export", PrepareTavrinLoaded, {"export", "output/tavrin.rcf", "--out", "copy"}, 400},
        WriterCase{"genepop_convert", PrepareGenepop,
                   {"genepop-convert", "--baseline", "chum_label_baseline.gen", "--mixture",
                    "chum_label_mixture.gen", "--control", "chum.tcf"},
                   100},
        WriterCase{"simulate", PrepareTavrinOnly, {"simulate", "tavrin_sim.mcf"}, 400},
        WriterCase{"import", PrepareImport,
                   {"import", "--reference", "table.csv", "--mixture", "table.csv", "--control",
                    "run.tcf"},
                   100},
        WriterCase{"spam_to_tcf", PrepareSpam, {"spam-to-tcf", "tavrin_spam.ctl", "--out", "tcf"}, 100}),
    CaseName);

}  // namespace
}  // namespace mixora
