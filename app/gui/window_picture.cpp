#include "window_picture.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

namespace mixora::gui {

bool SaveWindowPicture(QWidget& widget, const QString& path) {
  QApplication::processEvents();
  widget.adjustSize();
  widget.resize(widget.size().expandedTo(widget.minimumSizeHint()));
  QApplication::processEvents();
  return widget.grab().save(path, "PNG");
}

}  // namespace mixora::gui
