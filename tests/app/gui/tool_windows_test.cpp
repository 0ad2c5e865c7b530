// The tool windows driven as a user drives them, each checked against the
// command that does the same work: the files they write must be the same
// bytes. Refusals show in the window, and no window writes over an input.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "about_boxes.h"
#include "ascii_conversion_dialog.h"
#include "cleanup_dialog.h"
#include "command_ids.h"
#include "file_conversion_dialog.h"
#include "file_identification_dialog.h"
#include "file_pickers.h"
#include "genepop_dialog.h"
#include "gui_test_support.h"
#include "load_workflow_dialog.h"
#include "main_window.h"
#include "run_control_dialog.h"
#include "simulation_dialog.h"
#include "support/temp_folder.h"
#include "workflow_panes.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;
namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// A copy of the example inputs, not loaded.
fs::path CopyExample(const std::string& tag) {
  const fs::path folder = testing_support::NewTempFolder(tag);
  for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_EXAMPLES_DIR) / "tavrin"))
    if (entry.is_regular_file()) fs::copy(entry.path(), folder / entry.path().filename());
  return folder;
}

// Every file dialog answered by the test; nothing is opened outside it.
struct ScriptedPickers {
  QString open, save, folder;
  QStringList many;
  QStringList opened;  // what was handed to the desktop
  ScriptedPickers() {
    Pickers().openFile = [this](QWidget*, const QString&, const QString&, const QString&) { return open; };
    Pickers().openFiles = [this](QWidget*, const QString&, const QString&, const QString&) { return many; };
    Pickers().saveFile = [this](QWidget*, const QString&, const QString&, const QString&) { return save; };
    Pickers().folder = [this](QWidget*, const QString&, const QString&) { return folder; };
    Pickers().openExternally = [this](const QString& target) {
      opened << target;
      return true;
    };
  }
  ~ScriptedPickers() { ResetPickers(); }
};

Interaction Recording(QStringList& messages, int answer = kIdYes) {
  Interaction ui;
  ui.message = [&messages, answer](uint32_t, const std::string& text) {
    messages << QString::fromStdString(text);
    return answer;
  };
  return ui;
}

}  // namespace

class ToolWindowsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void loadWindowWritesTheRunControlFileTheCommandLineWrites() {
    const fs::path folder = CopyExample("gui_load_window");
    // The run control file keeps the paths it was given; both get the same.
    QCOMPARE(RunCli(folder, {"load", (folder / "tavrin.tcf").string()}), 0);
    const fs::path rcf = folder / "output" / "tavrin.rcf";
    const std::string expected = ReadBytes(rcf);
    QVERIFY(!expected.empty());
    fs::remove(rcf);

    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    LoadWorkflowDialog dialog(nullptr, ui, Q(folder / "tavrin.tcf"));
    dialog.show();
    QCOMPARE(dialog.windowTitle(), "Mixora - " + Q(folder / "tavrin.tcf"));
    dialog.load();
    QCOMPARE(dialog.kindText(), QString("Mixora Control"));
    QVERIFY(dialog.button("Base")->isEnabled());
    QVERIFY(!dialog.button("Mix")->isEnabled());
    QVERIFY(!dialog.button("Convert")->isEnabled());
    QVERIFY(dialog.panes()->logText().contains("Control File Load SUCCESS!!"));
    QVERIFY(dialog.panes()->settingsTable()->rowCount() > 20);
    dialog.loadBaseline();
    QVERIFY(dialog.button("Mix")->isEnabled());
    dialog.loadMixture();
    QVERIFY(dialog.panes()->logText().contains("Mixture Load SUCCESS!!"));
    QVERIFY(dialog.panes()->countsText().contains("Mixture"));
    QVERIFY(dialog.button("Convert")->isEnabled());
    SavePicture(dialog, "load_window_loaded");
    dialog.convert();
    QCOMPARE(dialog.runControlFile(), Q(rcf));
    QCOMPARE(ReadBytes(rcf), expected);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join("|")));
  }

  void loadWindowShowsWhatIsWrongInTheLog() {
    struct Case {
      const char* name;
      std::string from, to;
      const char* shown;
    };
    const Case cases[] = {
        {"bad keyword", "NumberOfChains = 4", "NumberOfChains = 201", "NumberOfChains not 1 - 100"},
        {"missing baseline", "BaselineFile = tavrin_baseline.bse", "BaselineFile = nowhere.bse", "Cannot open"},
        {"misspelt keyword", "NumberToKeep = 3000", "NumberToKep = 3000",
         "\"NumberToKep\" is not a keyword; did you mean NumberToKeep?"},
    };
    for (const Case& c : cases) {
      const fs::path folder = CopyExample("gui_load_refusal");
      std::string text = ReadBytes(folder / "tavrin.tcf");
      const std::size_t at = text.find(c.from);
      QVERIFY2(at != std::string::npos, c.name);
      text.replace(at, c.from.size(), c.to);
      std::ofstream(folder / "tavrin.tcf", std::ios::binary) << text;
      QStringList messages;
      Interaction ui = Recording(messages);
      ScriptedPickers pickers;
      LoadWorkflowDialog dialog(nullptr, ui, Q(folder / "tavrin.tcf"));
      dialog.load();
      QVERIFY2(dialog.panes()->logText().contains(c.shown), c.name);
      QVERIFY2(dialog.panes()->logText().contains("Control File Load FAIL!!"), c.name);
      QVERIFY2(!dialog.button("Base")->isEnabled(), c.name);
      QVERIFY2(dialog.panes()->logPane()->styleSheet().contains("#ff9933"), c.name);
    }
  }

  // The window shows the check's own lines: a fish with nothing scored is
  // left out by name, file and line, a stock name written two ways is told,
  // and neither keeps the run from being written.
  void loadWindowTellsFishLeftOutAndLikelyMisspeltStocks() {
    const fs::path folder = CopyExample("gui_load_notes");
    std::string control = ReadBytes(folder / "tavrin.tcf");
    control.replace(control.find("Arlo_Slough"), 11, "KESH_Creek");
    std::ofstream(folder / "tavrin.tcf", std::ios::binary) << control;
    std::string mixture = ReadBytes(folder / "tavrin_mixture.gen");
    const std::size_t fish = mixture.find("TF25-1-001 ,");
    mixture.replace(fish, mixture.find('\r', fish) - fish,
                    "TF25-1-001 , 000000 000000 000000 000000 000000 000000 000000 000000 000000 000000");
    std::ofstream(folder / "tavrin_mixture.gen", std::ios::binary) << mixture;

    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    LoadWorkflowDialog dialog(nullptr, ui, Q(folder / "tavrin.tcf"));
    dialog.load();
    dialog.loadBaseline();
    QVERIFY(dialog.panes()->logText().contains(
        "Info: stock names Kesh_Creek and KESH_Creek differ only in case; if they are one stock, write its name "
        "the same way everywhere"));
    dialog.loadMixture();
    const QString left = "Info: Fish TF25-1-001 (" + Q(folder / "tavrin_mixture.gen") +
                         ", line 4): no alleles present; left out of the run";
    QVERIFY2(dialog.panes()->logText().contains(left), qPrintable(dialog.panes()->logText().right(600)));
    QVERIFY(dialog.panes()->logText().contains("Mixture check SUCCEEDED!!"));
    QVERIFY(dialog.button("Convert")->isEnabled());
  }

  void loadWindowWithoutAPathAsksForTheFileAndHandsOnToTheConversionWindow() {
    const fs::path folder = CopyExample("gui_load_nopath");
    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    pickers.open = Q(folder / "tavrin.tcf");
    LoadWorkflowDialog dialog(nullptr, ui);
    QCOMPARE(dialog.windowTitle(), QString("Mixora - No Control File Loaded"));
    QTRY_COMPARE(dialog.pathField()->text(), Q(folder / "tavrin.tcf"));
    QTRY_VERIFY(dialog.button("Base")->isEnabled());
  }

  void fileConversionWritesWhatExportWrites() {
    PreparedRun run = PrepareExampleRun("gui_export");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    const fs::path out = run.folder / "exported" / "tavrin_out.tcf";
    fs::create_directories(out.parent_path());
    QCOMPARE(RunCli(run.folder, {"export", run.rcf.string(), "--out", out.string()}), 0);
    std::map<std::string, std::string> expected;
    for (const char* ext : {".tcf", ".bse", ".mix"}) {
      fs::path file = out;
      file.replace_extension(ext);
      expected[ext] = ReadBytes(file);
      QVERIFY2(!expected[ext].empty(), ext);
      fs::remove(file);
    }
    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    RunControlDialog window(nullptr, ui);
    window.pathField()->setText(Q(run.rcf));
    window.load();
    QVERIFY(window.run() != nullptr);
    QVERIFY(window.panes()->logText().contains("Load success"));
    SavePicture(window, "run_control_window");
    FileConversionDialog dialog(nullptr, ui, *window.run(), run.rcf.string());
    QCOMPARE(dialog.windowTitle(), QString("Mixora File Conversion"));
    QVERIFY(dialog.box(0)->isChecked() && dialog.box(1)->isChecked() && dialog.box(2)->isChecked());
    dialog.outputName()->setText(Q(out));
    SavePicture(dialog, "file_conversion_window");
    QVERIFY(dialog.convert());
    QCOMPARE(dialog.statusText(), QString("Conversion Succeeded"));
    for (const char* ext : {".tcf", ".bse", ".mix"}) {
      fs::path file = out;
      file.replace_extension(ext);
      QVERIFY2(ReadBytes(file) == expected[ext], ext);
    }
  }

  void noWindowWritesOverAnInput() {
    // The conversion window with a name whose baseline would be the run's
    // own baseline.
    const fs::path folder = CopyExample("gui_no_overwrite");
    const std::string baseline = ReadBytes(folder / "tavrin_baseline.bse");
    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    LoadWorkflowDialog load(nullptr, ui, Q(folder / "tavrin.tcf"));
    load.load();
    load.loadBaseline();
    load.loadMixture();
    FileConversionDialog dialog(nullptr, ui, const_cast<Control&>(load.control()),
                                (folder / "tavrin.tcf").string());
    dialog.outputName()->setText(Q(folder / "tavrin_baseline.rcf"));
    dialog.box(1)->setChecked(true);
    QVERIFY(!dialog.convert());
    QVERIFY(dialog.statusText().contains("is the baseline of the run"));
    QCOMPARE(ReadBytes(folder / "tavrin_baseline.bse"), baseline);
    QVERIFY(!fs::exists(folder / "tavrin_baseline.rcf"));

    // The Genepop window with an output that is its own input.
    GenepopDialog genepop(nullptr, ui);
    const fs::path input = fs::path(MIXORA_TEST_DATA_DIR) / "genepop" / "chum_label_baseline.gen";
    const fs::path copy = folder / "chum_label_baseline.gen";
    fs::copy(input, copy);
    genepop.field(GenepopDialog::kBaselineIn)->setText(Q(copy));
    genepop.field(GenepopDialog::kBaselineOut)->setText(Q(copy));
    QCOMPARE(genepop.convert(), -1);
    QVERIFY(genepop.statusText().contains("it is the baseline input"));
    QCOMPARE(ReadBytes(copy), ReadBytes(input));
  }

  void genepopWindowWritesWhatGenepopConvertWrites() {
    const fs::path folder = testing_support::NewTempFolder("gui_genepop");
    const fs::path data = fs::path(MIXORA_TEST_DATA_DIR) / "genepop";
    fs::copy(data / "chum_label_baseline.gen", folder / "base.gen");
    fs::copy(data / "chum_label_mixture.gen", folder / "mix.gen");
    const std::vector<std::string> outputs = {"base_out.bse", "mix_out.gen", "run.tcf"};
    QCOMPARE(RunCli(folder, {"genepop-convert", "--baseline", "base.gen", "--mixture", "mix.gen",
                             "--baseline-out", "base_out.bse", "--mixture-out", "mix_out.gen",
                             "--control", "run.tcf"}),
             0);
    std::map<std::string, std::string> expected;
    for (const std::string& name : outputs) {
      expected[name] = ReadBytes(folder / name);
      fs::remove(folder / name);
    }
    QStringList messages;
    Interaction ui = Recording(messages);
    ScriptedPickers pickers;
    GenepopDialog dialog(nullptr, ui);
    QCOMPARE(dialog.windowTitle(), QString("Convert Genepop Label Files"));
    QCOMPARE(dialog.statusText(), QString("Please select Files"));
    pickers.open = Q(folder / "base.gen");
    QTest::mouseClick(dialog.findChildren<QPushButton*>().at(0), Qt::LeftButton);
    // The output name follows the input until the user gives one.
    QCOMPARE(dialog.field(GenepopDialog::kBaselineOut)->text(), Q(folder / "base_Mixora.gen"));
    dialog.field(GenepopDialog::kBaselineOut)->setText(Q(folder / "base_out.bse"));
    dialog.field(GenepopDialog::kMixtureIn)->setText(Q(folder / "mix.gen"));
    dialog.field(GenepopDialog::kMixtureOut)->setText(Q(folder / "mix_out.gen"));
    dialog.field(GenepopDialog::kControl)->setText(Q(folder / "run.tcf"));
    dialog.controlBox()->setChecked(true);
    QCOMPARE(dialog.convert(), 0);
    SavePicture(dialog, "genepop_window");
    for (const std::string& name : outputs) QVERIFY2(ReadBytes(folder / name) == expected[name], name.c_str());

    dialog.field(GenepopDialog::kBaselineIn)->setText(Q(folder / "missing.gen"));
    QCOMPARE(dialog.convert(), -1);
    QCOMPARE(dialog.statusText(), "Cannot read " + Q(folder / "missing.gen"));
  }

  void simulationWindowWritesWhatSimulateWrites() {
    const fs::path folder = CopyExample("gui_simulation");
    QCOMPARE(RunCli(folder, {"simulate", "tavrin_sim.mcf"}), 0);
    const std::string mixture = ReadBytes(folder / "tavrin_sim.gen");
    const std::string control = ReadBytes(folder / "tavrin_sim.tcf");
    QVERIFY(!mixture.empty() && !control.empty());
    fs::remove(folder / "tavrin_sim.gen");
    fs::remove(folder / "tavrin_sim.tcf");
    QStringList messages;
    Interaction ui = Recording(messages);
    SimulationDialog dialog(nullptr, ui);
    QCOMPARE(dialog.statusText(), QString("Please select a Mixture Control File"));
    QVERIFY(!dialog.makeButton()->isEnabled() && !dialog.editButton()->isEnabled());
    dialog.pathField()->setText(Q(folder / "tavrin_sim.mcf"));
    QVERIFY(dialog.makeButton()->isEnabled() && dialog.editButton()->isEnabled());
    QCOMPARE(dialog.make(), 0);
    QVERIFY(dialog.statusText().contains("Success!!"));
    SavePicture(dialog, "simulation_window");
    QVERIFY(ReadBytes(folder / "tavrin_sim.gen") == mixture);
    QVERIFY(ReadBytes(folder / "tavrin_sim.tcf") == control);
  }

  void dataFilesAndAsciiWindowsShowTheRunsFiles() {
    PreparedRun run = PrepareExampleRun("gui_data_files", 200, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    QCOMPARE(RunCli(run.folder, {"run", run.rcf.string(), "--quiet"}), 0);
    MainWindow window;
    QVERIFY(window.openRunFile(Q(run.rcf)));
    FileIdentificationDialog files(&window, *window.session().run);
    QCOMPARE(files.chainBox()->maximum(), 2);
    QCOMPARE(files.value("ISE Stocks:"), QString("12"));
    QCOMPARE(files.value("ISE Recs:"), QString("200"));
    QCOMPARE(files.value("Restart Iter:"), QString("200"));
    files.chainBox()->setValue(2);
    QCOMPARE(files.value("Restart Seed1:").isEmpty(), false);
    SavePicture(files, "check_data_files_window");

    AsciiConversionDialog ascii(&window, *window.session().run, window.runControlPath());
    QCOMPARE(ascii.totalField()->text(), QString("200"));
    QCOMPARE(ascii.keepField()->value(), 100);
    QVERIFY(!ascii.kindBox(0)->isChecked() && ascii.kindBox(1)->isChecked() && ascii.kindBox(2)->isChecked());
    SavePicture(ascii, "convert_to_ascii_window");
    for (int i = 0; i < 3; ++i) ascii.kindBox(i)->setChecked(false);
    QVERIFY(!ascii.confirm());  // nothing chosen: the window stays open
    ascii.kindBox(1)->setChecked(true);
    QVERIFY(ascii.confirm());
    QCOMPARE(ascii.settings().keep, 100);
    window.closeRun();
  }

  void cleanupCountsAndDeletesWhatTheCommandWould() {
    PreparedRun run = PrepareExampleRun("gui_cleanup", 100, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    QCOMPARE(RunCli(run.folder, {"run", run.rcf.string(), "--quiet"}), 0);
    const fs::path folder = run.rcf.parent_path();
    // A file of the user's beside the outputs is never counted or deleted.
    std::ofstream(folder / "notes.txt") << "field notes";
    std::string dryRun;
    QCOMPARE(RunCli(run.folder, {"cleanup", folder.string(), "--dry-run"}, &dryRun), 0);
    CleanupDialog dialog(nullptr, folder.string());
    SavePicture(dialog, "cleanup_window");
    QCOMPARE(dialog.countText(0), QString("2"));  // .Sta of two chains
    QCOMPARE(dialog.countText(4), QString("0"));  // notes.txt is not Mixora's
    QVERIFY(dialog.box(8)->isHidden());
    QVERIFY(dialog.cleanButton()->isEnabled());
    for (int k = 0; k < 8; ++k) dialog.box(k)->setChecked(false);
    QCOMPARE(dialog.countText(kCleanupKindCount + 1), QString("0"));
    QVERIFY(!dialog.cleanButton()->isEnabled());
    dialog.box(0)->setChecked(true);
    dialog.box(1)->setChecked(true);
    dialog.clean();
    QCOMPARE(dialog.countText(0), QString("0"));
    QCOMPARE(dialog.countText(1), QString("0"));
    QVERIFY(fs::exists(folder / "notes.txt"));
    QVERIFY(fs::exists(run.rcf));
    // The command's dry run listed the same sample files the window deleted.
    QVERIFY(QString::fromStdString(dryRun).contains("_01.Sta"));
  }

  void aboutAndCitationNameThisProgramOnly() {
    const QString about = AboutText();
    QVERIFY(about.startsWith("Mixora "));
    QVERIFY(about.contains(QT_VERSION_STR));
    QVERIFY(about.contains(CitationAddress()));
    ScriptedPickers pickers;
    CitationDialog cite(nullptr);
    SavePicture(cite, "citation_box");
    cite.copy();
    QCOMPARE(QApplication::clipboard()->text(), CitationText());
    cite.goTo();
    QCOMPARE(pickers.opened, QStringList{CitationAddress()});
  }

  void helpOpensTheManualAndViewSaysWhenAFileIsMissing() {
    ScriptedPickers pickers;
    MainWindow window;
    ModalAnswerer answerer;
    window.updateCommandStates();
    window.runCommand(kCmdHelp);
    QCOMPARE(pickers.opened.size(), 1);
    QVERIFY(pickers.opened[0].endsWith("index.html"));
    QVERIFY(answerer.texts.isEmpty());
    QStringList messages;
    Interaction ui = Recording(messages);
    OpenInTextEditor(ui, "/no/such/file.tcf");
    QCOMPARE(messages, QStringList{"Cannot Open /no/such/file.tcf"});
  }

  void openingAControlFileHandsItToTheLoadWindow() {
    const fs::path folder = CopyExample("gui_open_tcf");
    ScriptedPickers pickers;
    MainWindow window;
    ModalAnswerer answerer;
    QString seenTitle;
    answerer.onModal([&seenTitle](QWidget* modal) {
      auto* load = qobject_cast<LoadWorkflowDialog*>(modal);
      if (load == nullptr) return false;
      seenTitle = load->windowTitle();
      // Loaded at once; the user runs the steps and converts.
      if (!load->button("Base")->isEnabled()) return false;
      load->loadBaseline();
      load->loadMixture();
      load->convert();
      return true;
    });
    window.chooseRunFile = [&folder](QWidget*) { return Q(folder / "tavrin.tcf"); };
    window.runCommand(kCmdOpen);
    QCOMPARE(seenTitle, "Mixora - " + Q(folder / "tavrin.tcf"));
    QVERIFY(fs::exists(folder / "output" / "tavrin.rcf"));
    // The run control file written is opened as the run.
    QVERIFY(window.session().run != nullptr);
    window.closeRun();
  }
};

MIXORA_GUI_TEST(ToolWindowsTest)
#include "tool_windows_test.moc"
