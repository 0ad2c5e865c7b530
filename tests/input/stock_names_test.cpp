#include "input/stock_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mixora {
namespace {

TEST(StockNames, OneNameWrittenTwoWaysIsToldFromNamesMeantToDiffer) {
  struct Case {
    const char *a, *b;
    bool caseOnly, oneCharacter;
  } cases[] = {
      {"Butte_Cr_fa", "Butte_Cr_Fa", true, false},
      {"Butte_Cr_fa", "Butte_Cr_fb", false, true},     // one replaced
      {"Butte_Cr_fa", "Butte_Cr_fall", false, false},  // two added
      {"Feather_H", "Feather_HX", false, true},        // one added at the end
      {"Feather_H", "eather_H", false, true},          // one dropped at the start
      {"Deer_Cr", "DEER_CR_", false, true},            // case aside, one added
      {"Stock_1", "Stock_2", false, false},            // numbered, not misspelt
      {"Stock_1", "Stock_10", false, false},
      {"Stock_1", "Stock_I", false, true},             // a digit for a letter
      {"Abcd", "Abce", false, false},                  // too short to judge
      {"Same_name", "Same_name", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NamesDifferOnlyInCase(c.a, c.b), c.caseOnly) << c.a << " " << c.b;
    EXPECT_EQ(NamesOneCharacterApart(c.a, c.b), c.oneCharacter) << c.a << " " << c.b;
    EXPECT_EQ(NamesOneCharacterApart(c.b, c.a), c.oneCharacter) << c.b << " " << c.a;
  }
}

TEST(StockNames, NotesNameEveryPairAndEveryStockOfFewFish) {
  const std::vector<std::string> names = {"Butte_Cr_fa", "Mill_Cr", "Butte_Cr_Fa", "Butte_Cr_f"};
  const std::vector<std::string> similar = SimilarNameNotes(names, "collection");
  ASSERT_EQ(similar.size(), 3u);
  EXPECT_EQ(similar[0],
            "Info: collection names Butte_Cr_fa and Butte_Cr_Fa differ only in case; if they are one collection, "
            "write its name the same way everywhere");
  EXPECT_EQ(similar[1],
            "Info: collection names Butte_Cr_fa and Butte_Cr_f differ in one character; if they are one collection, "
            "write its name the same way everywhere");
  EXPECT_NE(similar[2].find("Butte_Cr_Fa and Butte_Cr_f differ in one character"), std::string::npos);

  const std::vector<std::string> few = FewFishNotes(names, {10, 9, 0, 40}, "collection", "reference fish");
  ASSERT_EQ(few.size(), 2u);
  EXPECT_EQ(few[0], "Info: collection Mill_Cr has 9 reference fish, fewer than 10; its allele frequencies rest on "
                    "few fish");
  EXPECT_NE(few[1].find("collection Butte_Cr_Fa has 0 reference fish"), std::string::npos);
}

}  // namespace
}  // namespace mixora
