// The command line under a German or Turkish user locale writes what it
// writes under the C locale, byte for byte: sample files, reports, tables,
// the run summary's numbers and dates, and the pictures of `plot` (which
// starts Qt, and Qt switches the process to the user's locale).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_folder.h"
#include "support/test_locales.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::ShellQuote;

// The example analysed and drawn in `folder` under LC_ALL=locale.
int AnalyzeAndPlot(const fs::path& folder, const std::string& locale, const std::string& locpath) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  const std::string mixora = ShellQuote(MIXORA_CLI_PATH);
  const std::string command = "cd " + ShellQuote(folder.string()) + " && export LOCPATH=" +
                              ShellQuote(locpath) + " LC_ALL=" + locale + " && " + mixora +
                              " analyze tavrin.tcf --quiet >/dev/null 2>&1 && " + mixora +
                              " plot output/tavrin.rcf --all --format svg --quiet >/dev/null 2>&1";
  return std::system(command.c_str());
}

// Every output file, with what depends on the clock masked: times of day
// and durations (dates stay, month names included).
std::map<std::string, std::string> Outputs(const fs::path& folder) {
  static const std::regex clock("[0-9]{2}:[0-9]{2}:[0-9]{2}|CPU: [0-9:]+|[0-9.]+ secs");
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder / "output")) {
    std::string bytes = ReadFileBytes(entry.path());
    const std::string extension = entry.path().extension().string();
    if (extension == ".Sum" || extension == ".log") bytes = std::regex_replace(bytes, clock, "<t>");
    files[entry.path().filename().string()] = bytes;
  }
  return files;
}

TEST(UserLocales, CommandLineOutputsAreTheOnesOfTheCLocale) {
  const std::string locpath = testing_support::TestLocaleFolder();
  if (locpath.empty()) GTEST_SKIP() << "localedef could not make the test locales";
  testing_support::ScopedTempFolder c("locale_c");
  ASSERT_EQ(AnalyzeAndPlot(c.path(), "C", locpath), 0);
  const auto expected = Outputs(c.path());
  ASSERT_GT(expected.size(), 40u);
  EXPECT_NE(expected.at("Tavrin25_POP_01.Sum").find("Mixora"), std::string::npos);
  for (const char* locale : {"de_DE.UTF-8", "tr_TR.UTF-8"}) {
    testing_support::ScopedTempFolder user(std::string("locale_") + locale);
    ASSERT_EQ(AnalyzeAndPlot(user.path(), locale, locpath), 0) << locale;
    const auto got = Outputs(user.path());
    EXPECT_EQ(got.size(), expected.size()) << locale;
    for (const auto& [name, bytes] : expected) {
      ASSERT_TRUE(got.count(name)) << locale << " " << name;
      EXPECT_TRUE(got.at(name) == bytes) << locale << ": " << name << " differs";
    }
  }
}

}  // namespace
}  // namespace mixora
