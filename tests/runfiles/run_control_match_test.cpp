#include "runfiles/run_control_match.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/tool_run_loading.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

std::string ControlData(const std::string& name) {
  return std::string(MIXORA_TEST_DATA_DIR) + "/control/" + name;
}

// The load steps as `mixora load` runs them, without writing anything.
void Prepare(const std::string& controlPath, Control& control) {
  InitControl(control);
  control.controlKind = ClassifyControlFile(controlPath);
  ASSERT_EQ(LoadControlFile(controlPath, control), 0u) << control.log.text;
  ASSERT_EQ(LoadBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(CheckBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(LoadMixture(control), 0u) << control.log.text;
  CheckMixture(control);
  FormatMixtureSummary(control);
  RunSettings& settings = *control.settings;
  settings.FileKinds[0] = static_cast<uint8_t>(control.controlKind);
  settings.FileKinds[1] = static_cast<uint8_t>(control.baselineFormat);
  settings.FileKinds[2] = static_cast<uint8_t>(control.mixtureFormat);
  settings.FileKinds[3] = 0;
}

// A resumed analysis may continue with the run control file only when the
// inputs are those it was written from.
TEST(RunControlMatch, SameInputsMatchAndEveryChangeIsNamed) {
  struct Case {
    const char* what;
    const char* file;  // the input changed, "" for none
    const char* from;
    const char* to;
    const char* why;  // part of the reason, "" when it matches
  } cases[] = {
      {"unchanged", "", "", "", ""},
      {"more iterations", "run.tcf", "NumberOfReps = 5000", "NumberOfReps = 6000", "other settings"},
      {"a baseline count", "good_baseline.bse", "Ots101 2 0 3", "Ots101 2 1 3", "another baseline or mixture"},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    WriteFile(dir / "run.tcf", ReadFile(ControlData("good.tcf")));
    WriteFile(dir / "good_baseline.bse", ReadFile(ControlData("good_baseline.bse")));
    WriteFile(dir / "good_mixture.mix", ReadFile(ControlData("good_mixture.mix")));
    ASSERT_NE(tools_testing::LoadAndPack(dir / "run.tcf", dir / "run.rcf"), nullptr) << c.what;
    if (*c.file != '\0') {
      std::string text = ReadFile(dir / c.file);
      const std::size_t at = text.find(c.from);
      ASSERT_NE(at, std::string::npos) << c.what;
      text.replace(at, std::string(c.from).size(), c.to);
      WriteFile(dir / c.file, text);
    }
    Control control;
    Prepare(dir / "run.tcf", control);
    std::string why;
    const bool same = RunControlMatchesInputs(control, dir / "run.rcf", why);
    EXPECT_EQ(same, *c.why == '\0') << c.what << ": " << why;
    if (*c.why != '\0') {
      EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
  }
}

// The control file named by another path to the same file still matches.
TEST(RunControlMatch, AnotherPathToTheSameControlFileMatches) {
  ScratchFolder dir;
  WriteFile(dir / "run.tcf", ReadFile(ControlData("good.tcf")));
  WriteFile(dir / "good_baseline.bse", ReadFile(ControlData("good_baseline.bse")));
  WriteFile(dir / "good_mixture.mix", ReadFile(ControlData("good_mixture.mix")));
  ASSERT_NE(tools_testing::LoadAndPack(dir / "run.tcf", dir / "run.rcf"), nullptr);
  std::filesystem::create_directory(dir / "sub");
  Control control;
  Prepare(dir / "sub/../run.tcf", control);
  std::string why;
  EXPECT_TRUE(RunControlMatchesInputs(control, dir / "run.rcf", why)) << why;
  EXPECT_FALSE(RunControlMatchesInputs(control, dir / "missing.rcf", why));
  EXPECT_NE(why.find("missing.rcf"), std::string::npos) << why;
}

}  // namespace
}  // namespace mixora
