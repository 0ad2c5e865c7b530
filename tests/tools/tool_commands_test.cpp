// The tool commands, run as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "input/control.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "formats/format_writers.h"
#include "support/tool_run_loading.h"
#include "support/cli_runner.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::LoadAndPack;
using testing_support::RunCliLine;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

const std::string kGenepopData = std::string(MIXORA_TEST_DATA_DIR) + "/genepop";

using testing_support::CliResult;

TEST(ToolCommands, GenepopConvertOfAMessyFileGivesLoadableFiles) {
  ScratchFolder dir;
  std::filesystem::copy_file(kGenepopData + "/chum_label_baseline.gen", dir / "chum.gen");
  std::filesystem::copy_file(kGenepopData + "/chum_label_mixture.gen", dir / "fishery.gen");
  CliResult run = RunCliLine(dir.path(), "genepop-convert --baseline chum.gen --mixture fishery.gen "
                              "--control chum.tcf");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Convert Info: 4 9 not found for char OKE3 for Fish 2 in POP 2010, "
                         "early (Line 7)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Mixture converted\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "chum_Mixora.gen").rfind("#012 KeshCreek\r\n", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(dir / "fishery_Mixora.gen"));

  // The three written files go through the whole load workflow.
  std::unique_ptr<RunRecord> run_record = LoadAndPack(dir / "chum.tcf", dir / "chum.rcf");
  ASSERT_TRUE(run_record);
  EXPECT_EQ(run_record->stockId, (std::vector<int32_t>{12, 7}));
  EXPECT_EQ(run_record->fishCount, 3);
  // Fish 2 lost its two unknown alleles at the first locus.
  EXPECT_EQ(run_record->genotypes[6], 0);
  EXPECT_EQ(run_record->genotypes[7], 0);
}

TEST(ToolCommands, GenepopConvertFailuresExitNonZero) {
  ScratchFolder dir;
  WriteFile(dir / "plain.gen", "Title\r\nL1\r\nL2\r\nPOP\r\nA, 0101 0202\r\n");
  WriteFile(dir / "good.gen", "Label\r\nL1\r\nL2\r\nPOP\r\nA, 0101 0202\r\n");
  WriteFile(dir / "short.gen", "Label\r\nL1\r\nL2\r\nPOP\r\nA, 0101 0202\r\nB, 0101\r\n");
  struct Case {
    const char* arguments;
    const char* where;  // "out" or "err"
    const char* text;
  } cases[] = {
      {"genepop-convert --baseline plain.gen", "out",
       "Not a Genepop Label baseline file(No 'Label'):\n"},
      {"genepop-convert --baseline plain.gen", "err",
       "mixora: plain.gen: Genepop conversion failed: the baseline could not be read or converted\n"},
      // The closing line names the file and line of the refused individual.
      {"genepop-convert --baseline short.gen", "err",
       "mixora: short.gen, line 6: Genepop conversion failed: 1 genotypes for 2 loci\n"},
      {"genepop-convert --baseline missing.gen", "err", "Cannot read missing.gen"},
      {"genepop-convert --baseline good.gen --baseline-out good.gen", "err", "not overwritten"},
      {"genepop-convert", "err", "--baseline"},
      // The log would replace the baseline it was made from.
      {"genepop-convert --baseline good.gen --log good.gen", "err",
       "mixora: cannot write the log to good.gen: it is good.gen, a file of the conversion"},
  };
  for (const auto& c : cases) {
    CliResult run = RunCliLine(dir.path(), c.arguments);
    EXPECT_NE(run.exitCode, 0) << c.arguments;
    const std::string& text = std::string(c.where) == "out" ? run.out : run.err;
    EXPECT_NE(text.find(c.text), std::string::npos) << c.arguments << "\n" << run.out << run.err;
  }
  EXPECT_EQ(ReadFile(dir / "good.gen"), "Label\r\nL1\r\nL2\r\nPOP\r\nA, 0101 0202\r\n");
}

TEST(ToolCommands, GenepopConvertAsksBeforeReplacingAnOutput) {
  ScratchFolder dir;
  WriteFile(dir / "good.gen", "Label\r\nL1\r\nL2\r\nPOP 4\r\nA, 0101 0202\r\n");
  WriteFile(dir / "good_Mixora.gen", "keep me");
  CliResult refused = RunCliLine(dir.path(), "genepop-convert --baseline good.gen");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("not overwriting " + std::string("good_Mixora.gen")),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(ReadFile(dir / "good_Mixora.gen"), "keep me");
  CliResult replaced = RunCliLine(dir.path(), "genepop-convert --baseline good.gen --overwrite");
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(ReadFile(dir / "good_Mixora.gen").rfind("#004 A\r\n", 0), 0u);
}

