// Damaged inputs of the two tools that write files for a run: the Genepop
// label conversion and the mixture simulation. Each run ends in success or a
// failure that says why; a success writes files that the load reads, and no
// run ever changes an input.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/baseline_reader.h"
#include "input/file_damage.h"
#include "input/mixture_reader.h"
#include "input/run_load_check.h"
#include "input/genepop_convert.h"
#include "tools/mixture_simulation.h"
#include "tools/simulation_control.h"

namespace mixora {
namespace {

using damage_testing::Damage;
using damage_testing::Damager;
using damage_testing::Example;
using damage_testing::HangGuard;
using damage_testing::Outcome;
using damage_testing::ReadBytes;
using damage_testing::RunFolder;
using damage_testing::RunLoad;
using damage_testing::TestData;
using damage_testing::WriteBytes;

struct ToolTally {
  int succeeded = 0;
  int failed = 0;
};

// What a failed tool run must leave in its log: a line that names the file
// and line of a damage that made it no text file.
void ExpectReasonGiven(const std::string& log, const std::string& path, const Damage& damage) {
  ASSERT_GT(log.size(), 20u) << log;
  // Every line the log names in the damaged file is one of its lines.
  const int lineCount = static_cast<int>(damage_testing::SplitKeepingEnds(damage.bytes).size());
  for (const std::string& mark : {path + ", line ", std::string("Fatal Error in Line ")}) {
    for (std::size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
      int named = std::atoi(log.c_str() + at + mark.size());
      ASSERT_TRUE(named >= 1 && named <= std::max(lineCount, 1))
          << "line " << named << " of " << lineCount << "\n" << log;
    }
  }
  if (damage.badLine > 0) {
    ASSERT_NE(log.find(path + ", line " + std::to_string(damage.badLine) + ":"), std::string::npos)
        << log;
  }
}

TEST(ToolRobustness, DamagedLabelFilesConvertToLoadableFilesOrFail) {
  HangGuard guard;
  Damager damager(7031);
  RunFolder folder("label_convert");
  folder.Put("base.gen", TestData("genepop/chum_label_baseline.gen"));
  folder.Put("mix.gen", TestData("genepop/chum_label_mixture.gen"));
  ToolTally tally;
  for (const std::string target : {"base.gen", "mix.gen"}) {
    for (int round = 0; round < 200; ++round) {
      folder.Reset();
      Damage damage = damager.Apply(folder.Original(target));
      WriteBytes(folder.Path(target), damage.bytes);
      const std::string what = target + ", round " + std::to_string(round) + ": " + damage.what;
      SCOPED_TRACE(what);
      LogBuffer log;
      guard.Arm(what, std::chrono::seconds(60));
      int status = ConvertGenepopLabel(folder.Path("base.gen"), folder.Path("mix.gen"),
                                       folder.Path("base.bse"), folder.Path("mix_out.gen"),
                                       folder.Path("run.tcf"), log);
      guard.Disarm();
      ASSERT_EQ(ReadBytes(folder.Path(target)), damage.bytes);
      if (status != kGenepopOk) {
        ++tally.failed;
        ExpectReasonGiven(log.text, folder.Path(target), damage);
        continue;
      }
      ++tally.succeeded;
      // What the conversion wrote reads back in the layouts it claims.
      LogBuffer readLog;
      BaselineData baseline;
      ASSERT_EQ(ReadSpamBaseline(folder.Path("base.bse"), baseline, readLog), 0u) << readLog.text;
      MixtureData mixture;
      ASSERT_EQ(ReadGenepopMixture(folder.Path("mix_out.gen"), mixture, readLog), 0u) << readLog.text;
      guard.Arm(what + " (load)", std::chrono::seconds(60));
      Outcome load = RunLoad(folder.Path("run.tcf"), folder.Path("run.rcf"));
      guard.Disarm();
      if (::testing::Test::HasFatalFailure()) return;
      // A converted run may still fail its checks (a fish without a single
      // allele the baseline knows), but never for want of a reason.
      if (!load.ready) {
        ASSERT_GT(load.log.size(), 20u) << load.failure;
      }
    }
  }
  EXPECT_GT(tally.succeeded, 50);
  EXPECT_GT(tally.failed, 100);
}

TEST(ToolRobustness, DamagedSimulationInputsSimulateLoadableRunsOrFail) {
  HangGuard guard;
  Damager damager(4242);
  RunFolder folder("simulate");
  // A smaller simulation than the example's keeps the loop quick.
  std::string mcf = Example("tavrin/tavrin_sim.mcf");
  mcf.replace(mcf.find("NumFish = 400"), 13, "NumFish = 40");
  mcf.replace(mcf.find("NumSamples = 2000"), 17, "NumSamples = 200");
  folder.Put("sim.mcf", mcf);
  folder.Put("tavrin_baseline.bse", Example("tavrin/tavrin_baseline.bse"));
  Interaction ui;
  ui.message = [](uint32_t, const std::string&) { return static_cast<int>(kIdYes); };
  ToolTally tally;
  for (const std::string target : {"sim.mcf", "tavrin_baseline.bse"}) {
    for (int round = 0; round < 150; ++round) {
      folder.Reset();
      Damage damage = damager.Apply(folder.Original(target));
      WriteBytes(folder.Path(target), damage.bytes);
      const std::string what = target + ", round " + std::to_string(round) + ": " + damage.what;
      SCOPED_TRACE(what);
      LogBuffer log;
      guard.Arm(what, std::chrono::seconds(60));
      int status = SimulateMixtures(folder.Path("sim.mcf"), ui, log);
      guard.Disarm();
      ASSERT_EQ(ReadBytes(folder.Path(target)), damage.bytes);
      if (status != 0) {
        ++tally.failed;
        ExpectReasonGiven(log.text, folder.Path(target), damage);
        continue;
      }
      ++tally.succeeded;
      std::unique_ptr<Simulation> sim = ReadSimulationControl(folder.Path("sim.mcf"), log);
      ASSERT_TRUE(sim);
      guard.Arm(what + " (load)", std::chrono::seconds(60));
      Outcome load = RunLoad(folder.Path("sim.tcf"), folder.Path("sim.rcf"));
      guard.Disarm();
      if (::testing::Test::HasFatalFailure()) return;
      if (!load.ready) {
        ASSERT_GT(load.log.size(), 20u) << load.failure;
        continue;
      }
    }
  }
  EXPECT_GT(tally.succeeded, 50);
  EXPECT_GT(tally.failed, 100);
}

}  // namespace
}  // namespace mixora
