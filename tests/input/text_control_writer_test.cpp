#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "control_test_files.h"
#include "input/control.h"
#include "input/control_keywords.h"
#include "input/control_summary.h"
#include "input/load_control.h"
#include "input/text_control_writer.h"

namespace mixora {
namespace {

using testing::ControlFixture;
using testing::ScratchFolder;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A small run definition as a SPAM conversion leaves it.
void FillSmallControl(Control& control) {
  InitControl(control);
  RunSettings& s = *control.settings;
  SetDefaultSettings(s);
  SetField(s.Title, "SPAM Conversion");
  SetField(s.BaselineFile, "/data/base.bse");
  SetField(s.MixtureFile, "/data/mix.mix");
  SetField(s.Species, "Chum");
  s.PrintMixture = 1;
  s.NumberOfStocks = 2;
  s.NumberOfChars = 1;
  s.Levels = 2;
  s.NumberOfChains = 4;
  s.NumberOfReps = 2000;
  s.Seed1 = 1357;
  s.Seed2 = -2468;
  s.StartStock[0] = 3;
  s.Quantile = 0.9;

  CharacterBlock& c = *control.characters;
  c.count = 2;
  c.excludedCount = 1;
  c.charId = {1, 12};
  c.alleleCount = {8, 110};
  c.isLocus = {1, 0};
  c.names = {"Oke1", "Sex"};
  c.flags = {0, kItemExcluded};

  StockBlock& st = *control.stocks;
  st.count = 2;
  st.levelCount = 2;
  st.stockId = {3, 1005};
  st.groupAt[0] = {1, 2};
  st.groupAt[1] = {1, 13};
  st.names = {"Chilko Lake", "Adams"};
  st.flags = {0, 0};

  GroupBlock& g = *control.groups;
  g.count = 2;
  g.excludedCount = 1;
  g.level = {0, 1};
  g.groupId = {1, 13};
  g.names = {"Fraser River", "Late"};
  g.flags = {0, kItemExcluded};
}

TEST(WriteTextControlFile, WritesTheExactLayout) {
  ScratchFolder scratch;
  Control control;
  FillSmallControl(control);
  std::string path = scratch.Path("out.tcf");
  ASSERT_EQ(WriteTextControlFile(path, control), 1);
  EXPECT_EQ(ReadBytes(path),
            "MIXORA\r\n\r\n"
            "Title = SPAM Conversion\r\n\r\n"
            "BaselineFile = /data/base.bse\r\n"
            "MixtureFile = /data/mix.mix\r\n"
            "OutputFolder = \r\n"
            "Species = Chum\r\n"
            "BaseDesc = \r\n"
            "PrintBaseline = F\r\n"
            "PrintMixture = T\r\n"
            "DropFish = F\r\n"
            "ChangeSeeds = F\r\n"
            "InformativePrior = F\r\n"
            "NumberOfStocks = 2\r\n"
            "NumberOfChars = 1\r\n"
            "Levels = 2\r\n"
            "NumberOfChains = 4\r\n"
            "NumberOfReps = 2000\r\n"
            "Seed1 = 1357\r\n"
            "Seed2 = -2468\r\n"
            "StartStock = 3\r\n"
            "RanGen = MT19937\r\n"
            "MaxMissingLoci = 999\r\n"
            "Timer = 1000\r\n"
            "SaveEvery = 100\r\n"
            "NumberToKeep = 1000\r\n"
            "ThinIse = 1\r\n"
            "ThinSta = 1\r\n"
            "Accuracy = 0.02\r\n"
            "Quantile = 0.90\r\n"
            "Probability = 0.95\r\n"
            "Percentile = 0.975\r\n"
            "\r\nChars =\r\n"
            "001 08 T Oke1\r\n"
            "! 012 110 F Sex\r\n"
            "\r\nStocks =\r\n"
            "003 01 01  Chilko_Lake\r\n"
            "1005 02 13  Adams\r\n"
            "\r\nGroups =\r\n"
            "  1   1  Fraser River\r\n"
            "!   2  13  Late\r\n");
}

TEST(WriteTextControlFile, FailsWhenTheFileCannotBeCreated) {
  ScratchFolder scratch;
  Control control;
  FillSmallControl(control);
  EXPECT_EQ(WriteTextControlFile(scratch.Path("no/such/folder/out.tcf"), control), 0);
  Control empty;
  EXPECT_EQ(WriteTextControlFile(scratch.Path("empty.tcf"), empty), 0);
}

// Loading a written file gives back the run definition it was written from.
TEST(WriteTextControlFile, ALoadedRunWrittenOutLoadsBackTheSame) {
  ScratchFolder scratch;
  Control first;
  first.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(ControlFixture("good.tcf"), first), 0u) << first.log.text;
  std::string copy = scratch.Path("copy.tcf");
  ASSERT_EQ(WriteTextControlFile(copy, first), 1);

  Control second;
  second.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(copy, second), 0u) << second.log.text;

  RunSettings a = *first.settings, b = *second.settings;
  std::memset(a.ControlFilePath, 0, sizeof a.ControlFilePath);
  std::memset(b.ControlFilePath, 0, sizeof b.ControlFilePath);
  EXPECT_EQ(FormatSettingsSummary(a), FormatSettingsSummary(b));
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(b.PriorWeightsGiven, 1);
  EXPECT_EQ(b.StartStock[1], 7);

  EXPECT_EQ(second.characters->names, first.characters->names);
  EXPECT_EQ(second.characters->flags, first.characters->flags);
  EXPECT_EQ(second.stocks->stockId, first.stocks->stockId);
  EXPECT_EQ(second.stocks->groupAt, first.stocks->groupAt);
  EXPECT_EQ(second.stocks->priorWeight, first.stocks->priorWeight);
  EXPECT_EQ(second.groups->names, first.groups->names);
  EXPECT_EQ(FormatBlocksSummary(second), FormatBlocksSummary(first));
}

}  // namespace
}  // namespace mixora
