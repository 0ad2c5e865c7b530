#include "reports/tidy_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "reports/report_job.h"
#include "reports/run_reports.h"

namespace mixora {

namespace {

const std::string& NameOr(const std::vector<std::string>& names, std::size_t i) {
  static const std::string none;
  return i < names.size() ? names[i] : none;
}

// "q2.5" for 0.025: the column name of a quantile.
std::string QuantileColumn(double q) {
  char text[32];
  std::snprintf(text, sizeof text, "q%g", q * 100.0);
  return text;
}

// The whole table replaces the earlier one only once it is complete on disk.
int WriteTable(const std::string& path, const std::string& text, const Interaction& ui) {
  if (WriteWholeFile(path, text) == 1) return 1;
  ReportSystemError(ui, "Error writing", path);
  return 0;
}

void AppendRows(std::string& out, const std::string& mixture, const std::string& level,
                const CompositionEstimates& estimates) {
  for (const CompositionEstimate& row : estimates.rows) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers, "%.6f,%.6f,%.6f,%.6f,%.6f,%.6f", row.mean, row.sd,
                  row.median, row.lower, row.upper, row.probPresent);
    out += CsvField(mixture) + "," + level + "," + CsvField(row.name) + "," + numbers + "\r\n";
  }
}

}  // namespace

std::string TidyTablePath(const RunRecord& run, const char* suffix) {
  return JoinPath(FolderOf(run.controlPath), RunTitleOf(run) + suffix);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

int WriteEstimatesTable(RunRecord& run, const Interaction& ui, std::string& path) {
  path = TidyTablePath(run, "_estimates.csv");
  CompositionEstimates byStock;
  if (!ComputeCompositionEstimates(run, ui, false, 0, byStock)) return 0;
  char threshold[32];
  std::snprintf(threshold, sizeof threshold, "%g", kPresenceThreshold);
  std::string text = "mixture,level,name,mean,sd,median," +
                     QuantileColumn(byStock.lowerQuantile) + "," +
                     QuantileColumn(byStock.upperQuantile) + ",p_above_" + threshold + "\r\n";
  const std::string mixture = RunTitleOf(run);
  AppendRows(text, mixture, "stock", byStock);
  for (int level = 0; level < run.settings.Levels; ++level) {
    CompositionEstimates groups;
    if (!ComputeCompositionEstimates(run, ui, true, level, groups)) return 0;
    AppendRows(text, mixture, "group" + std::to_string(level + 1), groups);
  }
  return WriteTable(path, text, ui);
}

int WritePosteriorsTable(const RunRecord& run, const AssignmentTally& tally, uint64_t total,
                         const Interaction& ui, std::string& path,
                         const std::vector<double>* zScores) {
  path = TidyTablePath(run, "_posteriors.csv");
  const int levels = static_cast<int>(std::min<std::size_t>(
      static_cast<std::size_t>(std::max(run.settings.Levels, 0)), run.groupAt.size()));
  std::string head = "mixture,fish,stock";
  for (int level = 0; level < levels; ++level) head += ",group" + std::to_string(level + 1);
  head += zScores != nullptr ? ",posterior,z_score\r\n" : ",posterior\r\n";
  std::string text = head;
  const std::string mixture = CsvField(RunTitleOf(run));
  for (uint32_t i = 0; i < tally.individuals; ++i) {
    const std::string fish = CsvField(NameOr(run.fishNames, i));
    for (uint32_t s = 0; s < tally.stocks; ++s) {
      const double p = total == 0 ? 0.0
                                  : static_cast<double>(tally.At(i, s).count) /
                                        static_cast<double>(total);
      std::string row = mixture + "," + fish + "," + CsvField(NameOr(run.stockNames, s));
      for (int level = 0; level < levels; ++level) {
        const auto& positions = run.groupAt[static_cast<std::size_t>(level)];
        const int32_t at = s < positions.size() ? positions[s] : -1;
        const std::string group =
            at >= 0 && static_cast<std::size_t>(level) < run.levelGroupNames.size()
                ? NameOr(run.levelGroupNames[static_cast<std::size_t>(level)],
                         static_cast<std::size_t>(at))
                : std::string();
        row += "," + CsvField(group);
      }
      char number[32];
      std::snprintf(number, sizeof number, ",%.6f", p);
      row += number;
      if (zScores != nullptr) {
        const double z = i < zScores->size() ? (*zScores)[i] : std::nan("");
        if (std::isnan(z)) {
          row += ",NA";
        } else {
          std::snprintf(number, sizeof number, ",%.4f", z);
          row += number;
        }
      }
      row += "\r\n";
      text += row;
    }
  }
  return WriteTable(path, text, ui);
}

}  // namespace mixora
