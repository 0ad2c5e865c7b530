#include "formats/imported_genotypes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <numeric>

#include "core/system_error.h"
#include "input/control.h"
#include "input/genepop_convert.h"
#include "input/genepop_label.h"
#include "input/stock_names.h"

namespace mixora {

int32_t AllelePosition(std::vector<std::string>& alleles, const std::string& allele, bool add) {
  for (std::size_t k = 0; k < alleles.size(); ++k)
    if (alleles[k] == allele) return static_cast<int32_t>(k) + 1;
  if (!add) return 0;
  alleles.push_back(allele);
  return static_cast<int32_t>(alleles.size());
}

std::string SafeName(const std::string& name, bool fishName) {
  std::string safe = name;
  for (char& c : safe) {
    if (fishName ? c == ',' : (std::isspace(static_cast<unsigned char>(c)) != 0 || c == ','))
      c = '_';
  }
  return safe;
}

namespace {

void KeepLoci(FishGenotypes& set, const std::vector<int32_t>& keep) {
  const std::size_t C = set.locusNames.size();
  std::vector<int32_t> genotypes;
  genotypes.reserve(static_cast<std::size_t>(set.Fish()) * keep.size() * 2);
  for (int32_t f = 0; f < set.Fish(); ++f)
    for (int32_t c : keep)
      for (int j = 0; j < 2; ++j) genotypes.push_back(set.genotypes[(f * C + c) * 2 + j]);
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> alleles;
  for (int32_t c : keep) {
    names.push_back(set.locusNames[c]);
    alleles.push_back(set.alleleNames[c]);
  }
  set.locusNames = names;
  set.alleleNames = alleles;
  set.genotypes = genotypes;
}

}  // namespace

void DropLociWithoutAlleles(ImportedGenotypes& data) {
  std::vector<int32_t> keep;
  for (int32_t c = 0; c < data.reference.Loci(); ++c) {
    if (data.reference.AlleleCount(c) > 0) {
      keep.push_back(c);
      continue;
    }
    data.notes.push_back("Info: locus " + data.reference.locusNames[c] +
                         " has no allele in any reference fish; it is left out");
  }
  if (static_cast<int32_t>(keep.size()) == data.reference.Loci()) return;
  KeepLoci(data.reference, keep);
  KeepLoci(data.mixture, keep);
}

std::string MiscodedMixture(const FishGenotypes& reference, std::vector<LocusStray> strays) {
  std::vector<LocusStray> scored;
  for (int32_t c = 0; c < reference.Loci() && static_cast<std::size_t>(c) < strays.size(); ++c) {
    if (reference.AlleleCount(c) == 0) continue;
    scored.push_back(std::move(strays[c]));
    scored.back().locus = reference.locusNames[c];
    scored.back().expectedCodes = reference.alleleNames[c];
  }
  return MiscodedAlleles(std::move(scored));
}

void NoteReferenceStocks(ImportedGenotypes& data, const std::string& kind) {
  const FishGenotypes& ref = data.reference;
  std::vector<int32_t> fish(static_cast<std::size_t>(ref.Stocks()), 0);
  for (int32_t stock : ref.fishStock)
    if (stock >= 0 && stock < ref.Stocks()) ++fish[static_cast<std::size_t>(stock)];
  for (std::string& note : SimilarNameNotes(ref.stockNames, kind)) data.notes.push_back(std::move(note));
  for (std::string& note : FewFishNotes(ref.stockNames, fish, kind, "reference fish"))
    data.notes.push_back(std::move(note));
}

int32_t FishWithoutGenotypes(const FishGenotypes& fish) {
  const std::size_t C = fish.locusNames.size();
  int32_t blank = 0;
  for (int32_t f = 0; f < fish.Fish(); ++f) {
    bool any = false;
    for (std::size_t at = static_cast<std::size_t>(f) * C * 2; at < (static_cast<std::size_t>(f) + 1) * C * 2; ++at)
      any = any || (at < fish.genotypes.size() && fish.genotypes[at] != 0);
    blank += any ? 0 : 1;
  }
  return blank;
}

std::string ImportDescription(const std::string& layout, const std::string& referenceName,
                              const std::string& mixtureName) {
  // The keyword holds 87 characters and cuts a value at "!".
  constexpr std::size_t kRoom = sizeof(RunSettings{}.BaseDesc) - 1;
  const std::string head = "Imported from " + layout;
  std::string text = head + " " + referenceName + ", mixture " + mixtureName;
  if (text.size() > kRoom) text = head + " " + referenceName;
  if (text.size() > kRoom) text = head;
  for (char& c : text)
    if (c == '!') c = '_';
  return text;
}

int WriteImportedFiles(const ImportedGenotypes& data, const std::string& baselineOut,
                       const std::string& mixtureOut, const std::string& controlOut,
                       LogBuffer& log) {
  const FishGenotypes& ref = data.reference;
  const int32_t C = ref.Loci();
  GenepopSet set;
  set.title = data.title;
  set.locusNames = ref.locusNames;
  std::size_t longest = 0;
  for (const std::string& name : ref.locusNames) longest = std::max(longest, name.size());
  set.locusNameWidth = GenepopNameWidth(longest);
  for (int32_t c = 0; c < C; ++c) set.distinctAlleles.push_back(ref.AlleleCount(c));
  set.stockNames = ref.stockNames;
  set.stockNumbers.resize(ref.stockNames.size());
  std::iota(set.stockNumbers.begin(), set.stockNumbers.end(), 1);
  set.populationSize.assign(ref.stockNames.size(), 0);
  set.alleleTable.assign(static_cast<std::size_t>(C) * kGenepopCodeLimit, 0);
  std::vector<int32_t> order(static_cast<std::size_t>(ref.Fish()));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return ref.fishStock[a] < ref.fishStock[b]; });
  for (int32_t f : order) {
    ++set.populationSize[ref.fishStock[f]];
    set.individualPopulation.push_back(ref.fishStock[f]);
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) {
        const int32_t a = ref.At(f, c, j);
        set.codes.push_back(a);
        ++set.alleleTable[static_cast<std::size_t>(c) * kGenepopCodeLimit + a];
      }
  }
  set.individualCount = ref.Fish();
  if (ref.Levels() > 0) {
    set.groupNames = ref.groupNames[0];
    set.stockGroup = ref.stockGroup[0];
  }
  if (!WriteSpamBaselineOfSet(set, baselineOut)) {
    LogAppend(log, "Cannot write to %s: %s", baselineOut.c_str(), SystemErrorText(errno).c_str());
    return 0;
  }

  const FishGenotypes& mix = data.mixture;
  PositionedMixture out;
  out.title = data.title;
  out.locusNames = ref.locusNames;
  for (const std::string& population : mix.stockNames) out.popLines.push_back("POP , " + population);
  std::vector<int32_t> mixOrder(static_cast<std::size_t>(mix.Fish()));
  std::iota(mixOrder.begin(), mixOrder.end(), 0);
  std::stable_sort(mixOrder.begin(), mixOrder.end(),
                   [&](int32_t a, int32_t b) { return mix.fishStock[a] < mix.fishStock[b]; });
  for (int32_t f : mixOrder) {
    out.fishNames.push_back(mix.fishNames[f]);
    out.fishPopulation.push_back(mix.fishStock[f]);
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) out.positions.push_back(mix.At(f, c, j));
  }
  if (!WritePositionedMixture(out, mixtureOut)) {
    LogAppend(log, "Cannot write to %s: %s", mixtureOut.c_str(), SystemErrorText(errno).c_str());
    return 0;
  }
  if (!controlOut.empty() && !WriteGenepopControlFile(set, controlOut, baselineOut, mixtureOut,
                                                         data.description)) {
    LogAppend(log, "Cannot write to %s: %s", controlOut.c_str(), SystemErrorText(errno).c_str());
    return 0;
  }
  return 1;
}

}  // namespace mixora
