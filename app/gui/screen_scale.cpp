#include "screen_scale.h"

#include <QGuiApplication>
#include <QScreen>

namespace mixora::gui {

int Px(int pixelsAt96Dpi) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
  return static_cast<int>(pixelsAt96Dpi * dpi / 96.0 + 0.5);
}

}  // namespace mixora::gui
