#pragma once
// Every file and folder question the tool windows ask goes through these
// pickers, so that tests can answer them without a dialog.
#include <QString>
#include <QStringList>
#include <functional>

#include "core/interaction.h"

class QWidget;

namespace mixora::gui {

struct FilePickers {
  // An existing file to open; "" when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start,
                        const QString& filter)>
      openFile;
  // Several existing files; empty when cancelled.
  std::function<QStringList(QWidget* parent, const QString& title, const QString& start,
                            const QString& filter)>
      openFiles;
  // A file to write; "" when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start,
                        const QString& filter)>
      saveFile;
  // A folder; "" when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start)> folder;
  // Opens a file or page with the desktop's own program for it (the text
  // editor, the web browser); false when none could be started.
  std::function<bool(const QString& pathOrUrl)> openExternally;
};

// Opens an existing file in the user's text editor; "Cannot Open %s" when it
// is missing.
void OpenInTextEditor(const Interaction& ui, const QString& path);

// The pickers in use: Qt's own dialogs unless a test replaced them.
FilePickers& Pickers();
// Puts Qt's dialogs back.
void ResetPickers();

// The folder chooser: a folder dialog that shows, under its list, the free
// space of the selected folder. Returns the folder, or "" when cancelled.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace mixora::gui
