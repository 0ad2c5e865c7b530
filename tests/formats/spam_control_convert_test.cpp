#include "formats/spam_control_convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/control.h"
#include "input/control_file_kind.h"
#include "input/load_control.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

const std::string kSpamFolder = std::string(MIXORA_EXAMPLES_DIR) + "/tavrin_spam";

struct Recorded {
  std::vector<std::string> messages;
  std::vector<int> answers;
  Interaction ui;
  Recorded() {
    ui.message = [this](uint32_t, const std::string& text) {
      messages.push_back(text);
      if (answers.empty()) return static_cast<int>(kIdOk);
      int answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
  }
};

TEST(SpamControlConvert, ConvertedFileLoadsAsTheSameRun) {
  ScratchFolder dir;
  Recorded recorded;
  const std::string ctl = kSpamFolder + "/tavrin_spam.ctl";
  ASSERT_EQ(ConvertSpamControlFile(ctl, dir / "tavrin.Tcf", recorded.ui), 0)
      << (recorded.messages.empty() ? "" : recorded.messages[0]);
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_NE(recorded.messages[0].find("\r\nControl File Load SUCCESS!!"), std::string::npos);
  EXPECT_EQ(ClassifyControlFile(dir / "tavrin.Tcf"), kControlMixora);

  Control direct, converted;
  InitControl(direct);
  direct.controlKind = kControlSpam;
  InitControl(converted);
  converted.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(ctl, direct), 0u) << direct.log.text;
  // Loaded from another folder: the data files are still found.
  ASSERT_EQ(LoadControlFile(dir / "tavrin.Tcf", converted), 0u) << converted.log.text;

  const RunSettings& a = *direct.settings;
  const RunSettings& b = *converted.settings;
  EXPECT_EQ(GetField(b.Title), "SPAM Conversion");
  EXPECT_EQ(b.NumberOfChains, 4);
  // The four chains of a converted run are independent.
  EXPECT_EQ(b.ChangeSeeds, 1);
  EXPECT_EQ(b.NumberOfStocks, a.NumberOfStocks);
  EXPECT_EQ(b.NumberOfChars, a.NumberOfChars);
  EXPECT_EQ(b.Levels, a.Levels);
  EXPECT_EQ(b.NumberOfReps, a.NumberOfReps);
  EXPECT_EQ(b.Seed1, a.Seed1);
  EXPECT_EQ(b.Seed2, a.Seed2);
  EXPECT_EQ(b.StartStock[0], a.StartStock[0]);
  EXPECT_EQ(b.MaxMissingLoci, a.MaxMissingLoci);
  EXPECT_EQ(converted.baselineFormat, direct.baselineFormat);
  EXPECT_EQ(converted.mixtureFormat, direct.mixtureFormat);
  EXPECT_EQ(converted.characters->charId, direct.characters->charId);
  EXPECT_EQ(converted.characters->alleleCount, direct.characters->alleleCount);
  EXPECT_EQ(converted.characters->names, direct.characters->names);
  EXPECT_EQ(converted.stocks->stockId, direct.stocks->stockId);
  EXPECT_EQ(converted.stocks->groupAt, direct.stocks->groupAt);
  EXPECT_EQ(converted.groups->groupId, direct.groups->groupId);
  EXPECT_EQ(converted.groups->level, direct.groups->level);
  EXPECT_EQ(converted.groups->names, direct.groups->names);
}

TEST(SpamControlConvert, ManyFilesCountOnlySuccessesAndAskBeforeReplacing) {
  ScratchFolder in;
  ScratchFolder out;
  std::string good = ReadFile(kSpamFolder + "/tavrin_spam.ctl");
  // Data file names made absolute so the copies find them.
  for (const char* name : {"tavrin_baseline.tal", "tavrin_mixture.mix"}) {
    std::size_t at = good.find(name);
    ASSERT_NE(at, std::string::npos);
    good.replace(at, std::string(name).size(), kSpamFolder + "/" + name);
  }
  WriteFile(in / "a.ctl", good);
  WriteFile(in / "b.ctl", "* nothing here\r\n");
  WriteFile(in / "c.ctl", good);

  Recorded three;
  EXPECT_EQ(ConvertSpamControlFiles({in / "a.ctl", in / "b.ctl", in / "c.ctl"}, out.path(),
                                    three.ui),
            2);
  ASSERT_EQ(three.messages.size(), 4u);
  EXPECT_NE(three.messages[1].find("Control File Load FAIL!!"), std::string::npos);
  EXPECT_EQ(three.messages[3], "2 files converted");
  EXPECT_TRUE(std::filesystem::exists(out / "a.Tcf"));
  EXPECT_FALSE(std::filesystem::exists(out / "b.Tcf"));

  WriteFile(out / "a.Tcf", "mine");
  Recorded refused;
  refused.answers = {kIdNo, kIdOk};
  EXPECT_EQ(ConvertSpamControlFiles({in / "a.ctl"}, out.path(), refused.ui), 0);
  EXPECT_EQ(refused.messages,
            (std::vector<std::string>{"Overwrite " + (out / "a.Tcf"), "0 files converted"}));
  EXPECT_EQ(ReadFile(out / "a.Tcf"), "mine");

  Recorded one;
  one.answers = {kIdYes};
  EXPECT_EQ(ConvertSpamControlFiles({in / "a.ctl"}, out.path(), one.ui), 1);
  EXPECT_EQ(one.messages.back(), "1 file converted");
}

}  // namespace
}  // namespace mixora
