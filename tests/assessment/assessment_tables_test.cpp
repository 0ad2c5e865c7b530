// The assessment tables read back exactly as assess wrote them, and a damaged
// table is refused with its file, line and problem.
#include "assessment/assessment_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/assessment_fixture.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using namespace tools_testing;

// Writes the tables the way the assess command does.
void WriteTables(const std::string& prefix, const SelfAssignment& self,
                 const SimulatedAssessment* simulated) {
  WriteFile(prefix + "_selfassign.csv", FormatSelfAssignmentCsv(self));
  WriteFile(prefix + "_confusion.csv", FormatConfusionCsv(self));
  if (simulated != nullptr) {
    WriteFile(prefix + "_simulated.csv", FormatSimulatedAssessmentCsv(*simulated));
    WriteFile(prefix + "_simulated_mixtures.csv", FormatSimulatedMixturesCsv(*simulated));
  }
}

SelfAssignment FourStocksInTwoGroups() {
  using namespace assessment_testing;
  FishGenotypes fish = MakeBaseline(DistinctFrequencies(4, 3, 4, 7), 6, {0, 0, 1, 1}, 11);
  // A name the CSV must quote.
  fish.stockNames[1] = "Creek, upper";
  return AssessSelfAssignment(fish, {});
}

TEST(AssessmentTables, ReadBackTheNumbersAssessWrote) {
  ScratchFolder folder;
  const SelfAssignment self = FourStocksInTwoGroups();
  SimulatedAssessment simulated;
  simulated.rows = {{"G1", 0.4, 0.41, 0.01, 0.03, 0.9}, {"G2", 0.6, 0.59, -0.01, 0.03, 1.0}};
  simulated.mixtures = {{{0.3, 0.7}, {0.32, 0.68}, {0.2, 0.55}, {0.45, 0.8}},
                        {{0.5, 0.5}, {0.5, 0.5}, {0.4, 0.4}, {0.6, 0.6}}};
  const std::string prefix = folder / "base";
  WriteTables(prefix, self, &simulated);

  AssessmentTables tables;
  std::string error;
  ASSERT_EQ(ReadAssessmentTables(prefix + "_selfassign.csv", tables, error), 1) << error;
  EXPECT_EQ(tables.prefix, prefix);
  ASSERT_EQ(tables.selfAssignment.levels.size(), self.levels.size());
  for (std::size_t l = 0; l < self.levels.size(); ++l) {
    const SelfAssignmentLevel& want = self.levels[l];
    const SelfAssignmentLevel& got = tables.selfAssignment.levels[l];
    EXPECT_EQ(got.level, want.level);
    ASSERT_EQ(got.rows.size(), want.rows.size());
    for (std::size_t u = 0; u < want.rows.size(); ++u) {
      EXPECT_EQ(got.rows[u].name, want.rows[u].name);
      EXPECT_EQ(got.rows[u].fish, want.rows[u].fish);
      EXPECT_NEAR(got.rows[u].shareOwn, want.rows[u].shareOwn, 5e-7);
      EXPECT_NEAR(got.rows[u].meanOwn, want.rows[u].meanOwn, 5e-7);
    }
    EXPECT_EQ(got.confusion, want.confusion);
  }
  ASSERT_EQ(tables.simulated.rows.size(), 2u);
  EXPECT_EQ(tables.simulated.rows[1].group, "G2");
  EXPECT_DOUBLE_EQ(tables.simulated.rows[1].bias, -0.01);
  ASSERT_EQ(tables.simulated.mixtures.size(), 2u);
  EXPECT_EQ(tables.simulated.mixtures[0].upper, (std::vector<double>{0.45, 0.8}));
  EXPECT_EQ(tables.simulated.mixtures[1].truth, (std::vector<double>{0.5, 0.5}));

  // Without a simulation there is nothing simulated to draw.
  ScratchFolder other;
  WriteTables(other / "plain", self, nullptr);
  ASSERT_EQ(ReadAssessmentTables(other / "plain_selfassign.csv", tables, error), 1) << error;
  EXPECT_TRUE(tables.simulated.rows.empty());
  EXPECT_TRUE(tables.simulated.mixtures.empty());
}

TEST(AssessmentTables, DamagedTablesAreRefusedWithFileLineAndProblem) {
  const std::string self =
      "level,name,fish,correct_share,mean_own_probability\r\n"
      "stock,A,4,1.000000,0.900000\r\nstock,B,4,0.500000,0.600000\r\n";
  const std::string confusion =
      "level,true,assigned,fish\r\nstock,A,A,4\r\nstock,A,B,0\r\nstock,B,A,2\r\nstock,B,B,2\r\n";
  struct Case {
    const char* what;
    std::string file;  // which table is replaced
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"header", "_selfassign.csv", "level,name,fish\r\nstock,A,4\r\n", "line 1: the header is not"},
      {"number", "_selfassign.csv",
       "level,name,fish,correct_share,mean_own_probability\r\nstock,A,4,most,0.9\r\n",
       "line 2: \"most\" is not a number"},
      {"short row", "_confusion.csv", "level,true,assigned,fish\r\nstock,A,A\r\n",
       "line 2: 3 fields where the header has 4"},
      {"unknown unit", "_confusion.csv", "level,true,assigned,fish\r\nstock,A,C,1\r\n",
       "line 2: \"C\" is not a unit of stock"},
      {"no confusion", "_confusion.csv", "", "Cannot read"},
      {"stray mixture group", "_simulated_mixtures.csv",
       "mixture,group,truth,estimate,lower95,upper95\r\n1,G9,0.1,0.1,0,0.2\r\n",
       "line 2: group \"G9\" is not in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    const std::string prefix = folder / "base";
    WriteFile(prefix + "_selfassign.csv", self);
    WriteFile(prefix + "_confusion.csv", confusion);
    WriteFile(prefix + "_simulated.csv",
              "group,mean_truth,mean_estimate,bias,rmse,coverage95\r\nG1,0.5,0.5,0,0.01,1\r\n");
    if (c.text.empty())
      std::filesystem::remove(prefix + c.file);
    else
      WriteFile(prefix + c.file, c.text);
    AssessmentTables tables;
    std::string error;
    EXPECT_EQ(ReadAssessmentTables(prefix + "_selfassign.csv", tables, error), 0);
    EXPECT_NE(error.find(prefix + c.file), std::string::npos) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  AssessmentTables tables;
  std::string error;
  EXPECT_EQ(ReadAssessmentTables("base_assess.Txt", tables, error), 0);
  EXPECT_NE(error.find("not a self-assignment table"), std::string::npos) << error;
}

}  // namespace
}  // namespace mixora
