#pragma once
// Puts the chart pane beside the chain panel and the charts on the Reports
// menu.
class QAction;

namespace mixora::charts {
class ChartPane;
}

namespace mixora::gui {

class MainWindow;

struct ChartHookup {
  charts::ChartPane* pane = nullptr;
  QAction* saveCharts = nullptr;  // Reports / "Save Charts as Pictures"
};

// The pane follows the window's open mixture and refreshes every Timer
// milliseconds (at least once a second) from the blocks the chains have
// committed, so it never waits on a chain.
ChartHookup AttachChartPane(MainWindow& window);

// Writes every chart of the open mixture as SVG beside the run, asking
// before replacing a picture; the status line tells how many were written.
// Returns the number written.
int SaveChartPictures(MainWindow& window);

}  // namespace mixora::gui
