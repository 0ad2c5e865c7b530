#pragma once
// The tool windows, help, About and citation of the main window: each
// command gets its handler here, so the main window knows them only by their
// identifiers.

namespace mixora::gui {

class MainWindow;

void InstallToolWindows(MainWindow& window);

}  // namespace mixora::gui
