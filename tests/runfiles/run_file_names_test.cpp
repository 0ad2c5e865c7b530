#include "runfiles/run_file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "core/paths.h"

namespace mixora {
namespace {

TEST(RunFileNames, PartsAppearOnlyWhenAskedFor) {
  RunRecord run;
  run.controlPath = JoinPath(JoinPath("", "runs"), "Coho.rcf");
  run.runTitle = "Coho";
  const std::string folder = FolderOf(run.controlPath);
  struct Case {
    int chain, report, group, extension;
    const char* name;  // "" when no name is built
  } cases[] = {
      {0, kNoReport, kNoGroup, kExtComposition, "Coho_01.Ise"},
      {0, kNoReport, kNoGroup, kExtAssignments, "Coho_01.Sta"},
      {0, kNoReport, kNoGroup, kExtRestart, "Coho_01.Rst"},
      {0, kNoReport, kNoGroup, kExtSummary, "Coho_01.Sum"},
      {2, kNoReport, kNoGroup, kExtComposition, "Coho_03.Ise"},
      {11, kNoReport, kNoGroup, kExtComposition, "Coho_12.Ise"},
      {99, kNoReport, kNoGroup, kExtComposition, "Coho_100.Ise"},
      {kNoChain, kNoReport, kNoGroup, kExtSummary, "Coho.Sum"},
      {kNoChain, kReportIds, kNoGroup, kExtCsv, "Coho_IDs.Csv"},
      {kNoChain, kReportScs, 0, kExtText, "Coho_SCs_Grp.Txt"},
      {kNoChain, kReportGr, 1, kExtText, "Coho_GR_Grp.Txt"},
      {kNoChain, kReportRl, kNoGroup, kExtText, "Coho_RL.Txt"},
      {3, kReportScs, 0, kExtGroupComposition, "Coho_04_SCs_Grp.Ise"},
      {0, kNoReport, kNoGroup, 4, ""},
      {0, kNoReport, kNoGroup, 8, ""},
  };
  for (const Case& c : cases) {
    std::string expected = *c.name == '\0' ? "" : JoinPath(folder, c.name);
    EXPECT_EQ(BuildRunFileName(run, c.chain, c.report, c.group, c.extension), expected) << c.name;
  }
}

TEST(RunFileNames, SharedTitleDropsTheMixtureSuffix) {
  RunRecord run;
  run.controlPath = "River.rcf";  // no folder: names carry none either
  run.runTitle = "Shasta C_POP_02";
  EXPECT_EQ(BuildRunFileName(run, kNoChainSharedTitle, kReportScs, kNoGroup, kExtText),
            "Shasta C_SCs.Txt");
  EXPECT_EQ(BuildRunFileName(run, kNoChain, kReportScs, kNoGroup, kExtText),
            "Shasta C_POP_02_SCs.Txt");
  EXPECT_EQ(BuildRunFileName(run, 0, kNoReport, kNoGroup, kExtRestart), "Shasta C_POP_02_01.Rst");

  run.runTitle = "NoSuffix";
  EXPECT_EQ(BuildRunFileName(run, kNoChainSharedTitle, kNoReport, kNoGroup, kExtSummary),
            "NoSuffix.Sum");

  // A run record without a run title falls back on the stored title.
  run.runTitle.clear();
  SetField(run.settings.Title, "Stored");
  EXPECT_EQ(BuildRunFileName(run, 1, kNoReport, kNoGroup, kExtComposition), "Stored_02.Ise");
}

}  // namespace
}  // namespace mixora
