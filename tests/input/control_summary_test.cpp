#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control_test_files.h"
#include "input/control.h"
#include "input/control_summary.h"
#include "input/load_control.h"

namespace mixora {
namespace {

using testing::ControlFixture;

TEST(ControlSummary, ShowsEveryKeywordThroughItsFormatterAndTheBlockCounts) {
  Control control;
  control.controlKind = kControlSpam;
  ASSERT_EQ(LoadControlFile(ControlFixture("spam.ctl"), control), 0u) << control.log.text;

  std::vector<std::string> settings = FormatSettingsSummary(*control.settings);
  ASSERT_EQ(settings.size(), 30u);
  EXPECT_EQ(settings.front(), "Title = SPAM Conversion");
  EXPECT_EQ(settings.back(), "Percentile = 0.975");
  for (const char* line : {"PrintMixture = T", "PrintBaseline = F", "NumberOfChains = 4",
                           "Levels = 2", "StartStock = 3", "RanGen = MT19937",
                           "MaxMissingLoci = 1", "Accuracy = 0.02", "Probability = 0.95",
                           "OutputFolder = out"}) {
    EXPECT_NE(std::find(settings.begin(), settings.end(), line), settings.end()) << line;
  }

  EXPECT_EQ(FormatFileKindsSummary(control),
            (std::vector<std::string>{"Control file: SPAM Control", "Baseline format: SPAM",
                                      "Mixture format: SPAM"}));
  control.mixtureFormat = kFormatNotFound;
  EXPECT_EQ(FormatFileKindsSummary(control).back(), "Mixture format: Not Found");

  EXPECT_EQ(FormatBlocksSummary(control),
            (std::vector<std::string>{
                "Characters: 3, max alleles 15, excluded 1",
                "Stocks: 4, levels 2, excluded 1, level 1 groups 2, level 2 groups 2",
                "Groups: levels 2, excluded 0, level 1 2, level 2 2"}));
}

// Chains on one set of seeds run identically: the load says so, and how to
// change it for the kind of control file at hand.
TEST(ControlSummary, ChainsThatShareTheirSeedsAreNamed) {
  struct Case {
    int32_t kind;
    int32_t chains;
    int32_t changeSeeds;
    const char* expected;  // "" for no line
  } cases[] = {
      {kControlMixora, 4, 0, "set ChangeSeeds = T in the control file"},
      {kControlSpam, 4, 0, "convert the SPAM control file to a text control file"},
      {kControlMixora, 4, 1, ""},
      {kControlMixora, 1, 0, ""},
  };
  for (const auto& c : cases) {
    Control control;
    InitControl(control);
    control.controlKind = c.kind;
    control.settings->NumberOfChains = c.chains;
    control.settings->ChangeSeeds = c.changeSeeds;
    const std::string info = ChainSeedsInfo(control);
    if (*c.expected == '\0') {
      EXPECT_EQ(info, "") << c.chains << " " << c.changeSeeds;
      continue;
    }
    EXPECT_EQ(info.rfind("Info: the " + std::to_string(c.chains) + " chains share their seeds", 0),
              0u)
        << info;
    EXPECT_NE(info.find(c.expected), std::string::npos) << info;
  }
}

TEST(ControlSummary, AControlWithNothingReadShowsZeroCounts) {
  Control control;
  EXPECT_EQ(FormatBlocksSummary(control),
            (std::vector<std::string>{"Characters: 0, max alleles 0, excluded 0",
                                      "Stocks: 0, levels 0, excluded 0",
                                      "Groups: levels 0, excluded 0"}));
}

}  // namespace
}  // namespace mixora
