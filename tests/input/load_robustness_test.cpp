// Damaged control, baseline and mixture files run through the whole load:
// every run must end in success or in a failure that says why, never in a
// crash, a hang, a read out of bounds or a changed input file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "input/file_damage.h"
#include "input/run_load_check.h"
#include "input/genepop_convert.h"

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

struct RunSet {
  const char* name;
  std::string control;                   // file name of the control file
  std::vector<std::string> damaged;      // the files the loop damages
  std::map<std::string, std::string> files;
};

// The label baseline and mixture with a text control file that names them:
// the load converts them beside themselves before reading.
RunSet LabelRunSet() {
  RunSet set{"label", "chum.tcf", {"chum.tcf", "chum_base.gen", "chum_mix.gen"}, {}};
  set.files["chum_base.gen"] = TestData("genepop/chum_label_baseline.gen");
  set.files["chum_mix.gen"] = TestData("genepop/chum_label_mixture.gen");
  RunFolder scratch("label_setup");
  for (const auto& [name, bytes] : set.files) scratch.Put(name, bytes);
  LogBuffer log;
  EXPECT_EQ(ConvertGenepopLabel(scratch.Path("chum_base.gen"), scratch.Path("chum_mix.gen"),
                                scratch.Path("b.bse"), scratch.Path("m.gen"),
                                scratch.Path("chum.tcf"), log),
            kGenepopOk)
      << log.text;
  std::string tcf = ReadBytes(scratch.Path("chum.tcf"));
  tcf.replace(tcf.find("b.bse"), 5, "chum_base.gen");
  tcf.replace(tcf.find("m.gen"), 5, "chum_mix.gen");
  set.files["chum.tcf"] = tcf;
  return set;
}

std::vector<RunSet> AllRunSets() {
  std::vector<RunSet> sets;
  RunSet text{"text", "tavrin.tcf", {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen"}, {}};
  for (const std::string& name : text.damaged) text.files[name] = Example("tavrin/" + name);
  sets.push_back(text);
  RunSet spam{"spam", "tavrin_spam.ctl",
              {"tavrin_spam.ctl", "tavrin_baseline.tal", "tavrin_mixture.mix"}, {}};
  for (const std::string& name : spam.damaged) spam.files[name] = Example("tavrin_spam/" + name);
  sets.push_back(spam);
  sets.push_back(LabelRunSet());
  return sets;
}

std::string Shorten(const std::string& text) {
  return text.size() <= 6000 ? text : text.substr(0, 3000) + "\n...\n" + text.substr(text.size() - 3000);
}

TEST(LoadRobustness, UndamagedExamplesLoad) {
  for (const RunSet& set : AllRunSets()) {
    RunFolder folder(std::string("undamaged_") + set.name);
    for (const auto& [name, bytes] : set.files) folder.Put(name, bytes);
    Outcome outcome = RunLoad(folder.Path(set.control), folder.Path("run.rcf"));
    EXPECT_TRUE(outcome.ready) << set.name << ": " << outcome.failure << "\n" << outcome.log;
  }
}

// Line ends of any kind, and a last line without one, load the same run.
TEST(LoadRobustness, LineEndsDoNotChangeTheRun) {
  auto lfOnly = [](const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    return out;
  };
  auto crOnly = [&](const std::string& text) {
    std::string out = lfOnly(text);
    for (char& c : out)
      if (c == '\n') c = '\r';
    return out;
  };
  auto noLastEnd = [](const std::string& text) {
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  };
  struct Variant {
    const char* name;
    std::function<std::string(const std::string&)> change;
  };
  const Variant variants[] = {{"LF", lfOnly}, {"CR", crOnly}, {"no last line end", noLastEnd}};
  for (const RunSet& set : AllRunSets()) {
    RunFolder folder(std::string("line_ends_") + set.name);
    for (const auto& [name, bytes] : set.files) folder.Put(name, bytes);
    Outcome original = RunLoad(folder.Path(set.control), folder.Path("run.rcf"));
    ASSERT_TRUE(original.ready) << original.log;
    for (const Variant& variant : variants) {
      folder.Reset();
      for (const auto& [name, bytes] : set.files) WriteBytes(folder.Path(name), variant.change(bytes));
      Outcome changed = RunLoad(folder.Path(set.control), folder.Path("run.rcf"));
      ASSERT_TRUE(changed.ready) << set.name << ", " << variant.name << ": " << changed.failure << "\n"
                                 << changed.log;
      EXPECT_EQ(changed.rcf, original.rcf) << set.name << ", " << variant.name;
    }
  }
}

TEST(LoadRobustness, DamagedFilesLoadOrFailWithAReason) {
  HangGuard guard;
  Damager damager(20260611);
  constexpr int kRoundsPerFile = 120;
  int succeeded = 0, failed = 0;
  for (const RunSet& set : AllRunSets()) {
    RunFolder folder(std::string("damage_") + set.name);
    for (const auto& [name, bytes] : set.files) folder.Put(name, bytes);
    for (const std::string& target : set.damaged) {
      for (int round = 0; round < kRoundsPerFile; ++round) {
        folder.Reset();
        Damage damage = damager.Apply(folder.Original(target));
        const std::string path = folder.Path(target);
        WriteBytes(path, damage.bytes);
        const std::string what = std::string(set.name) + ", " + target + ", round " +
                                 std::to_string(round) + ": " + damage.what;
        SCOPED_TRACE(what);
        guard.Arm(what, std::chrono::seconds(60));
        Outcome outcome = RunLoad(folder.Path(set.control), folder.Path("run.rcf"));
        guard.Disarm();
        if (::testing::Test::HasFatalFailure()) return;

        // Reading never changes an input, whatever it holds.
        for (const auto& [name, bytes] : set.files)
          ASSERT_EQ(ReadBytes(folder.Path(name)), name == target ? damage.bytes : bytes) << name;
        if (outcome.ready) {
          ++succeeded;
          continue;
        }
        ++failed;
        ASSERT_FALSE(outcome.failure.empty());
        const std::string said = outcome.failure + "\n" + outcome.log + outcome.messages;
        // A refusal of the whole file says so, rather than only "FAIL".
        ASSERT_GT(outcome.log.size() + outcome.failure.size(), 20u) << said;
        // Every line the log names in the damaged file is one of its lines.
        const int lineCount = static_cast<int>(damage_testing::SplitKeepingEnds(damage.bytes).size());
        const std::string mark = path + ", line ";
        for (std::size_t at = said.find(mark); at != std::string::npos; at = said.find(mark, at + 1)) {
          int named = std::atoi(said.c_str() + at + mark.size());
          ASSERT_TRUE(named >= 1 && named <= std::max(lineCount, 1))
              << "line " << named << " of " << lineCount << "\n" << Shorten(said);
        }
        if (damage.badLine > 0) {
          ASSERT_NE(said.find(path + ", line " + std::to_string(damage.badLine) + ":"), std::string::npos)
              << Shorten(said);
        }
      }
    }
  }
  // The damage must reach both ends, or the loop proves little.
  EXPECT_GT(succeeded, 50);
  EXPECT_GT(failed, 300);
}

}  // namespace
}  // namespace mixora
