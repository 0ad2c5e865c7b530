#pragma once
// Preparing a run as the load workflow does, for the tool tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "input/control.h"
#include "input/control_file_kind.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"

namespace mixora::tools_testing {

// The load workflow: control file, baseline, mixture with their checks, then
// the run control file, read back whole. A mixture layout may be imposed for
// files whose first line the layout detection cannot tell.
inline std::unique_ptr<RunRecord> LoadAndPack(const std::string& controlPath,
                                              const std::string& rcfPath,
                                              int32_t mixtureFormat = 0) {
  Interaction ui;
  Control control;
  InitControl(control);
  control.controlKind = ClassifyControlFile(controlPath);
  ErrorFlags flags = LoadControlFile(controlPath, control);
  EXPECT_EQ(flags, 0u) << control.log.text;
  if (flags != 0) return nullptr;
  if (mixtureFormat != 0) control.mixtureFormat = mixtureFormat;
  flags = LoadBaseline(control);
  if (flags == 0) flags = CheckBaseline(control);
  EXPECT_EQ(flags, 0u) << control.log.text;
  if (flags != 0) return nullptr;
  flags = LoadMixture(control);
  EXPECT_EQ(flags, 0u) << control.log.text;
  if (flags != 0) return nullptr;
  EXPECT_EQ(CheckMixture(control) & (kErrAlleleNotSeen | kErrNoAlleles), 0u) << control.log.text;
  FormatMixtureSummary(control);
  RunSettings& settings = *control.settings;
  settings.FileKinds[0] = static_cast<uint8_t>(control.controlKind);
  settings.FileKinds[1] = static_cast<uint8_t>(control.baselineFormat);
  settings.FileKinds[2] = static_cast<uint8_t>(control.mixtureFormat);
  settings.FileKinds[3] = 0;
  EXPECT_EQ(GenerateRunControlFile(ui, control, rcfPath), 1) << control.log.text;
  return ReadNewControl(rcfPath, ui);
}

}  // namespace mixora::tools_testing
