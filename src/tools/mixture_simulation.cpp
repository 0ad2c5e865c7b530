#include "tools/mixture_simulation.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "core/atomic_file.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "input/baseline_reader.h"
#include "sampler/mt19937.h"

namespace mixora {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

// The gene copies of one stock at one character form an urn in which
// position p appears as often as its count. The urn is kept as the running
// sums of the counts (entry p - 1 is where position p's copies end), so a
// draw costs a search instead of memory in proportion to the counts.
int64_t FillUrn(const BaselineData& baseline, int32_t stock, int32_t character,
                std::vector<int64_t>& edges) {
  const int32_t positions = baseline.alleleCount[character];
  const int64_t base =
      (static_cast<int64_t>(stock) * baseline.charCount + character) * baseline.maxAlleles;
  edges.resize(static_cast<std::size_t>(positions));
  int64_t total = 0;
  for (int32_t k = 0; k < positions; ++k) {
    total += std::max<int32_t>(baseline.counts[static_cast<std::size_t>(base + k)], 0);
    edges[static_cast<std::size_t>(k)] = total;
  }
  return total;
}

int32_t DrawFromUrn(Mt19937State& generator, const std::vector<int64_t>& edges, int64_t total) {
  int32_t position = 0;
  // Every entry of the urn is a position from 1 up; the loop only guards the
  // rule that a drawn allele is never position 0.
  while (position == 0) {
    int32_t u = Mt19937UniformInt(generator, 0, static_cast<int32_t>(total - 1));
    auto at = std::upper_bound(edges.begin(), edges.end(), static_cast<int64_t>(u));
    position = static_cast<int32_t>(at - edges.begin()) + 1;
  }
  return position;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec1, ec2;
  std::filesystem::path ca = std::filesystem::weakly_canonical(a, ec1);
  std::filesystem::path cb = std::filesystem::weakly_canonical(b, ec2);
  if (ec1 || ec2) return a == b;
  return ca == cb;
}

// The outputs must never replace an input or each other.
bool CheckOutputsApart(const std::string& controlPath, const std::string& baselinePath,
                       const std::string& tcfPath, const std::string& mixturePath,
                       LogBuffer& log) {
  struct Pair {
    const std::string& output;
    const std::string& other;
    const char* what;
  };
  const Pair pairs[] = {
      {tcfPath, controlPath, "the mixture control file"},
      {tcfPath, baselinePath, "the baseline"},
      {mixturePath, controlPath, "the mixture control file"},
      {mixturePath, baselinePath, "the baseline"},
      {mixturePath, tcfPath, "the control file written for it"},
  };
  for (const Pair& pair : pairs) {
    if (SameFile(pair.output, pair.other)) {
      LogAppend(log, "Output %s would replace %s", pair.output.c_str(), pair.what);
      return false;
    }
  }
  return true;
}

// Opens an output for binary writing, asking before replacing a file. The
// output is pending until Finish, so a failure keeps an earlier file whole.
std::FILE* OpenOutput(const Interaction& ui, const std::string& path, bool& yesToAll,
                      PendingFile& pending, LogBuffer& log) {
  if (FileExists(path) && !AskOverwrite(ui, path, yesToAll)) {
    LogAppend(log, "Did not overwrite %s", path.c_str());
    return nullptr;
  }
  std::FILE* file = OpenPendingFile(pending, path);
  if (file == nullptr) LogAppend(log, "Cannot open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
  return file;
}

bool Put(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Closes the file; false when anything written did not reach it.
bool Finish(PendingFile& output, bool written, const std::string& path, LogBuffer& log) {
  const bool ok = written && CommitPendingFile(output) == 1;
  if (!ok) {
    const int error = errno;
    DiscardPendingFile(output);
    LogAppend(log, "Cannot write %s: %s", path.c_str(), SystemErrorText(error).c_str());
  }
  return ok;
}

}  // namespace

bool ComputePoolCounts(const std::vector<double>& proportions, int32_t numSamples,
                       std::vector<int32_t>& counts) {
  counts.assign(proportions.size(), 0);
  if (proportions.empty()) return numSamples == 0;
  int64_t taken = 0;
  for (std::size_t k = 0; k < proportions.size(); ++k) {
    double x = numSamples * proportions[k];
    double whole = std::floor(x);
    counts[k] = static_cast<int32_t>(whole) + (x - whole >= 0.5 ? 1 : 0);
    if (k + 1 < proportions.size()) taken += counts[k];
  }
  counts.back() = static_cast<int32_t>(numSamples - taken);
  return counts.back() >= 0;
}

bool MatchSimulationToBaseline(Simulation& sim, const BaselineData& baseline, LogBuffer& log) {
  sim.baseChar.assign(sim.charNames.size(), -1);
  for (std::size_t c = 0; c < sim.charNames.size(); ++c) {
    int index = FindName(baseline.charNames, sim.charNames[c]);
    if (index < 0) {
      LogAppend(log, "Cannot find %s", sim.charNames[c].c_str());
      return false;
    }
    sim.baseChar[c] = index;
  }
  sim.baseStock.assign(sim.stockId.size(), -1);
  for (std::size_t k = 0; k < sim.stockId.size(); ++k) {
    int index = FindValue(baseline.stockId, sim.stockId[k]);
    if (index < 0) {
      LogAppend(log, "Cannot find %d", sim.stockId[k]);
      return false;
    }
    sim.baseStock[k] = index;
  }

  const int32_t numSamples = sim.settings.NumSamples;
  if (!ComputePoolCounts(sim.proportion, numSamples, sim.poolCount)) {
    // Several proportions rounded up took more than the last stock can give.
    LogAppend(log,
              "The StockProp proportions cannot be rounded to NumSamples(%d): the last stock "
              "(%d) would get %d; raise NumSamples or list a larger stock last",
              numSamples, sim.stockId.back(), sim.poolCount.back());
    return false;
  }

  std::vector<int64_t> edges;
  for (std::size_t k = 0; k < sim.stockId.size(); ++k) {
    if (sim.poolCount[k] == 0) continue;
    for (std::size_t c = 0; c < sim.charNames.size(); ++c) {
      int64_t total = FillUrn(baseline, sim.baseStock[k], sim.baseChar[c], edges);
      if (total > std::numeric_limits<int32_t>::max()) {
        LogAppend(log, "Stock %d has more gene copies at %s than can be drawn from",
                  sim.stockId[k], sim.charNames[c].c_str());
        return false;
      }
      if (total == 0) {
        LogAppend(log, "Info: stock %d has no gene copies at %s; its fish are written with %s "
                       "missing",
                  sim.stockId[k], sim.charNames[c].c_str(), sim.charNames[c].c_str());
      }
    }
  }
  return true;
}

std::string FormatSimulationControlFile(const Simulation& sim, const BaselineData& baseline) {
  const SimulationSettings& settings = sim.settings;
  // The first chain starts from the fifth baseline stock; a smaller baseline
  // starts from its first stock.
  int32_t startStock = baseline.stockCount >= 5 ? baseline.stockId[4]
                       : baseline.stockCount > 0 ? baseline.stockId[0]
                                                 : 0;
  std::string text = Format(
      "MIXORA\r\n\r\nTitle = %s\r\nBaselineFile = %s\r\nMixtureFile = %s\r\nOutputFolder = "
      "output\r\nSpecies = Unknown\r\nBaseDesc = %s\r\nNumberOfStocks = %d\r\nNumberOfChars = "
      "%d\r\nLevels = 1\r\nNumberOfChains = 4\r\nChangeSeeds = T\r\nNumberOfReps = 2000\r\nSeed1 = 687688\r\nSeed2 "
      "= 788781\r\nStartStock = %d\r\nNumberToKeep = 1000\r\n\r\n",
      settings.RunTitle, settings.BaseFile, settings.MixFileOut,
      "Mixture Simulated from this baseline", baseline.stockCount,
      static_cast<int>(sim.charNames.size()), startStock);
  text += "\r\nChars = \r\n";
  for (std::size_t c = 0; c < sim.charNames.size(); ++c) {
    int32_t b = sim.baseChar[c];
    text += Format("%03d %03d T %-s\r\n", baseline.charId[b], baseline.alleleCount[b],
                   sim.charNames[c].c_str());
  }
  text += "\r\nStocks = \r\n";
  for (int32_t s = 0; s < baseline.stockCount; ++s) {
    const std::string name =
        static_cast<std::size_t>(s) < baseline.stockNames.size() ? baseline.stockNames[s] : "";
    text += Format("%03d %02d  %-s\r\n", baseline.stockId[s], 1, name.c_str());
  }
  text += "\r\nGroups =\r\n  1   1  Dummy\r\n";
  return text;
}

void BuildPool(Simulation& sim, const BaselineData& baseline) {
  const std::size_t chars = sim.charNames.size();
  const std::size_t records = static_cast<std::size_t>(sim.settings.NumSamples);
  sim.poolStock.assign(records, 0);
  sim.poolMark.assign(records, 0);
  sim.poolPairs.assign(records * chars * 2, 0);

  // One urn per character of the current stock, filled once per stock: the
  // urn of a stock and character is the same for every record drawn from it.
  std::vector<std::vector<int64_t>> urns(chars);
  std::vector<int64_t> totals(chars);
  std::size_t r = 0;
  for (std::size_t k = 0; k < sim.stockId.size(); ++k) {
    if (sim.poolCount[k] == 0) continue;
    for (std::size_t c = 0; c < chars; ++c)
      totals[c] = FillUrn(baseline, sim.baseStock[k], sim.baseChar[c], urns[c]);
    for (int32_t i = 1; i <= sim.poolCount[k] && r < records; ++i, ++r) {
      sim.poolStock[r] = sim.stockId[k];
      sim.poolMark[r] = i;
      for (std::size_t c = 0; c < chars; ++c) {
        if (totals[c] == 0) continue;  // no gene copies: the pair stays missing
        int32_t a = DrawFromUrn(sim.generator, urns[c], totals[c]);
        int32_t b = DrawFromUrn(sim.generator, urns[c], totals[c]);
        sim.poolPairs[(r * chars + c) * 2] = std::min(a, b);
        sim.poolPairs[(r * chars + c) * 2 + 1] = std::max(a, b);
      }
    }
  }
}

std::vector<int32_t> DrawFishRecords(Simulation& sim) {
  const int32_t last = sim.settings.NumSamples - 1;
  std::vector<int32_t> drawn;
  drawn.reserve(static_cast<std::size_t>(std::max(sim.settings.NumFish, 0)));
  for (int32_t j = 1; j <= sim.settings.NumFish; ++j) {
    int32_t record;
    do {
      record = Mt19937UniformInt(sim.generator, 0, last);
    } while (sim.poolMark[static_cast<std::size_t>(record)] == 0);
    drawn.push_back(record);
    if (!sim.settings.Replacement) sim.poolMark[static_cast<std::size_t>(record)] = 0;
  }
  return drawn;
}

std::string FormatSimulatedFish(const Simulation& sim, int32_t record, int32_t number,
                                bool threeDigits) {
  const std::size_t chars = sim.charNames.size();
  std::string line = Format("Simulated Fish StockID %-4d %-4d , ",
                            sim.poolStock[static_cast<std::size_t>(record)], number);
  const int32_t* pair = &sim.poolPairs[static_cast<std::size_t>(record) * chars * 2];
  for (std::size_t c = 0; c < chars; ++c, pair += 2)
    line += Format(threeDigits ? " %03d%03d" : " %02d%02d", pair[0], pair[1]);
  line += "\r\n";
  return line;
}

int SimulateMixtures(const std::string& controlPath, const Interaction& ui, LogBuffer& log) {
  LogAppend(log, "Reading Mixture Control File: %s", controlPath.c_str());
  std::unique_ptr<Simulation> sim = ReadSimulationControl(controlPath, log);
  if (!sim) return 1;
  const SimulationSettings& settings = sim->settings;
  const std::string baselinePath = ResolveBesideControlFile(controlPath, settings.BaseFile);
  const std::string mixturePath = ResolveBesideControlFile(controlPath, settings.MixFileOut);
  const std::string tcfPath = ReplaceExtension(controlPath, "tcf");

  auto fail = [&log] {
    LogAppend(log, "\r\nFail!!");
    return 1;
  };
  try {
    BaselineData baseline;
    if (ReadSpamBaseline(baselinePath, baseline, log) != 0) return fail();
    SumBaselineTotals(baseline);

    LogAppend(log, "Checking Chars and Stocks");
    if (!MatchSimulationToBaseline(*sim, baseline, log)) return fail();
    if (!CheckOutputsApart(controlPath, baselinePath, tcfPath, mixturePath, log)) return fail();

    bool yesToAll = false;
    LogAppend(log, "Writing Mixora Control File: %s", tcfPath.c_str());
    PendingFile tcf;
    if (!OpenOutput(ui, tcfPath, yesToAll, tcf, log)) return fail();
    bool written = Put(tcf.file, FormatSimulationControlFile(*sim, baseline));
    if (!Finish(tcf, written, tcfPath, log)) return fail();

    LogAppend(log, "Writing Mixture File: %s", mixturePath.c_str());
    PendingFile mixture;
    if (!OpenOutput(ui, mixturePath, yesToAll, mixture, log)) return fail();
    const bool threeDigits = LargestValue(baseline.alleleCount) > 99;
    std::string text = Format("Simulation - %s\r\n", settings.RunTitle);
    for (const std::string& name : sim->charNames) text += Format("%-s\r\n", name.c_str());
    written = Put(mixture.file, text);
    Mt19937Seed(sim->generator, static_cast<uint32_t>(settings.Seed));
    for (int32_t m = 1; written && m <= settings.NumMixtures; ++m) {
      text = Format("POP %d, Mix %d, simulated, simulated, simulated, simulated\r\n",
                    settings.Year, m);
      BuildPool(*sim, baseline);
      std::vector<int32_t> records = DrawFishRecords(*sim);
      for (std::size_t j = 0; j < records.size(); ++j)
        text += FormatSimulatedFish(*sim, records[j], static_cast<int32_t>(j) + 1, threeDigits);
      written = Put(mixture.file, text);
      if (written) LogAppend(log, "Mixture %d", m);
    }
    if (!Finish(mixture, written, mixturePath, log)) return fail();
  } catch (const std::bad_alloc&) {
    LogAppend(log, "%s", DescribeErrorFlags(kErrMemoryFailure).c_str());
    return fail();
  }
  LogAppend(log, "\r\nSuccess!!");
  return 0;
}

}  // namespace mixora
