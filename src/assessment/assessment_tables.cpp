#include "assessment/assessment_tables.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "core/c_locale.h"
#include "formats/genotype_table_import.h"

namespace mixora {
namespace {

constexpr const char* kSelfAssignSuffix = "_selfassign.csv";

struct Table {
  std::string path;
  std::vector<DelimitedRow> rows;  // without the header
};

std::string At(const Table& table, const DelimitedRow& row, const std::string& problem) {
  return table.path + ", line " + std::to_string(row.line) + ": " + problem;
}

// Reads a table whose header must be `header`; absent tables are an error
// only when `required`.
int ReadTable(const std::string& path, const std::string& header, bool required, Table& table,
              std::string& error) {
  table.path = path;
  if (!std::ifstream(path, std::ios::binary)) {
    if (required) error = "Cannot read " + path;
    return required ? 0 : -1;
  }
  std::vector<DelimitedRow> rows;
  if (!ReadDelimitedFile(path, rows, error)) return 0;
  std::string first;
  if (!rows.empty())
    for (std::size_t i = 0; i < rows[0].fields.size(); ++i)
      first += (i ? "," : "") + rows[0].fields[i];
  if (rows.empty() || first != header) {
    error = path + ", line 1: the header is not \"" + header + "\"";
    return 0;
  }
  const std::size_t columns = rows[0].fields.size();
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].fields.size() == 1 && rows[r].fields[0].empty()) continue;
    if (rows[r].fields.size() != columns) {
      error = At(table, rows[r],
                 std::to_string(rows[r].fields.size()) + " fields where the header has " +
                     std::to_string(columns));
      return 0;
    }
    table.rows.push_back(rows[r]);
  }
  return 1;
}

bool Number(const Table& table, const DelimitedRow& row, std::size_t column, double& value,
            std::string& error) {
  const std::string& text = row.fields[column];
  char* end = nullptr;
  errno = 0;
  value = StrtodC(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE) {
    error = At(table, row, "\"" + text + "\" is not a number");
    return false;
  }
  return true;
}

int UnitIndex(const SelfAssignmentLevel& level, const std::string& name) {
  for (std::size_t u = 0; u < level.rows.size(); ++u)
    if (level.rows[u].name == name) return static_cast<int>(u);
  return -1;
}

bool ReadSelfAssignment(const std::string& prefix, SelfAssignment& out, std::string& error) {
  Table summary;
  if (ReadTable(prefix + kSelfAssignSuffix, "level,name,fish,correct_share,mean_own_probability",
                true, summary, error) != 1)
    return false;
  for (const DelimitedRow& row : summary.rows) {
    if (out.levels.empty() || out.levels.back().level != row.fields[0]) {
      for (const SelfAssignmentLevel& level : out.levels)
        if (level.level == row.fields[0]) {
          error = At(summary, row, "the rows of level \"" + row.fields[0] + "\" are not together");
          return false;
        }
      out.levels.push_back(SelfAssignmentLevel{row.fields[0], {}, {}});
    }
    SelfAssignmentRow unit;
    unit.name = row.fields[1];
    double fish = 0.0;
    if (!Number(summary, row, 2, fish, error) || !Number(summary, row, 3, unit.shareOwn, error) ||
        !Number(summary, row, 4, unit.meanOwn, error))
      return false;
    unit.fish = static_cast<int32_t>(fish);
    out.levels.back().rows.push_back(unit);
  }
  if (out.levels.empty()) {
    error = summary.path + ": no rows";
    return false;
  }
  for (SelfAssignmentLevel& level : out.levels)
    level.confusion.assign(level.rows.size() * level.rows.size(), 0);

  Table confusion;
  if (ReadTable(prefix + "_confusion.csv", "level,true,assigned,fish", true, confusion, error) != 1)
    return false;
  for (const DelimitedRow& row : confusion.rows) {
    SelfAssignmentLevel* level = nullptr;
    for (SelfAssignmentLevel& l : out.levels)
      if (l.level == row.fields[0]) level = &l;
    if (level == nullptr) {
      error = At(confusion, row, "level \"" + row.fields[0] + "\" is not in " + summary.path);
      return false;
    }
    const int t = UnitIndex(*level, row.fields[1]), u = UnitIndex(*level, row.fields[2]);
    if (t < 0 || u < 0) {
      error = At(confusion, row,
                 "\"" + row.fields[t < 0 ? 1 : 2] + "\" is not a unit of " + row.fields[0]);
      return false;
    }
    double fish = 0.0;
    if (!Number(confusion, row, 3, fish, error)) return false;
    level->confusion[static_cast<std::size_t>(t) * level->rows.size() + u] =
        static_cast<int32_t>(fish);
  }
  return true;
}

