#include "reports/assignment_report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "core/atomic_file.h"
#include "core/error_flags.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "reports/assignment_tally.h"
#include "reports/genotype_zscores.h"
#include "reports/tidy_tables.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_reader.h"
#include "formats/format_writers.h"

namespace mixora {

namespace {

constexpr int kTopCount = 5;

// The records each chain contributes: all but the discarded ones.
uint64_t PlannedRecords(const ReportJob& job) {
  const uint32_t discard = AssignmentDiscard(job);
  uint64_t total = 0;
  for (uint32_t records : job.assignmentTotals)
    if (records > discard) total += records - discard;
  return total;
}

double Share(uint32_t count, uint64_t total) {
  return total == 0 ? 0.0 : static_cast<double>(count) / static_cast<double>(total);
}

const std::string& NameAt(const std::vector<std::string>& names, std::size_t i) {
  static const std::string none;
  return i < names.size() ? names[i] : none;
}

// The cells of individual i, most frequent stock first; ties keep stock order
// so that a report reads the same every time.
std::vector<AssignmentCell> TopCells(const AssignmentTally& tally, uint32_t i) {
  std::vector<AssignmentCell> cells(tally.cells.begin() + static_cast<std::ptrdiff_t>(i) * tally.stocks,
                                    tally.cells.begin() + static_cast<std::ptrdiff_t>(i + 1) * tally.stocks);
  std::stable_sort(cells.begin(), cells.end(),
                   [](const AssignmentCell& a, const AssignmentCell& b) { return a.count > b.count; });
  std::size_t shown = 0;
  while (shown < cells.size() && shown < static_cast<std::size_t>(kTopCount) &&
         cells[shown].count >= 1)
    ++shown;
  cells.resize(shown);
  return cells;
}

void WriteExcluded(std::FILE* out, const RunRecord& run, int width) {
  for (int32_t j = 0; j < run.badCount; ++j) {
    const std::size_t at = static_cast<std::size_t>(j);
    std::fprintf(out, "%-*.*s", width, width, NameAt(run.badNames, at).c_str());
    std::fputs(ExclusionReasons(at < run.badFlags.size() ? run.badFlags[at] : 0).c_str(), out);
    std::fputs("\r\n", out);
  }
}

// Returns 1 when the file was written whole, 0 when writing failed, -1 when
// it could not be created.
int WriteCsv(const std::string& path, const RunRecord& run, const AssignmentTally& tally,
             uint64_t total) {
  PendingFile pending;
  std::FILE* csv = OpenPendingFile(pending, path);
  if (csv == nullptr) return -1;
  for (uint32_t i = 0; i < tally.individuals; ++i) {
    const std::string& name = NameAt(run.fishNames, i);
    for (const AssignmentCell& cell : TopCells(tally, i))
      std::fprintf(csv, "%5d, %s, %s, %d, %.4f\r\n", static_cast<int>(i + 1), name.c_str(),
                   NameAt(run.stockNames, cell.stock).c_str(), FirstLevelGroupId(run, cell.stock),
                   Share(cell.count, total));
  }
  for (int32_t j = 0; j < run.badCount; ++j) {
    const std::size_t at = static_cast<std::size_t>(j);
    const int32_t word = at < run.badFlags.size() ? run.badFlags[at] : 0;
    if (word == 0) continue;
    std::fprintf(csv, "%5d, %s%s\r\n", j + 1, NameAt(run.badNames, at).c_str(),
                 ExclusionReasons(word).c_str());
  }
  return CommitPendingFile(pending);
}

}  // namespace

int32_t FirstLevelGroupId(const RunRecord& run, uint32_t stock) {
  if (run.groupAt.empty() || stock >= run.groupAt[0].size()) return 0;
  const int32_t position = run.groupAt[0][stock];
  if (!run.levelGroupId.empty() && position >= 0 &&
      static_cast<std::size_t>(position) < run.levelGroupId[0].size())
    return run.levelGroupId[0][static_cast<std::size_t>(position)];
  return position;
}

std::string ExclusionReasons(int32_t word) {
  const uint32_t flags = static_cast<uint32_t>(word) >> 16;
  std::string text;
  for (int bit = 0; bit < 16; ++bit)
    if (flags & (1u << bit)) text += std::string(", ") + ErrorFlagMessage(bit);
  return text;
}

int AssignmentReport(ReportJob& job, bool /*byRegion*/) {
  std::FILE* out = job.out;
  if (out == nullptr) return 0;
  const RunRecord& run = *job.run;
  const int chains = run.settings.NumberOfChains;
  const int kept = job.length - job.discard;
  const uint64_t total = PlannedRecords(job);
  const int width = std::max(run.fishNameWidth, 0);

  std::fputs("Summary of Stock Assignments:\r\n", out);
  std::fputs("-----------------------------\r\n", out);
  std::fprintf(out, "Number of mixture individuals:        %d\r\n", run.fishCount);
  std::fprintf(out, "Number of burn-in samples to discard: %d\r\n", job.discard);
  std::fprintf(out, "Number of samples to keep:            %d\r\n", kept);
  std::fprintf(out, "Number of chains:                     %d\r\n", chains);
  std::fprintf(out, "Total number of MCMC samples:         %llu\r\n",
               static_cast<unsigned long long>(total));

  AssignmentTally tally;
  if (ResetAssignmentTally(run, tally) == 0) {
    ShowMessage(job.ui, kMbIconError, "Memory Allocation Failure.  FATAL!!");
    return 0;
  }
  ShowLabel(job, "Loading:");
  ShowUnit(job, "Record");
  SampleFileReader reader;
  for (int c = 0; c < chains; ++c) {
    if (ReportAborted(job)) return 0;
    const std::string path = AssignmentFilePath(run, c);
    if (OpenSampleFileForReading(reader, path) == 0) {
      ShowMessage(job.ui, kMbIconError | MessageForChain(c + 1), "%s", reader.error.c_str());
      std::fprintf(out, "Error opening Chain File %d: %s\r\n", c + 1, path.c_str());
      return 0;
    }
    ShowCurrentFile(job, path);
    std::fprintf(out, "Chain %d: %s\r\n", c + 1, path.c_str());
    std::string error;
    const int added = AddChainAssignments(job, reader, c, tally, error);
    CloseSampleFileReader(reader);
    if (added == 0) {
      if (job.abort.load(std::memory_order_relaxed)) return 0;
      ShowMessage(job.ui, kMbIconError | MessageForChain(c + 1), "%s", error.c_str());
      std::fprintf(out, "Error reading Chain File %d: %s\r\n", c + 1, path.c_str());
      return 0;
    }
  }
  ShowLabel(job, "Producing Report");

  std::fputs("Proportion of times each mixture individual was assigned to a stock:\r\n", out);
  std::fprintf(out, "%-*s", width, "Individual");
  for (uint32_t s = 0; s < tally.stocks; ++s)
    std::fprintf(out, " %6.6s", NameAt(run.stockNames, s).c_str());
  std::fputs("\r\n", out);
  for (uint32_t i = 0; i < tally.individuals; ++i) {
    std::fprintf(out, "%-*.*s", width, width, NameAt(run.fishNames, i).c_str());
    for (uint32_t s = 0; s < tally.stocks; ++s)
      std::fprintf(out, "%7.2f", Share(tally.At(i, s).count, total));
    std::fputs("\r\n", out);
  }
  WriteExcluded(out, run, width);

  std::fputs("\r\n\r\nTop 5 Individual Assignments:\r\n", out);
  for (uint32_t i = 0; i < tally.individuals; ++i) {
    std::fprintf(out, "%-*.*s", width, width, NameAt(run.fishNames, i).c_str());
    for (const AssignmentCell& cell : TopCells(tally, i))
      std::fprintf(out, ",  %s, %d, %.4f", NameAt(run.stockNames, cell.stock).c_str(),
                   FirstLevelGroupId(run, cell.stock), Share(cell.count, total));
    std::fputs("\r\n", out);
  }
  WriteExcluded(out, run, width);

  const std::vector<GenotypeZScore> scores = ComputeGenotypeZScores(run);
  std::fputs(FormatStrayFishNotes(run, scores).c_str(), out);

  const std::string csvPath = BuildRunFileName(run, kNoChain, kReportIds, kNoGroup, kExtCsv);
  // The text report stands either way; the person is told what is missing.
  if (FileExists(csvPath) && !AskOverwrite(job.ui, csvPath, job.run->overwriteAll)) return 1;
  const int csv = WriteCsv(csvPath, run, tally, total);
  // A write that failed half-way (a full disk) fails the report, so that the
  // command does not end in success with a table missing.
  bool written = true;
  if (csv == 1) {
    job.filesWritten.push_back(csvPath);
  } else if (csv < 0) {
    ShowMessage(job.ui, kMbIconWarning, "Cannot Open %s: %s", csvPath.c_str(), SystemErrorText(errno).c_str());
  } else {
    ReportSystemError(job.ui, "Error writing", csvPath);
    written = false;
  }
  std::string tidyPath;
  std::vector<double> zScores;
  for (const GenotypeZScore& score : scores) zScores.push_back(score.z);
  if (WritePosteriorsTable(run, tally, total, job.ui, tidyPath, &zScores) == 1)
    job.filesWritten.push_back(tidyPath);
  else
    written = false;
  return written ? 1 : 0;
}

}  // namespace mixora
