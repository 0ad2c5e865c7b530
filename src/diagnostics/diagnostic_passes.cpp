#include "diagnostics/diagnostic_passes.h"

#include <algorithm>
#include <limits>
#include <new>

#include "diagnostics/diagnostic_report.h"
#include "diagnostics/gelman_rubin_report.h"
#include "diagnostics/raftery_lewis_report.h"
#include "runfiles/composition_samples.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {

namespace {

constexpr uint32_t kPollEvery = 1000;

bool Aborted(const DiagnosticPass& pass) { return pass.aborted && pass.aborted(); }

void ShowError(const DiagnosticPass& pass, const std::string& error) {
  if (!error.empty() && !Aborted(pass)) ShowMessage(pass.ui, kMbIconError, "%s", error.c_str());
}

// Names and paths of a pass; false when the run has no such grouping level.
bool BuildLayout(const DiagnosticPass& pass, DiagnosticLayout& layout) {
  const RunRecord& run = *pass.run;
  if (pass.byRegion) {
    if (pass.level < 0 || static_cast<std::size_t>(pass.level) >= run.levelGroupNames.size())
      return false;
    layout.rowNames = run.levelGroupNames[static_cast<std::size_t>(pass.level)];
    layout.level = pass.level;
  } else {
    layout.rowNames = run.stockNames;
    layout.rowNames.resize(static_cast<std::size_t>(std::max(run.settings.NumberOfStocks, 0)));
  }
  for (int c = 0; c < run.settings.NumberOfChains; ++c)
    layout.chainPaths.push_back(BuildRunFileName(run, c, kNoReport, kNoGroup, kExtComposition));
  return true;
}

// Every record of one chain's composition file, reduced to group sums by
// region: row k, record r at values[k * length + r].
int LoadChainSeries(const DiagnosticPass& pass, const CompositionLoadRequest& groups, int chain,
                    std::vector<uint32_t>& values, int& length) {
  const RunRecord& run = *pass.run;
  const int32_t stocks = run.settings.NumberOfStocks;
  SampleFileReader reader;
  std::string path = BuildRunFileName(run, chain, kNoReport, kNoGroup, kExtComposition);
  while (OpenSampleFileForReading(reader, path) == 0) {
    std::string error = reader.error;
    path = pass.chooseFile ? pass.chooseFile(chain, path) : std::string();
    if (path.empty()) {
      ShowError(pass, error);
      return 0;
    }
  }
  const SampleFileHeader& header = reader.header;
  char problem[1400] = "";
  uint32_t total = pass.chainTotals.size() > static_cast<std::size_t>(chain)
                       ? pass.chainTotals[static_cast<std::size_t>(chain)]
                       : header.recordCount;
  if (header.valuesPerRecord != static_cast<uint32_t>(stocks) ||
      header.elementSize != kCompositionElementSize) {
    std::snprintf(problem, sizeof problem,
                  "%s holds records of %u values of %u bytes, not stock proportions of the run",
                  reader.path.c_str(), header.valuesPerRecord, header.elementSize);
  } else if (total > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    std::snprintf(problem, sizeof problem, "%s claims %u records", reader.path.c_str(), total);
  }
  if (problem[0] != '\0') {
    CloseSampleFileReader(reader);
    ShowError(pass, problem);
    return 0;
  }

  ReportPassProgress(pass.ui, "Loading: " + reader.path, 0, total);
  const bool byRegion = !groups.groupOfStock.empty();
  const std::size_t rows = byRegion ? static_cast<std::size_t>(groups.groupCount)
                                    : static_cast<std::size_t>(stocks);
  try {
    values.assign(rows * total, 0u);
  } catch (const std::bad_alloc&) {
    CloseSampleFileReader(reader);
    ShowError(pass, "Memory Allocation Failure.  FATAL!!");
    return 0;
  }
  std::vector<uint32_t> sums(rows);
  auto sink = [&](uint32_t r, const uint32_t* record) {
    const uint32_t* row = record;
    if (byRegion) {
      std::fill(sums.begin(), sums.end(), 0u);
      for (int32_t s = 0; s < stocks; ++s) sums[static_cast<std::size_t>(groups.groupOfStock[s])] += record[s];
      row = sums.data();
    }
    for (std::size_t k = 0; k < rows; ++k) values[k * total + r] = row[k];
    if ((r + 1) % kPollEvery == 0) {
      ReportPassProgress(pass.ui, "Reading Chain", r + 1, total);
      if (Aborted(pass)) return false;
    }
    return true;
  };
  const int read = ReadKeptRecords(reader, 0, total, sink);
  const std::string error = reader.error;
  CloseSampleFileReader(reader);
  if (read == 0) {
    ShowError(pass, error);
    return 0;
  }
  ReportPassProgress(pass.ui, "Reading Chain", total, total);
  length = static_cast<int>(total);
  return 1;
}

}  // namespace

int GelRub(const DiagnosticPass& pass) {
  if (!pass.run || !pass.out) return 0;
  const RunRecord& run = *pass.run;
  if (run.settings.NumberOfChains < 2 || run.settings.NumberOfStocks < 2) {
    ShowMessage(pass.ui, kMbIconWarning, "GelRub requires at least 2 chains");
    return 0;
  }
  DiagnosticLayout layout;
  CompositionLoadRequest request;
  request.length = pass.length;
  request.discard = pass.discard;
  request.chainTotals = pass.chainTotals;
  request.chooseFile = pass.chooseFile;
  request.aborted = pass.aborted;
  if (!BuildLayout(pass, layout) ||
      (pass.byRegion && UseGroupingLevel(run, pass.level, request) == 0)) {
    ShowError(pass, "The run has no grouping level " + std::to_string(pass.level + 1));
    return 0;
  }
  CompositionSamples samples;
  std::string error;
  if (LoadCompositionSamples(run, request, samples, pass.ui, error) == 0 || Aborted(pass)) {
    ShowError(pass, error);
    return 0;
  }
  SampleArrayView view{samples.values.data(), static_cast<int>(samples.rows),
                       static_cast<int>(samples.chains), static_cast<int>(samples.records)};
  return WriteGelmanRubinSection(pass.out, view, pass.length, layout, pass.ui, pass.aborted);
}

int RafteryLewis(const DiagnosticPass& pass) {
  if (!pass.run || !pass.out) return 0;
  const RunRecord& run = *pass.run;
  DiagnosticLayout layout;
  CompositionLoadRequest groups;
  if (!BuildLayout(pass, layout) ||
      (pass.byRegion && UseGroupingLevel(run, pass.level, groups) == 0)) {
    ShowError(pass, "The run has no grouping level " + std::to_string(pass.level + 1));
    return 0;
  }
  RunLengthSettings settings{run.settings.Quantile, run.settings.Accuracy,
                             run.settings.Probability};
  auto load = [&](int chain, std::vector<uint32_t>& values, int& length) {
    if (Aborted(pass)) return 0;
    return LoadChainSeries(pass, groups, chain, values, length);
  };
  return WriteRafteryLewisPass(pass.out, run.settings.NumberOfChains, load, layout, settings,
                               pass.ui, pass.aborted, pass.showSummary);
}

}  // namespace mixora