// The simulated tables are optional together: both or neither.
int ReadSimulated(const std::string& prefix, SimulatedAssessment& out, std::string& error) {
  Table summary;
  const int found = ReadTable(prefix + "_simulated.csv",
                              "group,mean_truth,mean_estimate,bias,rmse,coverage95", false,
                              summary, error);
  if (found != 1) return found;
  for (const DelimitedRow& row : summary.rows) {
    SimulatedGroupRow group;
    group.group = row.fields[0];
    if (!Number(summary, row, 1, group.meanTruth, error) ||
        !Number(summary, row, 2, group.meanEstimate, error) ||
        !Number(summary, row, 3, group.bias, error) || !Number(summary, row, 4, group.rmse, error) ||
        !Number(summary, row, 5, group.coverage, error))
      return 0;
    out.rows.push_back(group);
  }
  Table mixtures;
  const int perMixture = ReadTable(prefix + "_simulated_mixtures.csv",
                                   "mixture,group,truth,estimate,lower95,upper95", false,
                                   mixtures, error);
  if (perMixture != 1) return perMixture == 0 ? 0 : 1;
  const std::size_t G = out.rows.size();
  for (const DelimitedRow& row : mixtures.rows) {
    double m = 0.0;
    if (!Number(mixtures, row, 0, m, error)) return 0;
    if (m < 1.0 || m > 1e6) {
      error = At(mixtures, row, "mixture " + row.fields[0] + " is not counted from 1");
      return 0;
    }
    std::size_t g = 0;
    while (g < G && out.rows[g].group != row.fields[1]) ++g;
    if (g == G) {
      error = At(mixtures, row, "group \"" + row.fields[1] + "\" is not in " + summary.path);
      return 0;
    }
    const std::size_t index = static_cast<std::size_t>(m) - 1;
    if (out.mixtures.size() <= index) out.mixtures.resize(index + 1);
    SimulatedMixture& mix = out.mixtures[index];
    for (std::vector<double>* values : {&mix.truth, &mix.estimate, &mix.lower, &mix.upper})
      values->resize(G, 0.0);
    if (!Number(mixtures, row, 2, mix.truth[g], error) ||
        !Number(mixtures, row, 3, mix.estimate[g], error) ||
        !Number(mixtures, row, 4, mix.lower[g], error) ||
        !Number(mixtures, row, 5, mix.upper[g], error))
      return 0;
  }
  return 1;
}

}  // namespace

std::string AssessmentPrefixOf(const std::string& selfAssignPath) {
  const std::string suffix = kSelfAssignSuffix;
  if (selfAssignPath.size() <= suffix.size() ||
      selfAssignPath.compare(selfAssignPath.size() - suffix.size(), suffix.size(), suffix) != 0)
    return "";
  return selfAssignPath.substr(0, selfAssignPath.size() - suffix.size());
}

int ReadAssessmentTables(const std::string& selfAssignPath, AssessmentTables& out,
                         std::string& error) {
  out = AssessmentTables{};
  out.prefix = AssessmentPrefixOf(selfAssignPath);
  if (out.prefix.empty()) {
    error = selfAssignPath + ": not a self-assignment table of mixora assess (<name>" +
            kSelfAssignSuffix + ")";
    return 0;
  }
  if (!ReadSelfAssignment(out.prefix, out.selfAssignment, error)) return 0;
  return ReadSimulated(out.prefix, out.simulated, error) == 0 ? 0 : 1;
}

}  // namespace mixora
