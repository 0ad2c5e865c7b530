#include "gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <fstream>
#include <regex>
#include <sstream>

#include "message_box.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"
#include "window_picture.h"

namespace fs = std::filesystem;

namespace mixora::gui_test {

std::map<std::string, TestFactory>& TestRegistry() {
  static std::map<std::string, TestFactory> registry;
  return registry;
}

std::string ReadBytes(const fs::path& path) { return testing_support::ReadFileBytes(path); }

int RunCli(const fs::path& folder, const std::vector<std::string>& args, std::string* output) {
  testing_support::CliResult result = testing_support::RunCli(folder, args);
  if (output != nullptr) *output = result.out + result.err;
  return result.exitCode;
}

PreparedRun PrepareRun(const fs::path& source, const std::string& control,
                       const std::map<std::string, std::string>& keywords, const std::string& tag) {
  PreparedRun run;
  run.folder = testing_support::NewTempFolder(tag);
  for (const auto& entry : fs::directory_iterator(source))
    if (entry.is_regular_file()) fs::copy(entry.path(), run.folder / entry.path().filename());
  std::string text = ReadBytes(run.folder / control);
  for (const auto& [name, value] : keywords) {
    const std::regex line("(^|\n)" + name + " *= *[^\r\n]*");
    if (std::regex_search(text, line))
      text = std::regex_replace(text, line, "$1" + name + " = " + value);
    else
      text = std::regex_replace(text, std::regex("\nChars ="), "\n" + name + " = " + value + "\nChars =");
  }
  std::ofstream(run.folder / control, std::ios::binary) << text;
  if (RunCli(run.folder, {"load", control}, &run.loadOutput) != 0) return run;
  for (const auto& entry : fs::recursive_directory_iterator(run.folder))
    if (entry.path().extension() == ".rcf") run.rcf = entry.path();
  return run;
}

PreparedRun PrepareExampleRun(const std::string& tag, int reps, int chains) {
  return PrepareRun(fs::path(MIXORA_EXAMPLES_DIR) / "tavrin", "tavrin.tcf",
                    {{"NumberOfReps", std::to_string(reps)},
                     {"NumberOfChains", std::to_string(chains)},
                     {"SaveEvery", "100"},
                     {"NumberToKeep", std::to_string(reps / 2)},
                     {"Timer", "100"}},
                    tag);
}

PreparedRun PrepareSmallRun(const std::string& tag, int chains) {
  return PrepareRun(fs::path(MIXORA_TEST_DATA_DIR) / "rcf", "small.tcf",
                    {{"NumberOfChains", std::to_string(chains)}}, tag);
}

ModalAnswerer::ModalAnswerer(int guardMs) {
  timer_ = new QTimer(this);
  timer_->setInterval(10);
  connect(timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
  timer_->start();
  guard_ = new QTimer(this);
  guard_->setSingleShot(true);
  connect(guard_, &QTimer::timeout, this, [this] {
    guardFired_ = true;
    // Close whatever is still open, so the test ends with a failure
    // instead of hanging.
    for (int i = 0; i < 20; ++i) {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) break;
      modal->close();
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(0);
    }
  });
  guard_->start(guardMs);
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::answer(const QString& text, int answer) { rules_.push_back({text, answer}); }

bool ModalAnswerer::sawText(const QString& text) const {
  for (const QString& t : texts)
    if (t.contains(text)) return true;
  return false;
}

void ModalAnswerer::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return;
  if (auto* box = qobject_cast<gui::MessageBoxDialog*>(modal)) {
    if (box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    texts << box->text();
    titles << box->windowTitle();
    int chosen = box->answer();
    for (const Rule& rule : rules_)
      if (box->text().contains(rule.text)) {
        chosen = rule.answer;
        break;
      }
    auto* button = box->findChild<QPushButton*>(QString("button_%1").arg(chosen));
    if (button != nullptr)
      button->click();
    else
      box->reject();
    return;
  }
  if (modal_) modal_(modal);
}

void SavePicture(QWidget& widget, const QString& name) {
  QDir().mkpath(MIXORA_GUI_PICTURES_DIR);
  gui::SaveWindowPicture(widget, QString(MIXORA_GUI_PICTURES_DIR) + "/" + name + ".png");
}

}  // namespace mixora::gui_test
