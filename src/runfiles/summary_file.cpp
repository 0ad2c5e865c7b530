#include "runfiles/summary_file.h"

#include <sys/resource.h>

#include <cinttypes>
#include <cstdarg>
#include <ctime>

#include "core/c_locale.h"
#include "core/version.h"
#include "input/control.h"
#include "runfiles/baseline_priors.h"

namespace mixora {
namespace {


void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) out.append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
}

char Flag(int32_t value) { return value != 0 ? 'T' : 'F'; }

int WriteText(const RunRecord& run, const std::string& text) {
  if (run.summary == nullptr) return 0;
  return std::fwrite(text.data(), 1, text.size(), run.summary) == text.size() ? 1 : 0;
}

// The identifier of stock s's group at the first level (the stored
// identifier; after ReadRunControl the level holds positions).
int32_t FirstLevelGroupId(const RunRecord& run, std::size_t s) {
  if (run.groupAt.empty() || s >= run.groupAt[0].size()) return 0;
  const int32_t at = run.groupAt[0][s];
  if (!run.levelGroupId.empty() && at >= 0 &&
      static_cast<std::size_t>(at) < run.levelGroupId[0].size())
    return run.levelGroupId[0][at];
  return at;
}

}  // namespace

std::string FormatDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return FormatDateTimeC(local);
}

std::string FormatDuration(uint64_t hundredths) {
  uint64_t s = hundredths / 100;
  if (hundredths % 100 > 50) s += 1;
  const uint64_t days = s / 86400, h = (s % 86400) / 3600, m = (s % 3600) / 60, sec = s % 60;
  char text[64];
  if (days > 0)
    std::snprintf(text, sizeof text, "%" PRIu64 " %02" PRIu64 ":%02" PRIu64 ":%02" PRIu64, days,
                  h, m, sec);
  else if (h > 0)
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64, h, m, sec);
  else
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64, m, sec);
  return text;
}

uint32_t ProcessCpuTime() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  const int64_t micro = (static_cast<int64_t>(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) *
                            1000000 +
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  return static_cast<uint32_t>(micro / 10000);
}

std::string FormatSummaryHead(const RunRecord& run, const std::string& dateTime) {
  const RunSettings& set = run.settings;
  std::string out;
  Append(out, "%s %s - %s\r\n", kProgramName, kProgramVersion, dateTime.c_str());
  out += "---FOLLOWING ANALYSIS FOR STOCK COMPOSITION IS PRODUCED BY A BAYESIAN ROUTINE---\r\n\r\n";
  Append(out, "Title of Run:  %s\r\n", GetField(set.Title).c_str());
  out += std::string(80, '*') + "\r\n\r\n";
  Append(out, "Baseline File:  %s\r\n", GetField(set.BaselineFile).c_str());
  Append(out, "Mixture File:   %s\r\n", GetField(set.MixtureFile).c_str());
  Append(out, "Output Folder:  %s\r\n", GetField(set.OutputFolder).c_str());
  out += "\r\n";
  out += " ---------OPTIONS SELECTED-----------\r\n";
  Append(out, "Baseline File Printed:        %c\r\n", Flag(set.PrintBaseline));
  Append(out, "Mixture File Printed:         %c\r\n", Flag(set.PrintMixture));
  out += "\r\n -----------CONTROL PARAMETERS-----------\r\n";
  Append(out, "# of Chains:                       %4d\r\n", set.NumberOfChains);
  Append(out, "# of stocks in analysis:           %4d\r\n", set.NumberOfStocks);
  Append(out, "# of characters in analysis:       %4d\r\n", set.NumberOfChars);
  Append(out, "MCMC sample size:                %6d\r\n", set.NumberOfReps);
  Append(out, "Seed1:                        %9d\r\n", set.Seed1);
  Append(out, "Seed2:                        %9d\r\n", set.Seed2);
  Append(out, "PRNG:                           %s\r\n", set.RanGen == 1 ? "MT19937" : "RandLib");
  Append(out, "\r\nThinning interval for stock composition: %d\r\n", set.ThinIse);
  Append(out, "Thinning interval for stock assignment of mixture individuals: %d\r\n", set.ThinSta);
  out += "\r\n-CHARACTERS USED-\r\n    CHARACTER      KIND   # TYPES OR ALLELES        ID#\r\n";
  for (std::size_t c = 0; c < run.charNames.size(); ++c) {
    const int32_t kind = c < run.isLocus.size() ? run.isLocus[c] : 0;
    const int32_t alleles = c < run.alleleCount.size() ? run.alleleCount[c] : 0;
    const int32_t id = c < run.charId.size() ? run.charId[c] : 0;
    Append(out, " %-18.18s  %c          %3d                %3d\r\n", run.charNames[c].c_str(),
           Flag(kind), alleles, id);
  }
  out += "\r\n";
  for (int32_t level = 1; level <= set.Levels; ++level) {
    const std::size_t at = static_cast<std::size_t>(level - 1);
    const int32_t groups = at < run.levelGroupCount.size() ? run.levelGroupCount[at] : 0;
    Append(out, "Level %d groups:              %4d\r\n", level, groups);
  }
  Append(out, "\r\nStarting Stock IDs:           %s\r\n",
         FormatStartStocks(RunStartStocks(set)).c_str());
  out += "\r\n----------STOCKS USED IN ANALYSIS-----------\r\n";
  out += "GROUP COUNT   ID#     POPULATION          PRIOR DD PARAMETERS\r\n";
  for (std::size_t s = 0; s < run.stockNames.size(); ++s) {
    const int32_t id = s < run.stockId.size() ? run.stockId[s] : 0;
    const double prior = s < run.beta.size() ? run.beta[s] : 0.0;
    Append(out, "%4d   %3d    %3d     %-18.18s  %7.6lf\r\n", FirstLevelGroupId(run, s),
           static_cast<int>(s + 1), id, run.stockNames[s].c_str(), prior);
  }
  out += FormatGroupInfo(run);
  return out;
}

std::string FormatGroupInfo(const RunRecord& run) {
  std::string out = "GROUPINFO\r\n";
  for (std::size_t level = 0; level < run.levelGroupId.size(); ++level) {
    const auto& ids = run.levelGroupId[level];
    for (std::size_t g = 0; g < ids.size(); ++g) {
      const std::string name =
          level < run.levelGroupNames.size() && g < run.levelGroupNames[level].size()
              ? run.levelGroupNames[level][g]
              : std::string();
      Append(out, "%d %d %s\r\n", static_cast<int>(level + 1), ids[g], name.c_str());
    }
  }
  return out;
}

int WriteSummaryHead(const RunRecord& run) {
  return WriteText(run, FormatSummaryHead(run, FormatDateTime()));
}

int WriteGroupInfo(const RunRecord& run) { return WriteText(run, FormatGroupInfo(run)); }

std::string FormatSessionEnded(const std::string& dateTime, uint64_t cpu) {
  return "Session ended: " + dateTime + ", CPU: " + FormatDuration(cpu) + "\r\n";
}

}  // namespace mixora
