#include "file_pickers.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QDesktopServices>
#include <QLabel>
#include <QUrl>


#include "core/file_helpers.h"

namespace mixora::gui {

namespace {

FilePickers QtPickers() {
  FilePickers p;
  p.openFile = [](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, start, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
  };
  p.openFiles = [](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, start, filter, nullptr,
                                         QFileDialog::DontUseNativeDialog);
  };
  p.saveFile = [](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
    // The windows ask before replacing a file themselves, in the program's
    // own words.
    return QFileDialog::getSaveFileName(parent, title, start, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog |
                                            QFileDialog::DontConfirmOverwrite);
  };
  p.folder = [](QWidget* parent, const QString& title, const QString& start) {
    return ChooseFolder(parent, title, start);
  };
  p.openExternally = [](const QString& target) {
    const QUrl url = target.contains("://") ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
  };
  return p;
}

}  // namespace

FilePickers& Pickers() {
  static FilePickers pickers = QtPickers();
  return pickers;
}

void ResetPickers() { Pickers() = QtPickers(); }

void OpenInTextEditor(const Interaction& ui, const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isFile() || !Pickers().openExternally(path))
    ShowMessage(ui, kMbIconWarning, "Cannot Open %s", path.toLocal8Bit().constData());
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
  QFileDialog dialog(parent, title, start);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
  auto* space = new QLabel(&dialog);
  space->setObjectName("freeSpace");
  auto show = [space](const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
      space->setText("Select a folder below");
      return;
    }
    space->setText(QString::fromStdString(FolderSpaceText(folder.toStdString())));
  };
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(space, grid->rowCount(), 0, 1, grid->columnCount());
  QObject::connect(&dialog, &QFileDialog::currentChanged, space, show);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, space, show);
  show(start);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return dialog.selectedFiles().first();
}

}  // namespace mixora::gui
