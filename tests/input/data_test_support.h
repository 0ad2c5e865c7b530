#pragma once
// Shared by the baseline, mixture and check tests: fixture paths, a scratch
// folder per test, and a small run definition that matches the fixtures
// under tests/data/baseline and tests/data/mixture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/control.h"
#include "support/temp_folder.h"

namespace mixora::testing {

inline std::string DataFixture(const std::string& relative) {
  return std::string(MIXORA_TEST_DATA_DIR) + "/" + relative;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class DataScratch {
 public:
  DataScratch() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = testing_support::NewTempFolder(std::string("data_") + info->test_suite_name() + "_" +
                                             info->name());
  }
  ~DataScratch() { std::filesystem::remove_all(folder_); }
  DataScratch(const DataScratch&) = delete;
  DataScratch& operator=(const DataScratch&) = delete;

  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string Copy(const std::string& fixture, const std::string& name) const {
    std::string path = Path(name);
    std::filesystem::copy_file(DataFixture(fixture), path,
                               std::filesystem::copy_options::overwrite_existing);
    return path;
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

 private:
  std::filesystem::path folder_;
};

struct CharSpec {
  int32_t id;
  int32_t alleles;
  const char* name;
  bool excluded = false;
};
struct StockSpec {
  int32_t id;
  int32_t group;  // at level 1
  const char* name;
  bool excluded = false;
};
struct GroupSpec {
  int32_t level;  // from 1
  int32_t id;
  const char* name;
  bool excluded = false;
};

// Fills the control blocks as a text control file with one grouping level
// would, with NumberOfChars, NumberOfStocks and Levels agreeing with them.
inline void MakeControl(Control& control, const std::vector<CharSpec>& chars,
                        const std::vector<StockSpec>& stocks, const std::vector<GroupSpec>& groups) {
  InitControl(control);
  control.controlKind = kControlMixora;
  RunSettings& settings = *control.settings;
  for (int32_t& id : settings.StartStock) id = -1;
  settings.MaxMissingLoci = 999;
  settings.Levels = 1;

  CharacterBlock& c = *control.characters;
  for (const CharSpec& spec : chars) {
    c.charId.push_back(spec.id);
    c.alleleCount.push_back(spec.alleles);
    c.names.push_back(spec.name);
    c.isLocus.push_back(1);
    c.flags.push_back(spec.excluded ? kItemExcluded : 0);
    c.excludedCount += spec.excluded ? 1 : 0;
    c.maxAlleles = std::max(c.maxAlleles, spec.alleles);
    c.nameWidth = std::max<int32_t>(c.nameWidth, static_cast<int32_t>(std::string(spec.name).size()) + 1);
  }
  c.count = static_cast<int32_t>(chars.size());
  settings.NumberOfChars = c.count - c.excludedCount;

  StockBlock& s = *control.stocks;
  s.levelCount = 1;
  for (const StockSpec& spec : stocks) {
    s.stockId.push_back(spec.id);
    s.groupAt[0].push_back(spec.group);
    s.names.push_back(spec.name);
    s.flags.push_back(spec.excluded ? kItemExcluded : 0);
    s.excludedCount += spec.excluded ? 1 : 0;
  }
  s.count = static_cast<int32_t>(stocks.size());
  settings.NumberOfStocks = s.count - s.excludedCount;

  GroupBlock& g = *control.groups;
  for (const GroupSpec& spec : groups) {
    g.level.push_back(spec.level - 1);
    g.groupId.push_back(spec.id);
    g.names.push_back(spec.name);
    g.flags.push_back(spec.excluded ? kItemExcluded : 0);
    g.excludedCount += spec.excluded ? 1 : 0;
    g.maxLevel = std::max(g.maxLevel, spec.level);
  }
  g.count = static_cast<int32_t>(groups.size());
}

// The run the fixtures were written for: loci LocA (6 alleles), LocB (6) and
// LocC (8); stocks 10 "North Fork", 20 "Middle", 30 "South".
inline void MakeFixtureControl(Control& control) {
  MakeControl(control, {{1, 6, "LocA"}, {2, 6, "LocB"}, {3, 8, "LocC"}},
              {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}},
              {{1, 1, "Upper"}, {1, 2, "Lower"}});
}

}  // namespace mixora::testing
