#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "sampler/c_rand.h"
#include "sampler/priors.h"

namespace mixora {
namespace {

TEST(StartingProportions, StartStocksShareNinetyPercent) {
  const std::vector<int32_t> ids = {1, 2, 3, 4, 7, 8, 10};
  struct Case {
    StartStocks given, after;
    std::vector<double> expected;
  } cases[] = {
      // 9 is not in the run: entry 1 becomes the stock at position 1.
      {{7, 9, -1, -1}, {7, 2, -1, -1}, {0.02, 0.45, 0.02, 0.02, 0.45, 0.02, 0.02}},
      {{-1, -1, -1, -1}, {-1, -1, -1, -1}, std::vector<double>(7, 1.0 / 7)},
      {{10, -1, 3, -1}, {10, -1, 3, -1}, {0.1 / 6, 0.1 / 6, 0.1 / 6, 0.1 / 6, 0.1 / 6, 0.1 / 6, 0.9}},
  };
  for (const auto& c : cases) {
    StartStocks stocks = c.given;
    std::vector<double> p(ids.size(), -1.0);
    StartingProportions(false, {}, ids, stocks, p);
    EXPECT_EQ(stocks, c.after);
    for (std::size_t s = 0; s < ids.size(); ++s) EXPECT_NEAR(p[s], c.expected[s], 1e-15) << s;
  }
}

TEST(StartingProportions, InformativePriorAndEveryStockAStartStock) {
  const std::vector<int32_t> ids = {5, 6};
  StartStocks stocks{5, -1, -1, -1};
  std::vector<double> p(2);
  const std::vector<double> beta = {1.0, 3.0};
  StartingProportions(true, beta, ids, stocks, p);
  EXPECT_EQ(p[0], 0.25);
  EXPECT_EQ(p[1], 0.75);

  // Both stocks start: no rest to share 10%.
  StartStocks both{6, 5, -1, -1};
  StartingProportions(false, {}, ids, both, p);
  EXPECT_EQ(p[0], 0.5);
  EXPECT_EQ(p[1], 0.5);
  // A repeated start stock covers as many entries as there are stocks: the
  // other stock gets nothing rather than 0.1 / 0.
  StartStocks repeated{5, 5, 5, -1};
  StartingProportions(false, {}, ids, repeated, p);
  EXPECT_EQ(p[0], 1.0);
  EXPECT_EQ(p[1], 0.0);
}

int DrawsBetween(CRandState from, const CRandState& to) {
  for (int n = 0; n < 100000; ++n) {
    if (from.state == to.state) return n;
    CRandNext(from);
  }
  return -1;
}

TEST(ChooseStartStocks, LaterChainsAvoidEarlierChainsSlots) {
  const std::vector<int32_t> two = {10, 20};
  const StartStocks run{10, -1, -1, -1};
  CRandState crand;
  CRandSeed(crand, 687688);
  std::vector<StartStocks> chains;
  chains.push_back(ChooseStartStocks(run, two, chains, crand));
  EXPECT_EQ(chains[0], run);
  EXPECT_EQ(crand.state, 687688u);  // chain 0 draws nothing

  CRandState replay = crand;
  int expectedDraws = 0;
  while (CRandNext(replay) < 16384) ++expectedDraws;
  ++expectedDraws;
  const CRandState before = crand;
  chains.push_back(ChooseStartStocks(run, two, chains, crand));
  EXPECT_EQ(chains[1], (StartStocks{20, -1, -1, -1}));
  EXPECT_EQ(DrawsBetween(before, crand), expectedDraws);

  // Four stocks, two slots, three chains: distinct within a chain, and no
  // slot repeats an earlier chain's stock in that slot.
  const std::vector<int32_t> four = {1, 2, 3, 4};
  std::vector<StartStocks> more;
  for (int i = 0; i < 3; ++i) more.push_back(ChooseStartStocks({1, 2, -1, -1}, four, more, crand));
  for (int i = 1; i < 3; ++i) {
    EXPECT_NE(more[i][0], more[i][1]);
    EXPECT_EQ(more[i][2], -1);
    for (int j = 0; j < i; ++j)
      for (int slot = 0; slot < 2; ++slot) EXPECT_NE(more[i][slot], more[j][slot]) << i << j << slot;
  }
}

TEST(ChooseStartStocks, GivesUpAfterMoreThanAHundredRejections) {
  const std::vector<int32_t> one = {10};
  const StartStocks run{10, -1, -1, -1};
  CRandState crand;
  CRandSeed(crand, 5);
  std::vector<StartStocks> chains = {run};
  const CRandState before = crand;
  EXPECT_EQ(ChooseStartStocks(run, one, chains, crand), run);
  // 101 rejected candidates, then one more that is kept.
  EXPECT_EQ(DrawsBetween(before, crand), 102);
}

TEST(ChooseStartStocks, StopsWhenNoCandidateCanEverBeAcceptedOrRejected) {
  // Slot 2 can only repeat this chain's own stocks, and chain 0 holds a
  // stock there that is not in the run, so no draw would count as rejected.
  const std::vector<int32_t> ids = {1, 2};
  const StartStocks run{1, 2, 5, -1};
  CRandState crand;
  CRandSeed(crand, 77);
  std::vector<StartStocks> chains = {run};
  const StartStocks chosen = ChooseStartStocks(run, ids, chains, crand);
  EXPECT_EQ(chosen[0], 2);
  EXPECT_EQ(chosen[1], 1);
  EXPECT_TRUE(chosen[2] == 1 || chosen[2] == 2);
  EXPECT_EQ(chosen[3], -1);
}

TEST(MakeChainStart, SeedsRiseByTwoPerChainWhenChangeSeedsIsSet) {
  RunSettings settings{};
  settings.Seed1 = 687688;
  settings.Seed2 = 788781;
  for (int j = 0; j < 4; ++j) settings.StartStock[j] = -1;
  settings.StartStock[0] = 3;
  const std::vector<int32_t> ids = {3, 4, 5};
  for (int change : {0, 1}) {
    settings.ChangeSeeds = change;
    CRandState crand;
    std::vector<StartStocks> earlier;
    for (int k = 0; k < 3; ++k) {
      ChainStart start = MakeChainStart(settings, ids, earlier, crand);
      if (k == 0) {
        EXPECT_EQ(crand.state, 687688u);
      }
      EXPECT_EQ(start.seed1, 687688 + (change ? 2 * k : 0));
      EXPECT_EQ(start.seed2, 788781 + (change ? 2 * k : 0));
      if (k > 0) {
        EXPECT_NE(start.startStocks[0], 3);
      }
      earlier.push_back(start.startStocks);
    }
  }
  settings.ChangeSeeds = 1;
  settings.Seed1 = INT32_MAX;
  CRandState crand;
  std::vector<StartStocks> earlier = {{3, -1, -1, -1}};
  EXPECT_EQ(MakeChainStart(settings, ids, earlier, crand).seed1, INT32_MIN + 1);
}

TEST(ChainStartBlock, Layout) {
  const std::vector<int32_t> groups = {1, 12};
  const std::vector<int32_t> ids = {7, 1234};
  const std::vector<std::string> names = {"Upper River", "A Name Longer Than Eighteen"};
  const std::vector<double> p = {0.9, 0.1};
  std::string out;
  WriteChainStartBlock(out, {7, -1, -1, -1}, groups, ids, names, p);
  EXPECT_EQ(out,
            "\r\n----------STOCKS USED IN ANALYSIS-----------\r\n"
            "StartStocks: 7\r\n"
            "GROUP COUNT   ID#     POPULATION          STARTING POINT\r\n"
            "   1     1      7     Upper River         0.900000\r\n"
            "  12     2    1234     A Name Longer Than  0.100000\r\n");

  RunRecord run;
  run.stockId = ids;
  run.stockNames = names;
  run.groupAt = {{1, 0}};
  run.levelGroupId = {{40, 50}};
  std::string viaRun;
  WriteChainStartBlock(viaRun, run, {7, -1, -1, -1}, p);
  EXPECT_NE(viaRun.find("  50     1      7 "), std::string::npos) << viaRun;
  EXPECT_NE(viaRun.find("  40     2    1234 "), std::string::npos) << viaRun;
}

}  // namespace
}  // namespace mixora
