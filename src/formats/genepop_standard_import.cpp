#include "formats/genepop_standard_import.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/lookups.h"
#include "core/text_file.h"
#include "input/genepop_label.h"

namespace mixora {

namespace {

std::string At(const std::string& path, int line, const std::string& problem) {
  return path + ", line " + std::to_string(line) + ": " + problem;
}

// One block of individuals.
struct GenepopBlock {
  std::vector<std::string> names;
  std::vector<int32_t> codes;  // [(i * loci + l) * 2 + j]
  int line = 0;                // of its "POP" line
};

struct StandardGenepop {
  std::string title;
  std::vector<std::string> loci;
  std::vector<GenepopBlock> blocks;
};

bool ReadStandardGenepop(const std::string& path, StandardGenepop& out, std::string& error) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (status == TextFileStatus::kCannotOpen) {
    error = "Cannot open " + path;
    return false;
  }
  if (status != TextFileStatus::kOk) {
    error = message;
    return false;
  }
  std::vector<std::string>& lines = file.lines;
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
  std::size_t i = 0;
  while (i < lines.size() && TrimLine(lines[i]).empty()) ++i;
  if (i == lines.size()) {
    error = path + ": the file is empty";
    return false;
  }
  out.title = TrimLine(lines[i]);
  if (out.title.size() >= 5 && NamesEqual(out.title.substr(0, 5), "Label")) {
    error = At(path, static_cast<int>(i) + 1,
               "this Genepop file carries stock labels (\"Label\" line); convert it with "
               "mixora genepop-convert");
    return false;
  }
  ++i;
  for (; i < lines.size(); ++i) {
    std::string line = TrimLine(lines[i]);
    if (line.empty()) continue;
    if (IsGenepopPopLine(line)) break;
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t comma = line.find(',', start);
      if (comma == std::string::npos) comma = line.size();
      std::string name = TrimLine(line.substr(start, comma - start));
      if (!name.empty()) {
        std::string safe;
        for (char c : name) safe += (c == ' ' || c == '\t') ? '_' : c;
        out.loci.push_back(safe);
      }
      start = comma + 1;
    }
  }
  if (out.loci.empty()) {
    error = path + ": no loci between the title line and the first POP line";
    return false;
  }
  if (i == lines.size()) {
    error = path + ": no POP line";
    return false;
  }
  const int loci = static_cast<int>(out.loci.size());
  std::vector<int32_t> codes(static_cast<std::size_t>(2 * loci));
  std::string name, problem;
  for (; i < lines.size(); ++i) {
    std::string line = TrimLine(lines[i]);
    if (IsGenepopSkippedLine(line)) continue;
    if (IsGenepopPopLine(line)) {
      out.blocks.push_back(GenepopBlock{});
      out.blocks.back().line = static_cast<int>(i) + 1;
      continue;
    }
    if (ParseGenepopIndividual(line, loci, name, codes.data(), problem) != 0) {
      error = At(path, static_cast<int>(i) + 1, problem);
      return false;
    }
    out.blocks.back().names.push_back(name);
    out.blocks.back().codes.insert(out.blocks.back().codes.end(), codes.begin(), codes.end());
  }
  return true;
}

// Names (and groups) of the reference's blocks from a names file.
bool ReadPopNames(const std::string& path, std::size_t blocks, std::vector<std::string>& names,
                  std::vector<std::string>& groups, std::string& error) {
  TextFile file;
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file, badLine, message);
  if (status != TextFileStatus::kOk) {
    error = status == TextFileStatus::kCannotOpen ? "Cannot open " + path : message;
    return false;
  }
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    std::string line = TrimLine(file.lines[i]);
    if (IsSkippedLine(line)) continue;
    std::size_t cut = line.find_first_of(",\t");
    if (cut == std::string::npos) cut = line.find(' ');
    std::string name = TrimLine(line.substr(0, cut));
    std::string group = cut == std::string::npos ? "" : TrimLine(line.substr(cut + 1));
    if (name.empty()) {
      error = At(path, static_cast<int>(i) + 1, "no stock name");
      return false;
    }
    names.push_back(name);
    groups.push_back(group);
  }
  if (names.size() != blocks) {
    error = path + ": " + std::to_string(names.size()) + " names for " + std::to_string(blocks) +
            " POP blocks of the reference";
    return false;
  }
  bool anyGroup = false, allGroups = true;
  for (const std::string& g : groups) {
    anyGroup = anyGroup || !g.empty();
    allGroups = allGroups && !g.empty();
  }
  if (anyGroup && !allGroups) {
    error = path + ": some stocks have a group in the second column and others do not";
    return false;
  }
  if (!anyGroup) groups.clear();
  return true;
}

}  // namespace

