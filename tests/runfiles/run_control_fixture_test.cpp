#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;

// The small fixture loaded through every load step and check, packed, and
// read back: what the files say is what the run sees.
TEST(RunControlFixture, LoadedFilesComeBackFromTheRunControlFile) {
  const std::string controlPath = std::string(MIXORA_TEST_DATA_DIR) + "/rcf/small.tcf";
  Control control;
  control.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(controlPath, control), 0u) << control.log.text;
  ASSERT_EQ(LoadBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(CheckBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(LoadMixture(control), 0u) << control.log.text;
  ASSERT_EQ(CheckMixture(control), 0u) << control.log.text;
  control.settings->FileKinds[0] = static_cast<uint8_t>(control.controlKind);
  control.settings->FileKinds[1] = static_cast<uint8_t>(control.baselineFormat);
  control.settings->FileKinds[2] = static_cast<uint8_t>(control.mixtureFormat);

  fs::path folder = testing_support::NewTempFolder("rcf_fixture");
  const std::string rcf = (folder / "small.rcf").string();
  std::vector<std::string> messages;
  Interaction ui;
  ui.message = [&messages](uint32_t, const std::string& text) {
    messages.push_back(text);
    return kIdOk;
  };
  ASSERT_EQ(GenerateRunControlFile(ui, control, rcf), 1);

  std::unique_ptr<RunRecord> all = ReadNewControl(rcf, ui);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->settings.FileKinds[1], kBaselineSpam);
  EXPECT_EQ(all->settings.FileKinds[2], kMixtureGenepop);
  EXPECT_EQ(all->charNames, (std::vector<std::string>{"LocA", "LocB"}));
  EXPECT_EQ(all->alleleCount, (std::vector<int32_t>{4, 3}));
  EXPECT_EQ(all->stockId, (std::vector<int32_t>{11, 12, 13}));
  EXPECT_EQ(all->stockNames, (std::vector<std::string>{"Upper", "Middle", "Lower"}));
  EXPECT_EQ(all->groupNames, (std::vector<std::string>{"North", "South"}));
  // Stock 12: "LocA 1 6 3 0" and "LocB 0 5 5" at stride 4.
  std::vector<int32_t> middle(all->counts.begin() + 8, all->counts.begin() + 16);
  EXPECT_EQ(middle, (std::vector<int32_t>{1, 6, 3, 0, 0, 5, 5, 0}));
  EXPECT_EQ(all->beta, (std::vector<double>{1.0 / 3, 1.0 / 3, 1.0 / 3}));
  EXPECT_EQ(all->mixtureTitle, "Small test mixtures");
  ASSERT_EQ(all->mixtureCount, 3);
  EXPECT_EQ(all->mixtures[1].firstIndividual, 2u);
  EXPECT_EQ(all->mixtures[2].firstIndividual, 5u);
  EXPECT_EQ(all->fishNames, (std::vector<std::string>{"a1", "a2", "b1", "b2", "b3", "c1"}));

  std::unique_ptr<RunRecord> second = ReadRunControl(ui, rcf, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->fishNames, (std::vector<std::string>{"b1", "b2", "b3"}));
  // b2 scored "0102 0000": LocB missing.
  EXPECT_EQ(second->genotypes, (std::vector<int32_t>{4, 4, 3, 3, 1, 2, 0, 0, 2, 2, 1, 2}));
  EXPECT_EQ(second->runTitle, "Small te_POP_02");
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(ReadRunControl(ui, rcf, 3));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Error reading pControl\r\n" + rcf + "\r\nmixture 4 asked for; the file holds 3");

  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace mixora
