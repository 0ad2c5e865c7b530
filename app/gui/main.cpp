// The desktop program: mixora-gui [RUN.rcf], or mixora-gui --screenshot
// FILE.png [RUN.rcf] to render the main window to a picture and exit.
#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "chart_pane_hookup.h"
#include "engine_locale.h"
#include "main_window.h"
#include "window_picture.h"

namespace {

int gSignalPipe[2] = {-1, -1};

// Only a write is safe here; the window honours the request on its own
// thread.
void OnTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mixora::gui::KeepEngineNumbersInTheCLocale();
  QApplication::setApplicationName("Mixora");
  QStringList args = QApplication::arguments();
  args.removeFirst();
  QString picture;
  if (!args.isEmpty() && args.first() == "--screenshot") {
    if (args.size() < 2) {
      std::fprintf(stderr, "mixora-gui: --screenshot needs the name of a PNG file\n");
      return 2;
    }
    picture = args[1];
    args = args.mid(2);
  }
  if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith("--"))) {
    std::fprintf(stderr, "usage: mixora-gui [RUN.rcf]\n       mixora-gui --screenshot FILE.png [RUN.rcf]\n");
    return 2;
  }

  mixora::gui::MainWindow window;
  mixora::gui::AttachChartPane(window);
  if (!picture.isEmpty()) {
    if (!args.isEmpty() && !window.openRunFile(args.first())) return 1;
    window.show();
    if (!mixora::gui::SaveWindowPicture(window, picture)) {
      std::fprintf(stderr, "mixora-gui: cannot write %s\n", picture.toLocal8Bit().constData());
      return 1;
    }
    return 0;
  }

  if (pipe(gSignalPipe) == 0) {
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
      char byte = 0;
      [[maybe_unused]] ssize_t n = read(gSignalPipe[0], &byte, 1);
      notifier->setEnabled(false);
      window.honourShutdown();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
  }
  // The end of the desktop session is a shutdown too.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.honourShutdown(); });

  window.show();
  if (!args.isEmpty()) {
    const QString path = args.first();
    QTimer::singleShot(0, &window, [&window, path] { window.openRunFile(path); });
  }
  return QApplication::exec();
}