int ImportStandardGenepop(const std::string& referencePath, const std::string& mixturePath,
                          const std::string& popNamesPath, ImportedGenotypes& data,
                          std::string& error) {
  data = ImportedGenotypes{};
  StandardGenepop reference;
  if (!ReadStandardGenepop(referencePath, reference, error)) return 0;
  const std::size_t C = reference.loci.size();
  std::vector<std::string> names, groups;
  if (!popNamesPath.empty() &&
      !ReadPopNames(popNamesPath, reference.blocks.size(), names, groups, error))
    return 0;

  FishGenotypes& ref = data.reference;
  ref.locusNames = reference.loci;
  std::vector<std::set<int32_t>> seen(C);
  for (const GenepopBlock& block : reference.blocks)
    for (std::size_t i = 0; i < block.names.size(); ++i)
      for (std::size_t c = 0; c < C; ++c)
        for (int j = 0; j < 2; ++j)
          if (int32_t code = block.codes[(i * C + c) * 2 + j]; code > 0) seen[c].insert(code);
  ref.alleleNames.resize(C);
  for (std::size_t c = 0; c < C; ++c)
    for (int32_t code : seen[c]) ref.alleleNames[c].push_back(std::to_string(code));
  if (!groups.empty()) {
    ref.groupNames.assign(1, {});
    ref.stockGroup.assign(1, {});
  }
  auto positionOf = [](const std::vector<std::string>& list, int32_t code) -> int32_t {
    if (code <= 0) return 0;
    const std::string label = std::to_string(code);
    for (std::size_t k = 0; k < list.size(); ++k)
      if (list[k] == label) return static_cast<int32_t>(k) + 1;
    return 0;
  };
  for (std::size_t b = 0; b < reference.blocks.size(); ++b) {
    const GenepopBlock& block = reference.blocks[b];
    if (block.names.empty()) {
      data.notes.push_back("Info: the POP block on line " + std::to_string(block.line) + " of " +
                           referencePath + " has no individuals and gives no stock");
      continue;
    }
    std::string stockName = names.empty() ? GenepopLabelOf(block.names.back()) : names[b];
    const int32_t stock = static_cast<int32_t>(ref.stockNames.size());
    ref.stockNames.push_back(SafeName(stockName, false));
    if (!groups.empty()) {
      const std::string& group = groups[b];
      int g = -1;
      for (std::size_t k = 0; k < ref.groupNames[0].size(); ++k)
        if (ref.groupNames[0][k] == group) g = static_cast<int>(k);
      if (g < 0) {
        ref.groupNames[0].push_back(group);
        g = static_cast<int>(ref.groupNames[0].size()) - 1;
      }
      ref.stockGroup[0].push_back(g);
    }
    for (std::size_t i = 0; i < block.names.size(); ++i) {
      ref.fishNames.push_back(block.names[i]);
      ref.fishStock.push_back(stock);
      for (std::size_t c = 0; c < C; ++c)
        for (int j = 0; j < 2; ++j)
          ref.genotypes.push_back(positionOf(ref.alleleNames[c], block.codes[(i * C + c) * 2 + j]));
    }
  }
  if (ref.stockNames.empty()) {
    error = referencePath + ": no individuals in any POP block";
    return 0;
  }
  if (mixturePath.empty()) return 1;

  StandardGenepop mixture;
  if (!ReadStandardGenepop(mixturePath, mixture, error)) return 0;
  const std::size_t MC = mixture.loci.size();
  std::vector<int> column(C, -1);
  for (std::size_t l = 0; l < MC; ++l) {
    int c = FindName(ref.locusNames, mixture.loci[l]);
    if (c >= 0) column[c] = static_cast<int>(l);
  }
  for (std::size_t c = 0; c < C; ++c) {
    if (column[c] < 0) {
      error = mixturePath + ": no locus " + ref.locusNames[c] + ", which the reference has";
      return 0;
    }
  }
  FishGenotypes& mix = data.mixture;
  mix.locusNames = ref.locusNames;
  mix.alleleNames = ref.alleleNames;
  std::map<std::pair<std::size_t, int32_t>, int> unseen;
  std::vector<LocusStray> strays(C);
  for (const GenepopBlock& block : mixture.blocks) {
    if (block.names.empty()) continue;
    const int32_t population = static_cast<int32_t>(mix.stockNames.size());
    mix.stockNames.push_back(SafeName(GenepopLabelOf(block.names.back()), false));
    for (std::size_t i = 0; i < block.names.size(); ++i) {
      mix.fishNames.push_back(SafeName(block.names[i], true));
      mix.fishStock.push_back(population);
      for (std::size_t c = 0; c < C; ++c)
        for (int j = 0; j < 2; ++j) {
          const int32_t code = block.codes[(i * MC + column[c]) * 2 + j];
          const int32_t position = positionOf(ref.alleleNames[c], code);
          if (code > 0 && position == 0) ++unseen[{c, code}];
          if (code > 0) CountCopy(strays[c], std::to_string(code), position != 0);
          mix.genotypes.push_back(position);
        }
    }
  }
  if (mix.fishNames.empty()) {
    error = mixturePath + ": no individuals in any POP block";
    return 0;
  }
  if (std::string why = MiscodedMixture(ref, std::move(strays)); !why.empty()) {
    error = mixturePath + ": " + why;
    return 0;
  }
  for (const auto& [key, copies] : unseen)
    data.notes.push_back("Info: allele " + std::to_string(key.second) + " at locus " +
                         ref.locusNames[key.first] + " is carried by " + std::to_string(copies) +
                         " mixture gene copies but by no reference fish; written as missing");
  return 1;
}

}  // namespace mixora
