#pragma once
// The tables `mixora assess` writes, read back for the assessment charts, so
// a chart shows the very numbers of the tables beside it:
//   <prefix>_selfassign.csv         per stock and group: fish, share, mean
//   <prefix>_confusion.csv          fish by true and assigned unit
//   <prefix>_simulated.csv          per group: bias, RMSE, coverage (optional)
//   <prefix>_simulated_mixtures.csv per mixture and group (optional)
#include <string>

#include "assessment/self_assignment.h"
#include "assessment/simulated_assessment.h"

namespace mixora {

struct AssessmentTables {
  std::string prefix;               // the path before "_selfassign.csv"
  SelfAssignment selfAssignment;    // levels only, no per-fish posteriors
  SimulatedAssessment simulated;    // empty when no simulation was run
};

// The prefix of a self-assignment table's path; empty when the name does
// not end in "_selfassign.csv".
std::string AssessmentPrefixOf(const std::string& selfAssignPath);

// Reads the tables beside `selfAssignPath`. Returns 1, or 0 with `error`
// naming the file, the line and the problem.
int ReadAssessmentTables(const std::string& selfAssignPath, AssessmentTables& out,
                         std::string& error);

}  // namespace mixora
