#pragma once
// Writing the charts of one mixture of a run as picture files, named like
// the run's other outputs: "<title>_<chart>[_Grp<level>].<svg|png|pdf>".
#include <string>
#include <vector>

#include "chart_figure.h"
#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora::charts {

enum ChartKind : unsigned {
  kChartCompositions = 0x1,
  kChartTraces = 0x2,
  kChartConvergence = 0x4,
  kChartAssignments = 0x8,
  kChartAll = 0xF,
};

struct PlotRequest {
  unsigned kinds = kChartAll;
  bool byRegion = false;
  int level = -1;             // by region: one level (from 0), or -1 for every level
  PictureFormat format = PictureFormat::kSvg;
  std::string outFolder;      // empty: the folder of the run control file
  double foldBelow = 0.005;   // composition rows with a smaller mean are folded; 0 folds none
  int topTraces = 4;          // traces of the largest rows ...
  std::string traceRow;       // ... or of the row of this name
};

// The file a chart of the run goes to.
std::string ChartFilePath(const RunRecord& run, const std::string& outFolder,
                          const std::string& chart, int level, PictureFormat format);

// The title charts of the run carry.
std::string ChartTitle(const RunRecord& run);

// Writes the requested charts of the open mixture. An existing file is
// replaced only after "Overwrite %s" is answered yes (yesToAll holds for
// the rest of the call and the caller's later calls). A convergence chart
// needs two chains: for a one-chain run it is left out with a note when all
// kinds were asked for, and refused when it alone was. Every file written
// is added to `written`, every chart left out to `notes`. Returns 1 when
// everything asked for was written, else 0 with error naming the file and
// the problem (or a message was shown through ui).
int PlotMixture(RunRecord& run, const PlotRequest& request, const Interaction& ui,
                bool& yesToAll, std::vector<std::string>& written, std::vector<std::string>& notes,
                std::string& error);

}  // namespace mixora::charts
