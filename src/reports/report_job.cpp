#include "reports/report_job.h"

#include <algorithm>

#include "input/control.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "sampler/restart_file.h"

namespace mixora {

namespace {

const char* const kDisplayNames[kReportKindCount] = {
    "Stock Assignments", "Stock Compositions", "Gelman-Rubin Diagnostic",
    "Raftery-Lewis Diagnostic", "Converting Files"};

// The record count of a sample file's header; 0 when it cannot be read.
uint32_t HeaderRecordCount(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  SampleFileHeader header;
  const int ok = CheckSampleMagic(file, header);
  std::fclose(file);
  return ok ? header.recordCount : 0;
}

}  // namespace

ReportJob::~ReportJob() {
  if (worker.joinable()) worker.join();
  if (out != nullptr) std::fclose(out);
}

const char* ReportDisplayName(int kind) {
  return kind >= 0 && kind < kReportKindCount ? kDisplayNames[kind] : "";
}

int32_t DiscardCount(int32_t length, int32_t numberToKeep) {
  int32_t discard = numberToKeep >= 0 ? length - numberToKeep : length / 2;
  return discard < 0 ? 0 : discard;
}

void ReadChainTotals(const RunRecord& run, std::vector<uint32_t>& compositionTotals,
                     std::vector<uint32_t>& assignmentTotals) {
  const int chains = run.settings.NumberOfChains > 0 ? run.settings.NumberOfChains : 0;
  compositionTotals.assign(static_cast<std::size_t>(chains), 0);
  assignmentTotals.assign(static_cast<std::size_t>(chains), 0);
  for (int c = 0; c < chains; ++c) {
    RestartChainValues values;
    const std::string restart = BuildRunFileName(run, c, kNoReport, kNoGroup, kExtRestart);
    if (ReadRestartChainValues(restart, values) && values.compositionTotal >= 0 &&
        values.assignmentTotal >= 0) {
      compositionTotals[c] = static_cast<uint32_t>(values.compositionTotal);
      assignmentTotals[c] = static_cast<uint32_t>(values.assignmentTotal);
      continue;
    }
    compositionTotals[c] =
        HeaderRecordCount(BuildRunFileName(run, c, kNoReport, kNoGroup, kExtComposition));
    assignmentTotals[c] =
        HeaderRecordCount(BuildRunFileName(run, c, kNoReport, kNoGroup, kExtAssignments));
  }
}

void PrepareReportJob(ReportJob& job) {
  const RunRecord& run = *job.run;
  const std::size_t chains =
      static_cast<std::size_t>(run.settings.NumberOfChains > 0 ? run.settings.NumberOfChains : 0);
  if (job.compositionTotals.size() != chains || job.assignmentTotals.size() != chains)
    ReadChainTotals(run, job.compositionTotals, job.assignmentTotals);
  // A count beyond the signed range cannot be a real chain; it reads as
  // empty, and the loaders then name the file that is short.
  const uint32_t first = job.compositionTotals.empty() ? 0 : job.compositionTotals[0];
  job.length = first > 0x7FFFFFFFu ? 0 : static_cast<int32_t>(first);
  job.discard = DiscardCount(job.length, run.settings.NumberToKeep);
}

uint32_t AssignmentDiscard(const ReportJob& job) {
  const RunSettings& s = job.run->settings;
  if (s.ThinIse == s.ThinSta || s.ThinIse < 1 || s.ThinSta < 1)
    return static_cast<uint32_t>(job.discard);
  const uint64_t records = static_cast<uint64_t>(job.discard) * static_cast<uint64_t>(s.ThinIse) /
                           static_cast<uint64_t>(s.ThinSta);
  return records > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(records);
}

int MakeLevelCurrent(ReportJob& job, int level) {
  const RunRecord& run = *job.run;
  job.level = level;
  job.groupOfStock.clear();
  job.groupIds.clear();
  job.groupNames.clear();
  job.groupCount = 0;
  const std::size_t at = static_cast<std::size_t>(level);
  if (level < 0 || at >= run.groupAt.size() || at >= run.levelGroupCount.size() ||
      at >= run.levelGroupId.size() || at >= run.levelGroupNames.size())
    return 0;
  job.groupOfStock = run.groupAt[at];
  job.groupCount = run.levelGroupCount[at];
  job.groupIds = run.levelGroupId[at];
  job.groupNames = run.levelGroupNames[at];
  job.groupIds.resize(static_cast<std::size_t>(std::max(job.groupCount, 0)), 0);
  job.groupNames.resize(static_cast<std::size_t>(std::max(job.groupCount, 0)));
  if (job.groupOfStock.size() != static_cast<std::size_t>(std::max(run.settings.NumberOfStocks, 0)))
    return 0;
  for (int32_t g : job.groupOfStock)
    if (g < 0 || g >= job.groupCount) return 0;
  return 1;
}

void PumpMessages(ReportJob& job) {
  if (job.pump) job.pump();
}

bool ReportAborted(ReportJob& job) {
  PumpMessages(job);
  return job.abort.load(std::memory_order_relaxed) != 0;
}

void ReportJobProgress(ReportJob& job, int64_t done, int64_t total, const std::string& text) {
  if (done < 0) {
    job.lastPercent = -1;
    ReportProgress(job.ui, text, 0, total);
    return;
  }
  const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
  if (done != total && percent == job.lastPercent) return;
  ReportProgress(job.ui, text, done, total);
  job.lastPercent = percent;
}

void ShowLabel(ReportJob& job, const std::string& text) {
  if (job.display.label) job.display.label(text);
}
void ShowUnit(ReportJob& job, const std::string& text) {
  if (job.display.unit) job.display.unit(text);
}
void ShowCurrentFile(ReportJob& job, const std::string& text) {
  if (job.display.currentFile) job.display.currentFile(text);
}
void ShowReportStatus(ReportJob& job, const std::string& text) {
  if (job.display.status) job.display.status(text);
}

std::string RunTitleOf(const RunRecord& run) {
  return run.runTitle.empty() ? GetField(run.settings.Title) : run.runTitle;
}

}  // namespace mixora
