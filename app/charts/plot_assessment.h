#pragma once
// Writing the charts of a baseline self-assessment as picture files beside
// its tables: "<prefix>_SelfAssign_Stocks", "<prefix>_SelfAssign_Grp<level>"
// for every grouping level, and "<prefix>_Simulated" when mixtures were
// simulated.
#include <string>
#include <vector>

#include "chart_figure.h"
#include "core/interaction.h"
#include "assessment/assessment_tables.h"

namespace mixora::charts {

// The picture files of the assessment with the given table prefix; an
// outFolder that is not empty takes the place of the prefix's folder.
std::vector<std::string> AssessmentChartPaths(const AssessmentTables& tables,
                                              const std::string& outFolder,
                                              PictureFormat format);

// Writes every chart of the assessment. An existing file is replaced only
// after "Overwrite %s" is answered yes. Every file written is added to
// `written`. Returns 1, or 0 with error naming the file and the problem.
int PlotAssessment(const AssessmentTables& tables, const std::string& outFolder,
                   PictureFormat format, const Interaction& ui, bool& yesToAll,
                   std::vector<std::string>& written, std::string& error);

}  // namespace mixora::charts
