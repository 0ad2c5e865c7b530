#pragma once
// Pictures of windows for documentation and for looking at test states.
#include <QString>

class QWidget;

namespace mixora::gui {

// Lays the widget out, renders it and saves it as a PNG. Returns false when
// the file cannot be written.
bool SaveWindowPicture(QWidget& widget, const QString& path);

}  // namespace mixora::gui
