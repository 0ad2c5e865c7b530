// The engine reads and writes the same text under any user locale: a
// German one (decimal comma, "Dez") and a Turkish one (tolower('I') is not
// 'i') are switched on here, as the desktop's QApplication switches them on.
#include "core/c_locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "core/log_buffer.h"
#include "core/lookups.h"
#include "input/control.h"
#include "input/control_file_kind.h"
#include "input/control_keywords.h"
#include "support/temp_folder.h"
#include "support/test_locales.h"

namespace mixora {
namespace {

class UserLocale : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string folder = testing_support::TestLocaleFolder();
    if (folder.empty()) GTEST_SKIP() << "localedef could not make the test locales";
    ::setenv("LOCPATH", folder.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr) << GetParam();
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(UserLocale, NamesNumbersAndDatesReadAndWriteAsInTheCLocale) {
  EXPECT_TRUE(NamesEqual("MAXMISSINGLOCI", "maxmissingloci"));
  EXPECT_TRUE(NamesEqual("Kesh_CREEK", "kesh_creek"));
  EXPECT_EQ(StrtodC("0.975 rest", nullptr), 0.975);
  char* end = nullptr;
  const char* text = "1.5,2";
  EXPECT_EQ(StrtodC(text, &end), 1.5);
  EXPECT_EQ(end, text + 3);
  std::tm december{};
  december.tm_year = 126;
  december.tm_mon = 11;
  december.tm_mday = 11;
  december.tm_hour = 9;
  december.tm_min = 5;
  december.tm_sec = 7;
  EXPECT_EQ(FormatDateTimeC(december), "Dec 11, 2026 09:05:07");
}

TEST_P(UserLocale, ControlFileKeywordsAndRealValuesAreReadAsInTheCLocale) {
  testing_support::ScopedTempFolder folder("user_locale");
  const std::string path = (folder.path() / "run.tcf").string();
  std::ofstream(path, std::ios::binary)
      << "MIXORA\r\nTITLE = T\r\nBASELINEFILE = b\r\nMIXTUREFILE = m\r\nSPECIES = S\r\n"
         "NUMBEROFSTOCKS = 3\r\nNUMBEROFCHARS = 4\r\nLEVELS = 1\r\nNUMBEROFCHAINS = 2\r\n"
         "NUMBEROFREPS = 100\r\nSEED1 = 1\r\nSEED2 = 5\r\nSTARTSTOCK = 4\r\n"
         "MAXMISSINGLOCI = 1\r\nINFORMATIVEPRIOR = T\r\nACCURACY = 0.001\r\nQUANTILE = 0.975\r\n";
  RunSettings settings;
  std::memset(&settings, 0, sizeof settings);
  SetDefaultSettings(settings);
  LogBuffer log;
  EXPECT_EQ(ParseKeywords(path, kControlMixora, settings, log), 0u) << log.text;
  EXPECT_EQ(settings.MaxMissingLoci, 1);
  EXPECT_EQ(settings.InformativePrior, 1);
  EXPECT_EQ(settings.Accuracy, 0.001);
  EXPECT_EQ(settings.Quantile, 0.975);
}

INSTANTIATE_TEST_SUITE_P(Locales, UserLocale, ::testing::Values("de_DE.UTF-8", "tr_TR.UTF-8"),
                         [](const auto& info) { return std::string(info.param).substr(0, 5); });

}  // namespace
}  // namespace mixora
