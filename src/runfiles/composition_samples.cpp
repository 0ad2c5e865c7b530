#include "runfiles/composition_samples.h"

#include <cstdio>
#include <algorithm>
#include <new>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {
namespace {

// Progress and abort polling every so many records keeps the callbacks off
// the inner loop.
constexpr uint32_t kPollEvery = 1000;

std::string Text(const char* format, const std::string& path, unsigned long long a,
                 unsigned long long b) {
  char text[1200];
  std::snprintf(text, sizeof text, format, path.c_str(), a, b);
  return text;
}

// Opens the chain's composition file, offering other files while it fails.
int OpenChainFile(const RunRecord& run, const CompositionLoadRequest& request, int chain,
                  SampleFileReader& reader, std::string& error) {
  std::string path = BuildRunFileName(run, chain, kNoReport, kNoGroup, kExtComposition);
  for (;;) {
    if (OpenSampleFileForReading(reader, path) == 1) {
      error.clear();
      return 1;
    }
    error = reader.error;
    if (!request.chooseFile) return 0;
    path = request.chooseFile(chain, path);
    if (path.empty()) return 0;
  }
}

}  // namespace

int UseGroupingLevel(const RunRecord& run, int level, CompositionLoadRequest& request) {
  if (level < 0 || static_cast<std::size_t>(level) >= run.groupAt.size() ||
      static_cast<std::size_t>(level) >= run.levelGroupCount.size())
    return 0;
  request.groupOfStock = run.groupAt[static_cast<std::size_t>(level)];
  request.groupCount = run.levelGroupCount[static_cast<std::size_t>(level)];
  return 1;
}

int LoadCompositionSamples(const RunRecord& run, const CompositionLoadRequest& request,
                           CompositionSamples& samples, const Interaction& ui,
                           std::string& error) {
  samples = CompositionSamples{};
  error.clear();
  const int32_t stocks = run.settings.NumberOfStocks;
  const int32_t chains = run.settings.NumberOfChains;
  if (request.discard < 0 || request.length < request.discard) {
    error = "Cannot keep " + std::to_string(request.length - request.discard) + " of " +
            std::to_string(request.length) + " records";
    return 0;
  }
  if (stocks < 1 || chains < 1) {
    error = "The run has no stocks or no chains";
    return 0;
  }
  const bool byRegion = !request.groupOfStock.empty();
  if (byRegion) {
    bool fits = request.groupCount >= 1 &&
                request.groupOfStock.size() == static_cast<std::size_t>(stocks);
    for (int32_t g : request.groupOfStock) fits = fits && g >= 0 && g < request.groupCount;
    if (!fits) {
      error = "The grouping level does not assign every stock to one of its groups";
      return 0;
    }
  }
  if (!request.chainTotals.empty() &&
      request.chainTotals.size() != static_cast<std::size_t>(chains)) {
    error = "Record totals given for " + std::to_string(request.chainTotals.size()) +
            " chains, the run has " + std::to_string(chains);
    return 0;
  }

  const uint32_t k = static_cast<uint32_t>(byRegion ? request.groupCount : stocks);
  const uint32_t m = static_cast<uint32_t>(chains);
  const uint32_t n = static_cast<uint32_t>(request.length - request.discard);
  const uint32_t discard = static_cast<uint32_t>(request.discard);
  try {
    samples.values.assign(static_cast<std::size_t>(k) * m * n, 0);
  } catch (const std::bad_alloc&) {
    error = "Memory Allocation Failure.  FATAL!!";
    return 0;
  }
  samples.rows = k;
  samples.chains = m;
  samples.records = n;

  std::vector<uint32_t> groupSums(k);
  SampleFileReader reader;
  for (uint32_t c = 0; c < m; ++c) {
    if (request.aborted && request.aborted()) {
      error = "Stopped";
      break;
    }
    if (OpenChainFile(run, request, static_cast<int>(c), reader, error) == 0) break;
    const SampleFileHeader& header = reader.header;
    if (header.valuesPerRecord != static_cast<uint32_t>(stocks) ||
        header.elementSize != kCompositionElementSize) {
      error = Text("%s holds records of %llu values of %llu bytes, not stock proportions of the run",
                   reader.path, header.valuesPerRecord, header.elementSize);
      break;
    }
    uint32_t total = request.chainTotals.empty() ? header.recordCount : request.chainTotals[c];
    if (total < static_cast<uint32_t>(request.length)) {
      error = Text("%s holds %llu records, fewer than the %llu the report needs", reader.path,
                   total, static_cast<unsigned long long>(request.length));
      break;
    }
    ReportProgress(ui, "Loading: " + reader.path, 0, n);
    auto sink = [&](uint32_t r, const uint32_t* values) {
      const uint32_t* row = values;
      if (byRegion) {
        std::fill(groupSums.begin(), groupSums.end(), 0u);
        for (int32_t s = 0; s < stocks; ++s) groupSums[request.groupOfStock[s]] += values[s];
        row = groupSums.data();
      }
      for (uint32_t i = 0; i < k; ++i)
        samples.values[(static_cast<std::size_t>(i) * m + c) * n + r] = row[i];
      if ((r + 1) % kPollEvery == 0) {
        ReportProgress(ui, "Reading Chain", r + 1, n);
        if (request.aborted && request.aborted()) return false;
      }
      return true;
    };
    if (ReadKeptRecords(reader, discard, n, sink) == 0) {
      error = reader.error;
      break;
    }
    ReportProgress(ui, "Reading Chain", n, n);
    CloseSampleFileReader(reader);
  }
  CloseSampleFileReader(reader);
  if (!error.empty()) {
    samples = CompositionSamples{};
    return 0;
  }
  return 1;
}

}  // namespace mixora
