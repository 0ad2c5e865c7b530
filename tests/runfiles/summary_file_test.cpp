#include "runfiles/summary_file.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "sampler/run_opening.h"
#include "sampler/runner_fixture.h"

namespace mixora {
namespace {

using namespace runner_testing;

TEST(FormatDuration, RoundsToTheSecondAndGrowsDaysAndHours) {
  struct Case {
    uint64_t hundredths;
    const char* text;
  } cases[] = {
      {0, "0:00"},          {45, "0:00"},        {50, "0:00"},         {51, "0:01"},
      {150, "0:01"},        {151, "0:02"},       {4000, "0:40"},       {5999, "1:00"},
      {359999, "1:00:00"},  {360000, "1:00:00"}, {8639949, "23:59:59"}, {8640000, "1 00:00:00"},
      {9000000, "1 01:00:00"}, {86400000, "10 00:00:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDuration(c.hundredths), c.text) << c.hundredths;
}

TEST(FormatDateTime, IsMonthDayYearAndClock) {
  EXPECT_TRUE(std::regex_match(FormatDateTime(),
                               std::regex("[A-Z][a-z]{2} [0-9]{2}, [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")))
      << FormatDateTime();
  EXPECT_EQ(FormatSessionEnded("Jan 02, 2025 10:11:12", 9000000),
            "Session ended: Jan 02, 2025 10:11:12, CPU: 1 01:00:00\r\n");
}

// Two grouping levels of 3 and 5 groups, starting stocks 4, 9, -1, -1.
TEST(SummaryHead, ListsEveryLevelItsGroupsAndTheStartingStocks) {
  RunRecord run;
  RunSettings& set = run.settings;
  set.Levels = 2;
  set.NumberOfStocks = 2;
  set.StartStock[0] = 4;
  set.StartStock[1] = 9;
  set.StartStock[2] = -1;
  set.StartStock[3] = 5;  // after a negative entry: not listed
  run.stockId = {4, 9};
  run.stockNames = {"A stock name longer than eighteen", "Nine"};
  run.beta = {0.5, 0.25};
  run.groupAt = {{2, 0}, {4, 1}};
  run.levelGroupCount = {3, 5};
  run.levelGroupId = {{10, 20, 30}, {1, 2, 3, 4, 5}};
  run.levelGroupNames = {{"N", "M", "S"}, {"a", "b", "c", "d", "e"}};
  const std::string head = FormatSummaryHead(run, "Jan 02, 2025 10:11:12");
  EXPECT_NE(head.find("\r\nLevel 1 groups:                 3\r\n"
                      "Level 2 groups:                 5\r\n"
                      "\r\nStarting Stock IDs:           4/9\r\n"),
            std::string::npos)
      << head;
  // The first level's group identifier, not its position, heads each stock.
  EXPECT_NE(head.find("  30     1      4     A stock name longe  0.500000\r\n"
                      "  10     2      9     Nine                0.250000\r\n"),
            std::string::npos)
      << head;
  EXPECT_NE(head.find("GROUPINFO\r\n1 10 N\r\n1 20 M\r\n1 30 S\r\n2 1 a\r\n2 2 b\r\n2 3 c\r\n"
                      "2 4 d\r\n2 5 e\r\n"),
            std::string::npos)
      << head;
  EXPECT_EQ(head.substr(head.size() - 9), "\r\n2 5 e\r\n");
}

// Splits off and checks the "Session ended" lines at the end of a summary.
int CountSessionEnds(std::string& text) {
  static const std::regex kEnded(
      "Session ended: [A-Z][a-z]{2} [0-9]{2}, [0-9]{4} [0-9:]{8}, CPU: [0-9]+:[0-9]{2}\r\n$");
  int count = 0;
  std::smatch match;
  while (std::regex_search(text, match, kEnded)) {
    text.erase(static_cast<std::size_t>(match.position(0)));
    ++count;
  }
  return count;
}

TEST(SummaryFile, NewSummaryMatchesTheGoldenLayoutAndEachCloseEndsASession) {
  ScratchFolder folder;
  std::string why;
  const std::string rcf = MakeSmallRun(
      folder.path(), {{"PrintBaseline", "T"}, {"PrintMixture", "T"}}, why);
  ASSERT_FALSE(rcf.empty()) << why;
  Boxes boxes;
  RunSession session;
  ASSERT_NE(OpenRun(session, boxes.ui, rcf, 1), nullptr) << boxes.All();
  CloseRun(session);
  const std::string path = folder.File("Small te_POP_02.Sum");
  std::string text = ReadText(path);

  const std::string dated = "Mixora v5.01 - ";
  ASSERT_EQ(text.compare(0, dated.size(), dated), 0) << text;
  const std::size_t firstEnd = text.find("\r\n");
  text.replace(dated.size(), firstEnd - dated.size(), "Jan 01, 2025 00:00:00");
  EXPECT_EQ(CountSessionEnds(text), 1);
  // The data files are named by the path the load was given.
  for (std::size_t at; (at = text.find(folder.path() + "/")) != std::string::npos;)
    text.erase(at, folder.path().size() + 1);
  EXPECT_EQ(text, ReadText(std::string(MIXORA_TEST_DATA_DIR) + "/summary/small_pop02.Sum"));

  // An existing summary gets nothing at opening, one more line at closing.
  const std::string before = ReadText(path);
  ASSERT_NE(OpenRun(session, boxes.ui, rcf, 1), nullptr);
  EXPECT_EQ(ReadText(path), before);
  CloseRun(session);
  std::string after = ReadText(path);
  ASSERT_EQ(after.compare(0, before.size(), before), 0);
  EXPECT_EQ(CountSessionEnds(after), 2);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.All();
}

TEST(SummaryFile, ASummaryThatCannotBeOpenedLeavesTheRunOpen) {
  ScratchFolder folder;
  std::string why;
  const std::string rcf = MakeSmallRun(folder.path(), {}, why);
  ASSERT_FALSE(rcf.empty()) << why;
  std::filesystem::create_directory(folder.File("Small te_POP_01.Sum"));  // a folder in its way
  Boxes boxes;
  RunSession session;
  RunRecord* run = OpenRun(session, boxes.ui, rcf, 0);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->summary, nullptr);
  EXPECT_EQ(boxes.All(), "Error opening Summary File:\r\n" + folder.File("Small te_POP_01.Sum") + "\n");
  EXPECT_EQ(session.chains.size(), 2u);
  CloseRun(session);
}

TEST(RunOpening, ReadFailureKeepsThePreviousRun) {
  ScratchFolder folder;
  std::string why;
  const std::string rcf = MakeSmallRun(folder.path(), {}, why);
  ASSERT_FALSE(rcf.empty()) << why;
  Boxes boxes;
  RunSession session;
  RunRecord* first = OpenRun(session, boxes.ui, rcf, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OpenRun(session, boxes.ui, "", 7), nullptr);  // no eighth mixture
  EXPECT_EQ(session.run.get(), first);
  EXPECT_EQ(session.chains.size(), 2u);
  RunRecord* third = OpenRun(session, boxes.ui, "", 2);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->mixtureIndex, 2);
  EXPECT_EQ(third->runTitle, "Small te_POP_03");
  CloseRun(session);
  // The first mixture's summary was ended when the third replaced it.
  std::string text = ReadText(folder.File("Small te_POP_01.Sum"));
  EXPECT_EQ(CountSessionEnds(text), 1);
}

}  // namespace
}  // namespace mixora
