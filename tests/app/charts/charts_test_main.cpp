// The chart tests draw with Qt, which needs an application object; they run
// without a display.
#include <gtest/gtest.h>

#include <QApplication>

// No LeakSanitizer suppressions here, on purpose. The leaks once reported
// were ours (the lines of an area series, which the series does not own).
// A suppression of a Qt library would hide far more than Qt's own caches:
// LeakSanitizer also passes over everything a suppressed block reaches, and
// every chart object's private data is allocated inside Qt, so a leaked
// series of our figures would go unreported.

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