TEST(ToolCommands, ExportWritesTheChosenFormats) {
  ScratchFolder dir;
  std::unique_ptr<RunRecord> run =
      LoadAndPack(std::string(MIXORA_EXAMPLES_DIR) + "/tavrin/tavrin.tcf", dir / "tavrin.rcf");
  ASSERT_TRUE(run);
  CliResult exported = RunCliLine(
      dir.path(), "export tavrin.rcf --out out/chum --control spam --baseline talmo --mixture digits");
  ASSERT_EQ(exported.exitCode, 0) << exported.out << exported.err;
  EXPECT_EQ(ReadFile(dir / "out/chum.bse"), FormatTalmoBaseline(*run));
  EXPECT_EQ(ReadFile(dir / "out/chum.mix"), FormatDigitMixture(*run));
  EXPECT_EQ(ReadFile(dir / "out/chum.ctl").rfind("* Estimation : ", 0), 0u);
  EXPECT_NE(exported.out.find("Conversion Succeeded"), std::string::npos);

  CliResult defaults = RunCliLine(dir.path(), "export tavrin.rcf --out plain.x --no-control");
  EXPECT_EQ(defaults.exitCode, 0) << defaults.err;
  EXPECT_EQ(ReadFile(dir / "plain.bse"), FormatSpamBaseline(*run));
  EXPECT_EQ(ReadFile(dir / "plain.mix"), FormatGenepopMixture(*run, true));
  EXPECT_FALSE(std::filesystem::exists(dir / "plain.tcf"));

  EXPECT_NE(RunCliLine(dir.path(), "export tavrin.rcf --out x --control oncor").exitCode, 0);
  WriteFile(dir / "junk.rcf", "not a run control file at all");
  EXPECT_NE(RunCliLine(dir.path(), "export junk.rcf --out y").exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "y.tcf"));
}

TEST(ToolCommands, SpamToTcfConvertsAndCounts) {
  ScratchFolder dir;
  std::string ctl = std::string(MIXORA_EXAMPLES_DIR) + "/tavrin_spam/tavrin_spam.ctl";
  CliResult one = RunCliLine(dir.path(), "spam-to-tcf '" + ctl + "' --out converted");
  EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
  EXPECT_NE(one.out.find("Control File Load SUCCESS!!"), std::string::npos);
  EXPECT_NE(one.out.find("1 file converted"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "converted/tavrin_spam.Tcf").rfind("MIXORA\r\n", 0), 0u);

  WriteFile(dir / "bad.ctl", "* nothing\r\n");
  CliResult two = RunCliLine(dir.path(), "spam-to-tcf bad.ctl '" + ctl + "' --out converted --overwrite");
  EXPECT_EQ(two.exitCode, 1);
  EXPECT_NE(two.out.find("1 file converted"), std::string::npos) << two.out;
  // The file that failed is named with its reason, not only counted, and
  // the reason closes standard error.
  EXPECT_NE(two.err.find("mixora: 1 of 2 files not converted:\n"), std::string::npos) << two.err;
  EXPECT_EQ(two.LastErrorLine().rfind("mixora: bad.ctl: ", 0), 0u) << two.err;
}

TEST(ToolCommands, CleanupShowsCountsAndDeletesOnlyWhatWasAskedAndConfirmed) {
  ScratchFolder dir;
  std::filesystem::create_directory(dir / "run");
  WriteFile(dir / "run/run.rcf", "r");
  WriteFile(dir / "run/run_POP_01_01.Sta", std::string(1000, 'a'));
  WriteFile(dir / "run/run_POP_01_02.Sta", std::string(2000, 'a'));
  WriteFile(dir / "run/run_POP_01_03.Sta", std::string(3000, 'a'));
  WriteFile(dir / "run/run_POP_01.Sum", "s");
  WriteFile(dir / "run/key.dbp", "k");

  CliResult dry = RunCliLine(dir.path(), "cleanup run/run.rcf --dry-run");
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find("Stock Assignments (.sta)"), std::string::npos);
  EXPECT_NE(dry.out.find("5.86KB"), std::string::npos) << dry.out;
  // Each file that would go is listed with its size.
  EXPECT_NE(dry.out.find("Files that would be deleted:\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("     1.95KB  run_POP_01_02.Sta\n"), std::string::npos) << dry.out;
  EXPECT_EQ(dry.out.find("key.dbp\n"), std::string::npos) << dry.out;

  CliResult unconfirmed = RunCliLine(dir.path(), "cleanup run --kinds sta");
  EXPECT_EQ(unconfirmed.exitCode, 1);
  EXPECT_NE(unconfirmed.err.find("nothing deleted"), std::string::npos) << unconfirmed.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "run/run_POP_01_01.Sta"));

  CliResult asked = RunCliLine(dir.path(), "cleanup run --kinds sta,.SUM --yes");
  EXPECT_EQ(asked.exitCode, 0) << asked.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "run/run_POP_01_01.Sta"));
  EXPECT_FALSE(std::filesystem::exists(dir / "run/run_POP_01.Sum"));
  EXPECT_TRUE(std::filesystem::exists(dir / "run/run.rcf"));
  EXPECT_TRUE(std::filesystem::exists(dir / "run/key.dbp"));

  EXPECT_EQ(RunCliLine(dir.path(), "cleanup run --kinds dbp --yes").exitCode, 1);
  EXPECT_EQ(RunCliLine(dir.path(), "cleanup run --kinds exe --yes").exitCode, 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "run/key.dbp"));
  EXPECT_EQ(RunCliLine(dir.path(), "cleanup nowhere").exitCode, 1);
}

}  // namespace
}  // namespace mixora
