#include "reports/assignment_tally.h"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"

namespace mixora {

namespace {

constexpr uint32_t kPollEvery = 1000;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[1400];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace

int ResetAssignmentTally(const RunRecord& run, AssignmentTally& tally) {
  tally = AssignmentTally{};
  const uint32_t individuals = static_cast<uint32_t>(run.fishCount > 0 ? run.fishCount : 0);
  const uint32_t stocks =
      static_cast<uint32_t>(run.settings.NumberOfStocks > 0 ? run.settings.NumberOfStocks : 0);
  try {
    tally.cells.resize(static_cast<std::size_t>(individuals) * stocks);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  tally.individuals = individuals;
  tally.stocks = stocks;
  for (uint32_t i = 0; i < individuals; ++i)
    for (uint32_t s = 0; s < stocks; ++s) {
      AssignmentCell& cell = tally.At(i, s);
      cell.individual = i;
      cell.stock = s;
    }
  return 1;
}

std::string AssignmentFilePath(const RunRecord& run, int chain) {
  return BuildRunFileName(run, chain, kNoReport, kNoGroup, kExtAssignments);
}

int AddChainAssignments(ReportJob& job, SampleFileReader& reader, int chain,
                        AssignmentTally& tally, std::string& error) {
  error.clear();
  const SampleFileHeader& header = reader.header;
  if (header.valuesPerRecord != tally.individuals ||
      header.elementSize != kAssignmentElementSize) {
    error = Printf("%s holds records of %u values of %u bytes, not the stock assignments of the "
                   "run's %u mixture individuals",
                   reader.path.c_str(), header.valuesPerRecord, header.elementSize,
                   tally.individuals);
    return 0;
  }
  const uint32_t discard = AssignmentDiscard(job);
  const uint32_t total = static_cast<std::size_t>(chain) < job.assignmentTotals.size()
                             ? job.assignmentTotals[static_cast<std::size_t>(chain)]
                             : header.recordCount;
  const uint32_t count = total > discard ? total - discard : 0;
  ReportJobProgress(job, -1, count, "Loading");
  std::string problem;
  auto sink = [&](uint32_t r, const uint32_t* stocks) {
    for (uint32_t i = 0; i < tally.individuals; ++i) {
      if (stocks[i] >= tally.stocks) {
        problem = Printf("%s: record %u assigns mixture individual %u to stock %u; the run has "
                         "%u stocks",
                         reader.path.c_str(), discard + r + 1, i + 1, stocks[i] + 1,
                         tally.stocks);
        return false;
      }
      ++tally.At(i, stocks[i]).count;
    }
    if ((r + 1) % kPollEvery == 0) {
      ReportJobProgress(job, r + 1, count, "Loading");
      if (ReportAborted(job)) return false;
    }
    return true;
  };
  if (ReadKeptRecords(reader, discard, count, sink) == 0) {
    error = !problem.empty()                                ? problem
            : job.abort.load(std::memory_order_relaxed) != 0 ? std::string("Stopped")
                                                             : reader.error;
    return 0;
  }
  tally.records += count;
  ReportJobProgress(job, count, count, "Loading");
  return 1;
}

int TallyChains(ReportJob& job, AssignmentTally& tally) {
  const RunRecord& run = *job.run;
  if (ResetAssignmentTally(run, tally) == 0) {
    ShowMessage(job.ui, kMbIconError, "Memory Allocation Failure.  FATAL!!");
    return 0;
  }
  SampleFileReader reader;
  for (int c = 0; c < run.settings.NumberOfChains; ++c) {
    if (ReportAborted(job)) return 0;
    const std::string path = AssignmentFilePath(run, c);
    std::string error;
    if (OpenSampleFileForReading(reader, path) == 0) {
      ShowMessage(job.ui, kMbIconError | MessageForChain(c + 1), "%s", reader.error.c_str());
      return 0;
    }
    const int added = AddChainAssignments(job, reader, c, tally, error);
    CloseSampleFileReader(reader);
    if (added == 0) {
      if (!job.abort.load(std::memory_order_relaxed))
        ShowMessage(job.ui, kMbIconError | MessageForChain(c + 1), "%s", error.c_str());
      return 0;
    }
  }
  return 1;
}

int TallyAssignments(ReportJob& job, double* rows, int column, int stride, bool byRegion) {
  // Every table of a report adds the same totals: the files are read once.
  if (job.stockTallyState == 0) {
    AssignmentTally tally;
    if (TallyChains(job, tally) == 0) {
      // An abort is no verdict on the files; a later report reads them again.
      job.stockTallyState = job.abort.load(std::memory_order_relaxed) ? 0 : -1;
      return 0;
    }
    job.stockAssignmentTotals.assign(tally.stocks, 0);
    for (uint32_t s = 0; s < tally.stocks; ++s)
      for (uint32_t i = 0; i < tally.individuals; ++i)
        job.stockAssignmentTotals[s] += tally.At(i, s).count;
    job.stockTallyState = 1;
  }
  if (job.stockTallyState < 0) return 0;
  const std::size_t stocks = job.stockAssignmentTotals.size();
  if (byRegion && job.groupOfStock.size() != stocks) return 0;
  for (std::size_t s = 0; s < stocks; ++s) {
    const std::size_t row = byRegion ? static_cast<std::size_t>(job.groupOfStock[s]) : s;
    rows[row * static_cast<std::size_t>(stride) + static_cast<std::size_t>(column)] +=
        static_cast<double>(job.stockAssignmentTotals[s]);
  }
  return 1;
}

}  // namespace mixora
