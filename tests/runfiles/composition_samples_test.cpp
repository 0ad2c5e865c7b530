#include "runfiles/composition_samples.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_files_fixture.h"

namespace mixora {
namespace {

using namespace testing_samples;

// Two chains of three stocks; chain 0 holds 2500 records, chain 1 holds 2600.
class CompositionLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = SmallRun(folder_, 3, 2, 1000, 2);
    WriteChain(run_, 0, 2500);
    WriteChain(run_, 1, 2600);
  }
  TempFolder folder_;
  RunRecord run_;
  MessageLog log_;
};

TEST_F(CompositionLoad, ByStockKeepsTheSameRecordsOfEveryChain) {
  CompositionLoadRequest request;
  request.length = 2500;
  request.discard = 1250;
  CompositionSamples samples;
  std::string error;
  ASSERT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 1) << error;
  EXPECT_EQ(samples.rows, 3u);
  EXPECT_EQ(samples.chains, 2u);
  EXPECT_EQ(samples.records, 1250u);
  ASSERT_EQ(samples.values.size(), 3u * 2u * 1250u);
  for (uint32_t k = 0; k < 3; ++k)
    for (uint32_t c = 0; c < 2; ++c)
      for (uint32_t r : {0u, 1u, 749u, 750u, 1249u})
        EXPECT_EQ(samples.values[(k * 2 + c) * 1250 + r],
                  static_cast<uint32_t>(CompositionValue(1250 + r, k, static_cast<int>(c), 3)))
            << k << " " << c << " " << r;
}

TEST_F(CompositionLoad, ByRegionSumsTheStocksOfEachGroup) {
  CompositionLoadRequest request;
  request.length = 2000;
  request.discard = 0;
  request.groupOfStock = {1, 0, 1};
  request.groupCount = 2;
  CompositionSamples samples;
  std::string error;
  ASSERT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 1) << error;
  ASSERT_EQ(samples.rows, 2u);
  for (uint32_t c = 0; c < 2; ++c)
    for (uint32_t r : {0u, 999u, 1000u, 1999u}) {
      int chain = static_cast<int>(c);
      EXPECT_EQ(samples.At(0, c, r), static_cast<uint32_t>(CompositionValue(r, 1, chain, 3)));
      EXPECT_EQ(samples.At(1, c, r), static_cast<uint32_t>(CompositionValue(r, 0, chain, 3)) +
                                         static_cast<uint32_t>(CompositionValue(r, 2, chain, 3)));
    }
}

TEST_F(CompositionLoad, RefusesWhatCannotFillTheArray) {
  struct Case {
    const char* name;
    int32_t length, discard;
    std::vector<uint32_t> totals;
    std::vector<int32_t> groups;
    const char* message;
  } cases[] = {
      {"a chain shorter than the report", 2550, 100, {}, {}, "_01.Ise holds 2500 records, fewer than the 2550"},
      {"restart totals shorter", 2000, 100, {2500, 1900}, {}, "_02.Ise holds 1900 records"},
      {"restart totals beyond the file", 2700, 100, {2700, 2700}, {}, "ends after"},
      {"discard beyond the length", 10, 11, {}, {}, "Cannot keep"},
      {"stock without a group", 100, 0, {}, {0, 2, 1}, "grouping level"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CompositionLoadRequest request;
    request.length = c.length;
    request.discard = c.discard;
    request.chainTotals = c.totals;
    request.groupOfStock = c.groups;
    request.groupCount = c.groups.empty() ? 0 : 2;
    CompositionSamples samples;
    samples.values.assign(5, 1);
    std::string error;
    EXPECT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 0);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_TRUE(samples.values.empty());
  }
}

TEST_F(CompositionLoad, MissingFileOffersAnotherOrGivesUp) {
  const std::string second = BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtComposition);
  const std::string moved = folder_.File("moved.Ise");
  ASSERT_EQ(std::rename(second.c_str(), moved.c_str()), 0);
  CompositionLoadRequest request;
  request.length = 2000;
  request.discard = 1000;
  std::vector<std::string> asked;
  request.chooseFile = [&](int chain, const std::string& failed) {
    asked.push_back(std::to_string(chain) + " " + failed);
    return asked.size() == 1 ? folder_.File("nowhere.Ise") : moved;
  };
  CompositionSamples samples;
  std::string error;
  ASSERT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 1) << error;
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], "1 " + second);
  EXPECT_EQ(samples.At(2, 1, 0), static_cast<uint32_t>(CompositionValue(1000, 2, 1, 3)));

  request.chooseFile = [](int, const std::string&) { return std::string(); };
  EXPECT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 0);
  EXPECT_EQ(error, "Cannot Open " + second + ": No such file or directory");

  request.chooseFile = nullptr;
  int polls = 0;
  request.aborted = [&] { return ++polls > 1; };
  ASSERT_EQ(std::rename(moved.c_str(), second.c_str()), 0);
  EXPECT_EQ(LoadCompositionSamples(run_, request, samples, log_.ui, error), 0);
  EXPECT_EQ(error, "Stopped");
}

}  // namespace
}  // namespace mixora
