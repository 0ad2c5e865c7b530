// Runs the desktop program's test classes: all of them, or the one named by
// --class NAME (further arguments go to Qt Test).
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine_locale.h"
#include "gui_test_support.h"

int main(int argc, char** argv) {
  // Offscreen unless a display was chosen on purpose, so a run under a real
  // X server still works.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  mixora::gui::KeepEngineNumbersInTheCLocale();

  std::string only;
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc)
      only = argv[++i];
    else
      rest.push_back(argv[i]);
  }
  int failures = 0;
  bool found = false;
  for (const auto& [name, factory] : mixora::gui_test::TestRegistry()) {
    if (!only.empty() && name != only) continue;
    found = true;
    QObject* test = factory();
    failures += QTest::qExec(test, static_cast<int>(rest.size()), rest.data());
    delete test;
  }
  if (!found) {
    std::fprintf(stderr, "no test class %s\n", only.c_str());
    return 2;
  }
  return failures == 0 ? 0 : 1;
}
