#include "tool_windows.h"

#include <QFileInfo>

#include "about_boxes.h"
#include "ascii_conversion_dialog.h"
#include "cleanup_dialog.h"
#include "command_ids.h"
#include "file_identification_dialog.h"
#include "file_pickers.h"
#include "genepop_dialog.h"
#include "load_workflow_dialog.h"
#include "main_window.h"
#include "run_control_dialog.h"
#include "simulation_dialog.h"
#include "tools/cleanup.h"
#include "formats/spam_control_convert.h"

namespace mixora::gui {

namespace {

// The load window; a run control file it wrote is opened as the run.
void LoadControlFileWindow(MainWindow& window, const QString& path) {
  LoadWorkflowDialog dialog(&window, window.interaction(), path);
  dialog.exec();
  if (!dialog.runControlFile().isEmpty() && QFileInfo(dialog.runControlFile()).isFile())
    window.openRunFile(dialog.runControlFile());
}

void ConvertSpamControlFilesWindow(MainWindow& window) {
  const QStringList files = Pickers().openFiles(&window, "Open Spam Control File", QString(),
                                                "SPAM Control Files (*.ctl)");
  if (files.isEmpty()) return;
  const QString folder = Pickers().folder(&window, "Enter output folder", QFileInfo(files.first()).absolutePath());
  if (folder.isEmpty()) return;
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(file.toStdString());
  ConvertSpamControlFiles(paths, folder.toStdString(), window.interaction());
}

void ConvertToAsciiWindow(MainWindow& window) {
  if (window.session().run == nullptr) return;
  AsciiConversionDialog dialog(&window, *window.session().run, window.runControlPath());
  if (dialog.exec() == QDialog::Accepted) window.convertOutputs(dialog.settings());
}

}  // namespace

void InstallToolWindows(MainWindow& window) {
  MainWindow* w = &window;
  const Interaction& ui = window.interaction();
  window.loadControlFile = [w](const QString& path) { LoadControlFileWindow(*w, path); };
  window.setCommandHandler(kCmdTcfToRcf, [w] { LoadControlFileWindow(*w, QString()); });
  window.setCommandHandler(kCmdRcfToTcf, [w, &ui] {
    RunControlDialog dialog(w, ui);
    dialog.exec();
  });
  window.setCommandHandler(kCmdSpamToTcf, [w] { ConvertSpamControlFilesWindow(*w); });
  window.setCommandHandler(kCmdCheckDataFiles, [w] {
    if (w->session().run == nullptr) return;
    FileIdentificationDialog dialog(w, *w->session().run);
    dialog.exec();
  });
  window.setCommandHandler(kCmdConvertToAscii, [w] { ConvertToAsciiWindow(*w); });
  window.setCommandHandler(kCmdGenepopToSpam, [w, &ui] {
    GenepopDialog dialog(w, ui);
    dialog.exec();
  });
  window.setCommandHandler(kCmdSimulations, [w, &ui] {
    SimulationDialog dialog(w, ui);
    dialog.exec();
  });
  window.setCommandHandler(kCmdCleanup, [w] {
    if (w->runControlPath().isEmpty()) return;
    CleanupDialog dialog(w, CleanupFolderOf(w->runControlPath().toStdString()));
    dialog.exec();
  });
  window.setCommandHandler(kCmdHelp, [&ui] { OpenManual(ui); });
  window.setCommandHandler(kCmdAbout, [&ui] { ShowMessage(ui, kMbOk, "%s", AboutText().toLocal8Bit().constData()); });
  window.setCommandHandler(kCmdCite, [w] {
    CitationDialog dialog(w);
    dialog.exec();
  });
}

}  // namespace mixora::gui
