#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_folder.h"
#include "tools/synthetic_files.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;

// A panel of 1000 loci, far beyond the old limits of 99 characters per run,
// 200 per character block and 2047 characters per line (its Genepop lines
// are about 5,000), goes from loading through short chains to every report.
TEST(WidePanel, ThousandLociRunFromLoadToReports) {
  const fs::path folder = testing_support::NewTempFolder("wide_panel");
  SyntheticRunShape shape = WidePanelShape();
  shape.fish = 30;
  shape.stocks = 5;
  shape.baselineFishPerStock = 10;
  SyntheticFileSettings settings;
  settings.chains = 2;
  settings.reps = 40;
  settings.saveEvery = 100;
  settings.numberToKeep = 20;
  ASSERT_EQ(WriteSyntheticRunFiles(shape, settings, (folder / "Wide.tcf").string()), 1);
  const std::string mixture = ReadFileBytes(folder / "Wide.mix");
  const std::size_t firstFish = mixture.find("Fish00001");
  ASSERT_NE(firstFish, std::string::npos);
  EXPECT_GT(mixture.find("\r\n", firstFish) - firstFish, 5000u);

  CliResult result = RunCli(folder, {"analyze", "Wide.tcf", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const fs::path out = folder / "output";
  int reports = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    const std::string name = entry.path().filename().string();
    if (name.find("_SCs.Txt") != std::string::npos || name.find("_IDs.Txt") != std::string::npos ||
        name.find("_GR.Txt") != std::string::npos || name.find("_RL.Txt") != std::string::npos) {
      EXPECT_GT(fs::file_size(entry.path()), 0u) << name;
      ++reports;
    }
  }
  EXPECT_EQ(reports, 4) << result.out;
  // The run's summary names all 1000 characters.
  EXPECT_NE(ReadFileBytes(out / "Syntheti_POP_01.Sum").find("# of characters in analysis:       1000"),
            std::string::npos);
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace mixora
