#include "plot_assessment.h"

#include <filesystem>
#include <system_error>

#include "assessment_figure.h"

namespace mixora::charts {
namespace {

std::string Base(const AssessmentTables& tables, const std::string& outFolder) {
  if (outFolder.empty()) return tables.prefix;
  return (std::filesystem::path(outFolder) / std::filesystem::path(tables.prefix).filename())
      .string();
}

}  // namespace

std::vector<std::string> AssessmentChartPaths(const AssessmentTables& tables,
                                              const std::string& outFolder,
                                              PictureFormat format) {
  const std::string base = Base(tables, outFolder);
  const std::string extension = std::string(".") + PictureExtension(format);
  std::vector<std::string> paths;
  int groupLevel = 0;
  for (const SelfAssignmentLevel& level : tables.selfAssignment.levels)
    paths.push_back(level.level == "stock"
                        ? base + "_SelfAssign_Stocks" + extension
                        : base + "_SelfAssign_Grp" + std::to_string(++groupLevel) + extension);
  if (!tables.simulated.rows.empty()) paths.push_back(base + "_Simulated" + extension);
  return paths;
}

int PlotAssessment(const AssessmentTables& tables, const std::string& outFolder,
                   PictureFormat format, const Interaction& ui, bool& yesToAll,
                   std::vector<std::string>& written, std::string& error) {
  error.clear();
  const std::vector<std::string> paths = AssessmentChartPaths(tables, outFolder, format);
  const QString title =
      QString::fromStdString(std::filesystem::path(tables.prefix).filename().string());
  const std::size_t levels = tables.selfAssignment.levels.size();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !AskOverwrite(ui, path, yesToAll)) {
      error = path + " exists and was not overwritten (use --overwrite to replace it)";
      return 0;
    }
    // Each figure is drawn just before it is written: a large baseline's
    // pages need not all be held at once.
    const ChartFigure figure = i < levels
                                   ? SelfAssignmentFigure(tables.selfAssignment.levels[i], title)
                                   : SimulatedAssessmentFigure(tables.simulated, title);
    QString problem;
    if (!SaveFigure(figure, QString::fromStdString(path), format, problem)) {
      error = problem.toStdString();
      return 0;
    }
    written.push_back(path);
  }
  return 1;
}

}  // namespace mixora::charts
