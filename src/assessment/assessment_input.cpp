#include "assessment/assessment_input.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "assessment/simulated_assessment.h"
#include "core/c_locale.h"
#include "core/log_buffer.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "formats/genepop_standard_import.h"
#include "formats/genotype_table_import.h"
#include "input/baseline_reader.h"
#include "input/control_file_kind.h"
#include "input/genepop_label.h"
#include "input/load_control.h"

namespace mixora {

namespace {

bool LooksLikeTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string first;
  std::getline(in, first);
  std::transform(first.begin(), first.end(), first.begin(),
                 [](char c) { return AsciiLower(c); });
  return first.find("sample_type") != std::string::npos;
}

bool ReadLabelBaseline(const std::string& path, FishGenotypes& fish,
                       std::vector<int32_t>& stockNumbers, std::string& error) {
  GenepopSet set;
  LogBuffer log;
  if (ReadGenepopLabelBaseline(path, set, log) != 0) {
    error = path + ": " + (log.text.empty() ? std::string("cannot be read") : log.text);
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
    return false;
  }
  const std::size_t C = set.locusNames.size();
  fish.locusNames = set.locusNames;
  fish.alleleNames.assign(C, {});
  std::vector<std::vector<int32_t>> position(C, std::vector<int32_t>(kGenepopCodeLimit, 0));
  for (std::size_t c = 0; c < C; ++c)
    for (int code = 1; code < kGenepopCodeLimit; ++code)
      if (set.alleleTable[c * kGenepopCodeLimit + code] != 0) {
        fish.alleleNames[c].push_back(std::to_string(code));
        position[c][code] = static_cast<int32_t>(fish.alleleNames[c].size());
      }
  // Populations without individuals give no stock.
  std::vector<int32_t> stockOf(set.stockNames.size(), -1);
  for (std::size_t p = 0; p < set.stockNames.size(); ++p) {
    if (set.populationSize[p] == 0) continue;
    stockOf[p] = static_cast<int32_t>(fish.stockNames.size());
    fish.stockNames.push_back(set.stockNames[p]);
    stockNumbers.push_back(set.stockNumbers[p]);
  }
  for (int32_t f = 0; f < set.individualCount; ++f) {
    fish.fishNames.push_back("Fish " + std::to_string(f + 1));
    fish.fishStock.push_back(stockOf[set.individualPopulation[f]]);
    for (std::size_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j)
        fish.genotypes.push_back(position[c][set.codes[(f * C + c) * 2 + j]]);
  }
  return true;
}

// Keeps the fish of the control file's stocks, in the control file's stock
// order, with its groups.
bool ApplyControlStocks(const Control& control, const std::vector<int32_t>& numbers,
                        FishGenotypes& fish, std::vector<std::string>& notes, std::string& error) {
  const StockBlock& stocks = *control.stocks;
  const GroupBlock& groups = *control.groups;
  bool byNumber = !numbers.empty() && std::set<int32_t>(numbers.begin(), numbers.end()).size() ==
                                          numbers.size();
  std::vector<int32_t> fileStockOf(static_cast<std::size_t>(stocks.count), -1);
  for (int32_t s = 0; s < stocks.count; ++s) {
    int found = -1;
    if (byNumber) {
      for (std::size_t k = 0; k < numbers.size(); ++k)
        if (numbers[k] == stocks.stockId[s]) found = static_cast<int>(k);
    }
    if (found < 0) found = FindName(fish.stockNames, stocks.names[s]);
    if (found < 0) {
      error = "stock " + stocks.names[s] + " (ID " + std::to_string(stocks.stockId[s]) +
              ") of the control file has no fish in " + GetField(control.settings->BaselineFile);
      return false;
    }
    fileStockOf[s] = found;
  }
  std::vector<int32_t> newStock(fish.stockNames.size(), -1);
  for (int32_t s = 0; s < stocks.count; ++s) newStock[fileStockOf[s]] = s;
  FishGenotypes kept;
  kept.locusNames = fish.locusNames;
  kept.alleleNames = fish.alleleNames;
  kept.stockNames = stocks.names;
  const std::size_t C = fish.locusNames.size();
  int32_t dropped = 0;
  for (int32_t f = 0; f < fish.Fish(); ++f) {
    const int32_t s = newStock[fish.fishStock[f]];
    if (s < 0) {
      ++dropped;
      continue;
    }
    kept.fishNames.push_back(fish.fishNames[f]);
    kept.fishStock.push_back(s);
    for (std::size_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) kept.genotypes.push_back(fish.At(f, static_cast<int32_t>(c), j));
  }
  if (dropped > 0)
    notes.push_back("Info: " + std::to_string(dropped) +
                    " fish of stocks the control file does not list were left out");
  for (int32_t v = 0; v < stocks.levelCount; ++v) {
    std::vector<int32_t> ids;
    std::vector<std::string> names;
    for (int32_t g = 0; g < groups.count; ++g) {
      if (groups.level[g] != v) continue;
      ids.push_back(groups.groupId[g]);
      names.push_back(groups.names[g]);
    }
    std::vector<int32_t> stockGroup;
    for (int32_t s = 0; s < stocks.count; ++s) {
      const int32_t id = stocks.groupAt[v][s];
      auto at = std::find(ids.begin(), ids.end(), id);
      if (at == ids.end()) {
        ids.push_back(id);
        names.push_back("Group " + std::to_string(id));
        at = ids.end() - 1;
      }
      stockGroup.push_back(static_cast<int32_t>(at - ids.begin()));
    }
    kept.groupNames.push_back(names);
    kept.stockGroup.push_back(stockGroup);
  }
  fish = kept;
  return true;
}

bool ReadFishFile(const std::string& path, const std::string& popNames, FishGenotypes& fish,
                  std::vector<int32_t>& numbers, std::vector<std::string>& notes,
                  std::string& error) {
  if (!FileExists(path)) {
    error = "Cannot open " + path;
    return false;
  }
  if (LooksLikeTable(path)) {
    ImportedGenotypes data;
    if (!ImportGenotypeTables(path, "", data, error)) return false;
    notes = data.notes;
    fish = data.reference;
    return true;
  }
  switch (ClassifyBaselineFile(path)) {
    case kBaselineGenepopLabel:
      return ReadLabelBaseline(path, fish, numbers, error);
    case kBaselineGenepop: {
      ImportedGenotypes data;
      if (!ImportStandardGenepop(path, "", popNames, data, error)) return false;
      notes = data.notes;
      fish = data.reference;
      return true;
    }
    default:
      error = path +
              " holds the allele counts of stocks, not the genotypes of individual fish; the "
              "assessment needs the fish: give it the genotype table or Genepop file the "
              "baseline was made from";
      return false;
  }
}

}  // namespace

