#pragma once
// Puts the chart pane beside the chain panel and the charts on the Reports
// menu.
class QAction;
class QString;

namespace mixora::charts {
class ChartPane;
}

namespace mixora::gui {

class MainWindow;

struct ChartHookup {
  charts::ChartPane* pane = nullptr;
  QAction* saveCharts = nullptr;  // Reports / "Save Charts as Pictures"
  // Reports / "Save Assessment Charts as Pictures...": asks for the
  // self-assignment table of a baseline assessment.
  QAction* saveAssessmentCharts = nullptr;
};

// The pane follows the window's open mixture and refreshes every Timer
// milliseconds (at least once a second) from the blocks the chains have
// committed, so it never waits on a chain.
ChartHookup AttachChartPane(MainWindow& window);

// Writes every chart of the open mixture as SVG beside the run, asking
// before replacing a picture; the status line tells how many were written.
// Returns the number written.
int SaveChartPictures(MainWindow& window);

// Writes the charts of the baseline assessment whose tables `mixora assess`
// wrote (tablePath is its <name>_selfassign.csv) as SVG beside the tables,
// asking before replacing a picture; a table that cannot be read is shown
// in a message box. Returns the number written.
int SaveAssessmentPictures(MainWindow& window, const QString& tablePath);

}  // namespace mixora::gui
