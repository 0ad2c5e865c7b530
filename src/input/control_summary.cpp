#include "input/control_summary.h"

#include <algorithm>
#include <set>

#include "input/control_keywords.h"

namespace mixora {

std::vector<std::string> FormatSettingsSummary(const RunSettings& settings) {
  std::vector<std::string> lines;
  const KeywordSpec* rows = TextKeywordTable();
  for (std::size_t r = 0; r < TextKeywordCount(); ++r) {
    lines.push_back(std::string(rows[r].name) + " = " + FormatKeyword(rows[r], &settings));
  }
  return lines;
}

std::vector<std::string> FormatFileKindsSummary(const Control& control) {
  return {
      std::string("Control file: ") + ControlKindName(control.controlKind),
      std::string("Baseline format: ") + BaselineFormatName(control.baselineFormat),
      std::string("Mixture format: ") + MixtureFormatName(control.mixtureFormat),
  };
}

std::vector<std::string> FormatBlocksSummary(const Control& control) {
  std::vector<std::string> lines;
  CharacterBlock noCharacters;
  StockBlock noStocks;
  GroupBlock noGroups;
  const CharacterBlock& chars = control.characters ? *control.characters : noCharacters;
  const StockBlock& stocks = control.stocks ? *control.stocks : noStocks;
  const GroupBlock& groups = control.groups ? *control.groups : noGroups;

  lines.push_back("Characters: " + std::to_string(chars.count - chars.excludedCount) +
                  ", max alleles " + std::to_string(chars.maxAlleles) + ", excluded " +
                  std::to_string(chars.excludedCount));

  std::string stockLine = "Stocks: " + std::to_string(stocks.count) + ", levels " +
                          std::to_string(stocks.levelCount) + ", excluded " +
                          std::to_string(stocks.excludedCount);
  for (int k = 0; k < std::min(stocks.levelCount, 5); ++k) {
    std::set<int32_t> distinct(stocks.groupAt[k].begin(), stocks.groupAt[k].end());
    stockLine += ", level " + std::to_string(k + 1) + " groups " + std::to_string(distinct.size());
  }
  lines.push_back(stockLine);

  std::string groupLine = "Groups: levels " + std::to_string(groups.maxLevel) + ", excluded " +
                          std::to_string(groups.excludedCount);
  for (int level = 0; level < std::min(groups.maxLevel, 5); ++level) {
    int inUse = 0;
    for (int g = 0; g < groups.count; ++g) {
      if (groups.level[g] == level && !(groups.flags[g] & kItemExcluded)) ++inUse;
    }
    groupLine += ", level " + std::to_string(level + 1) + " " + std::to_string(inUse);
  }
  lines.push_back(groupLine);
  return lines;
}

std::string ChainSeedsInfo(const Control& control) {
  if (!control.settings) return "";
  const RunSettings& settings = *control.settings;
  if (settings.NumberOfChains < 2 || settings.ChangeSeeds) return "";
  // A SPAM control file has no keyword for it, so the way out differs.
  const char* remedy = control.controlKind == kControlMixora
                           ? "set ChangeSeeds = T in the control file"
                           : "convert the SPAM control file to a text control file and set "
                             "ChangeSeeds = T there";
  return "Info: the " + std::to_string(settings.NumberOfChains) +
         " chains share their seeds (ChangeSeeds = F), so they will run identically and the "
         "Gelman-Rubin diagnostic cannot judge them; for independent chains, " + remedy;
}

}  // namespace mixora
