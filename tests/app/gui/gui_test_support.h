#pragma once
// What the desktop program's tests share: a registry of test classes, runs
// prepared by the command line in scratch folders, a guard that answers the
// modal windows a command opens, and pictures of windows.
#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace mixora::gui_test {

// Test classes register themselves; the test main runs one or all.
using TestFactory = std::function<QObject*()>;
std::map<std::string, TestFactory>& TestRegistry();
struct RegisterTest {
  RegisterTest(const char* name, TestFactory factory) { TestRegistry()[name] = std::move(factory); }
};
#define MIXORA_GUI_TEST(Class) \
  static ::mixora::gui_test::RegisterTest register_##Class(#Class, [] { return new Class; });

// A copy of a run's input files in a fresh scratch folder, with keywords of
// its control file replaced, loaded by `mixora load` into a run control file.
struct PreparedRun {
  PreparedRun() = default;
  PreparedRun(PreparedRun&& other) noexcept;
  PreparedRun& operator=(PreparedRun&&) = delete;
  ~PreparedRun();  // removes the folder
  std::filesystem::path folder;
  std::filesystem::path rcf;  // empty when the load failed
  std::string loadOutput;
};
// source: a folder of inputs; control: the control file's name in it;
// keywords: name -> new value.
PreparedRun PrepareRun(const std::filesystem::path& source, const std::string& control,
                       const std::map<std::string, std::string>& keywords, const std::string& tag);
// The example run, small enough to sample in a moment.
PreparedRun PrepareExampleRun(const std::string& tag, int reps = 200, int chains = 4);
// The small three-mixture fixture.
PreparedRun PrepareSmallRun(const std::string& tag, int chains = 2);

// Runs the command-line program in folder; returns its exit code.
int RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args,
           std::string* output = nullptr);

std::string ReadBytes(const std::filesystem::path& path);

// Answers modal windows as they open: every message box is recorded and
// answered by the first matching rule (by default OK / the close answer);
// other modal windows go to their own handler. After `guardMs` without the
// test finishing, every modal window is closed and the test is failed, so
// nothing can hang.
class ModalAnswerer : public QObject {
  Q_OBJECT
 public:
  explicit ModalAnswerer(int guardMs = 120000);
  ~ModalAnswerer() override;

  // Answer a box whose text contains `text` with button `answer`.
  void answer(const QString& text, int answer);
  // Handle any other modal window (return true when handled).
  void onModal(std::function<bool(QWidget*)> handler) { modal_ = std::move(handler); }
  // Texts of every message box seen, in order, and their titles.
  QStringList texts;
  QStringList titles;
  bool sawText(const QString& text) const;
  bool guardFired() const { return guardFired_; }

 private:
  void poll();
  struct Rule {
    QString text;
    int answer;
  };
  std::vector<Rule> rules_;
  std::function<bool(QWidget*)> modal_;
  QTimer* timer_ = nullptr;
  QTimer* guard_ = nullptr;
  bool guardFired_ = false;
};

// Saves a picture of the widget into the build tree's picture folder.
void SavePicture(QWidget& widget, const QString& name);

}  // namespace mixora::gui_test
