#include "formats/run_file_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/file_helpers.h"
#include "formats/format_writers.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

RunRecord TinyRun() {
  RunRecord run;
  SetField(run.settings.Title, "Tiny");
  run.settings.NumberOfStocks = 1;
  run.settings.NumberOfChars = 1;
  run.maxAlleles = 2;
  run.charId = {1};
  run.alleleCount = {2};
  run.isLocus = {1};
  run.charNames = {"L1"};
  run.stockId = {7};
  run.stockNames = {"Kesh"};
  run.groupAt = {{1}};
  run.groupLevel = {0};
  run.groupId = {1};
  run.groupNames = {"All"};
  run.counts = {3, 5};
  run.beta = {1.0};
  run.mixtureTitle = "Mix";
  run.fishCount = 1;
  run.fishNames = {"F"};
  run.genotypes = {1, 2};
  return run;
}

// Scripted answers to the message box, recording every question.
struct ScriptedUi {
  std::vector<int> answers;
  std::vector<std::string> asked;
  Interaction ui;
  ScriptedUi() {
    ui.message = [this](uint32_t, const std::string& text) {
      asked.push_back(text);
      if (answers.empty()) return static_cast<int>(kIdOk);
      int answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
  }
};

TEST(ConvertRunFiles, WritesTheThreeFilesNextToTheOutputNameAndNamesThem) {
  struct Case {
    const char* output;
    RunFileChoices choices;
    std::vector<std::string> files;
  } cases[] = {
      {"chum.rcf", RunFileChoices{}, {"chum.tcf", "chum.bse", "chum.mix"}},
      {"chum", RunFileChoices{}, {"chum.tcf", "chum.bse", "chum.mix"}},
      {"old.v1.rcf",
       RunFileChoices{true, ControlChoice::kSpam, true, BaselineChoice::kTalmo, true,
                      MixtureChoice::kTalmo},
       {"old.v1.ctl", "old.v1.bse", "old.v1.mix"}},
      {"part.rcf",
       RunFileChoices{false, ControlChoice::kMixora, true, BaselineChoice::kOncor, false,
                      MixtureChoice::kGenepop},
       {"part.bse"}},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    ScriptedUi scripted;
    bool overwriteAll = false;
    std::vector<std::string> written;
    RunRecord run = TinyRun();
    EXPECT_EQ(ConvertRunFiles(scripted.ui, c.choices, run, dir / c.output, overwriteAll, &written),
              1)
        << c.output;
    std::vector<std::string> expected;
    for (const auto& name : c.files) expected.push_back(dir / name);
    EXPECT_EQ(written, expected) << c.output;
    EXPECT_TRUE(scripted.asked.empty());

    RunRecord renamed = run;
    std::string stem = c.files[0].substr(0, c.files[0].rfind('.'));
    SetField(renamed.settings.BaselineFile, dir / (stem + ".bse"));
    SetField(renamed.settings.MixtureFile, dir / (stem + ".mix"));
    for (const auto& name : c.files) {
      std::string text = ReadFile(dir / name);
      std::string ext = name.substr(name.rfind('.') + 1);
      std::string want = ext == "tcf"   ? FormatRunTextControlFile(renamed)
                         : ext == "ctl" ? FormatSpamControlFile(renamed)
                         : ext == "bse" ? (c.choices.baselineFormat == BaselineChoice::kTalmo
                                               ? FormatTalmoBaseline(run)
                                               : FormatSpamBaseline(run))
                                        : (c.choices.mixtureFormat == MixtureChoice::kTalmo
                                               ? FormatDigitMixture(run)
                                               : FormatGenepopMixture(run, true));
      EXPECT_EQ(text, want) << name;
    }
  }
  // The control file names the new baseline and mixture.
  ScratchFolder dir;
  bool overwriteAll = false;
  ScriptedUi scripted;
  ConvertRunFiles(scripted.ui, RunFileChoices{}, TinyRun(), dir / "chum.rcf", overwriteAll);
  std::string control = ReadFile(dir / "chum.tcf");
  EXPECT_NE(control.find("BaselineFile = " + (dir / "chum.bse") + "\r\n"), std::string::npos);
  EXPECT_NE(control.find("MixtureFile = " + (dir / "chum.mix") + "\r\n"), std::string::npos);
}

TEST(ConvertRunFiles, ExistingFilesAreReplacedOnlyAfterAskingAndYesToAllHolds) {
  ScratchFolder dir;
  for (const char* name : {"run.tcf", "run.bse", "run.mix"}) WriteFile(dir / name, "old");

  ScriptedUi no;
  no.answers = {kIdNo, kIdYes, kIdNo};
  bool overwriteAll = false;
  EXPECT_EQ(ConvertRunFiles(no.ui, RunFileChoices{}, TinyRun(), dir / "run.rcf", overwriteAll), 0);
  EXPECT_EQ(no.asked, (std::vector<std::string>{"Overwrite " + (dir / "run.tcf"),
                                                "Overwrite " + (dir / "run.bse"),
                                                "Overwrite " + (dir / "run.mix")}));
  EXPECT_EQ(ReadFile(dir / "run.tcf"), "old");
  EXPECT_NE(ReadFile(dir / "run.bse"), "old");
  EXPECT_EQ(ReadFile(dir / "run.mix"), "old");

  ScriptedUi all;
  all.answers = {kIdYesToAll};
  EXPECT_EQ(ConvertRunFiles(all.ui, RunFileChoices{}, TinyRun(), dir / "run.rcf", overwriteAll), 1);
  EXPECT_EQ(all.asked.size(), 1u);
  EXPECT_TRUE(overwriteAll);
  EXPECT_NE(ReadFile(dir / "run.mix"), "old");
}

// `export -o tavrin --overwrite` used to replace the run's own control file
// and baseline. No answer, "Yes to All" included, lets an output replace an
// input of the run it writes out.
TEST(ConvertRunFiles, NeverReplacesAnInputOfTheRun) {
  ScratchFolder dir;
  for (const char* name : {"run.tcf", "stocks.bse", "fish.mix"}) WriteFile(dir / name, "input");
  RunRecord run = TinyRun();
  SetField(run.settings.ControlFilePath, (dir / "run.tcf").c_str());
  SetField(run.settings.BaselineFile, "stocks.bse");  // beside the control file
  SetField(run.settings.MixtureFile, (dir / "fish.mix").c_str());
  struct Case {
    std::string output;
    std::string refused;
  } cases[] = {
      {dir / "run.rcf", dir / "run.tcf"},
      {dir / "stocks.x", dir / "stocks.bse"},
      {dir / "fish", dir / "fish.mix"},
  };
  for (const Case& c : cases) {
    ScriptedUi yes;
    yes.answers = {kIdYesToAll, kIdYesToAll, kIdYesToAll};
    bool overwriteAll = true;
    EXPECT_EQ(ConvertRunFiles(yes.ui, RunFileChoices{}, run, c.output, overwriteAll), 0) << c.output;
    ASSERT_EQ(yes.asked.size(), 1u) << c.output;
    EXPECT_EQ(yes.asked[0], "Cannot write to " + c.refused +
                                ": it is an input file of the run; choose another output name");
    for (const char* name : {"run.tcf", "stocks.bse", "fish.mix"})
      EXPECT_EQ(ReadFile(dir / name), "input") << c.output << " " << name;
  }
}

TEST(FileHelpers, CheckWritableTellsWritableFromReadOnlyAndUncreatable) {
  ScratchFolder dir;
  WriteFile(dir / "plain.txt", "x");
  WriteFile(dir / "locked.txt", "x");
  std::filesystem::permissions(dir / "locked.txt", std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read);
  struct Case {
    std::string path;
    int result;
  } cases[] = {
      {dir / "plain.txt", 1},
      {dir / "new.txt", 1},
      {dir / "locked.txt", 0},
      {dir / "no-such-folder/new.txt", 0},
      {dir.path(), 0},
  };
  for (const auto& c : cases) {
    ScriptedUi scripted;
    EXPECT_EQ(CheckWritable(&scripted.ui, c.path), c.result) << c.path;
    EXPECT_EQ(scripted.asked.size(), c.result ? 0u : 1u) << c.path;
    if (!c.result) {
      EXPECT_EQ(scripted.asked[0].rfind("System Message:\r\nCannot write to:\r\n" + c.path + "\r\n",
                                        0),
                0u)
          << scripted.asked[0];
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "new.txt"));
  EXPECT_EQ(CheckWritable(nullptr, dir / "locked.txt"), 0);
}

TEST(FileHelpers, CreateOutputFileReportsAFileItCannotOpen) {
  ScratchFolder dir;
  ScriptedUi scripted;
  bool overwriteAll = false;
  PendingFile pending;
  EXPECT_EQ(CreateOutputFile(scripted.ui, dir / "none/x.txt", overwriteAll, pending), nullptr);
  EXPECT_EQ(scripted.asked, std::vector<std::string>{"Cannot Open " + (dir / "none/x.txt") + ": No such file or directory"});
}

TEST(FileHelpers, FolderSpaceText) {
  ScratchFolder dir;
  std::string text = FolderSpaceText(dir.path());
  EXPECT_EQ(text.rfind(dir.path() + "\n", 0), 0u);
  EXPECT_NE(text.find(" available disk space"), std::string::npos) << text;
  EXPECT_EQ(FolderSpaceText(dir / "missing"), (dir / "missing") + "\nError getting free space");
}

}  // namespace
}  // namespace mixora