int ReadAssessmentInput(const std::string& path, const std::string& popNames,
                        AssessmentInput& input, std::string& error) {
  input = AssessmentInput{};
  input.settings = DefaultAssessmentSettings();
  std::vector<int32_t> numbers;
  std::string problem;
  const int32_t kind = FileExists(path) && !LooksLikeTable(path) ? ClassifyControlFile(path, &problem)
                                                                 : kControlUnknown;
  if (kind == kControlMixora) {
    Control control;
    control.controlKind = kind;
    if (LoadControlFile(path, control) != 0) {
      error = path + ": the control file does not load (run mixora check on it)";
      return 0;
    }
    input.settings = *control.settings;
    input.fromControl = true;
    input.baselinePath = ResolveBesideControlFile(path, GetField(control.settings->BaselineFile));
    if (!ReadFishFile(input.baselinePath, popNames, input.fish, numbers, input.notes, error))
      return 0;
    if (!ApplyControlStocks(control, numbers, input.fish, input.notes, error)) {
      error = path + ": " + error;
      return 0;
    }
  } else {
    input.baselinePath = path;
    if (!ReadFishFile(path, popNames, input.fish, numbers, input.notes, error)) return 0;
  }
  if (input.fish.Fish() == 0) {
    error = input.baselinePath + ": no baseline fish";
    return 0;
  }
  GiveEachStockItsGroup(input.fish);
  return 1;
}

}  // namespace mixora
