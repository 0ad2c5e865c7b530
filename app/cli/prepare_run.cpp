#include "prepare_run.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli_support.h"
#include "core/log_buffer.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/text_file.h"
#include "input/control_file_kind.h"
#include "input/control_summary.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"

namespace mixora::cli {

namespace {

// A log line may carry its own CR LF pairs ("\r\nBaseline Load SUCCESS!!");
// the terminal gets plain line ends.
void EchoLogLine(const Interaction& ui, const std::string& line) {
  if (!ui.logLine) return;
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;
    text += line[i];
  }
  std::size_t from = 0;
  for (;;) {
    std::size_t end = text.find('\n', from);
    ui.logLine(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
    if (end == std::string::npos) break;
    from = end + 1;
  }
}

// The log lines that name the item behind one error flag, and what to do
// about it. The flag texts alone ("Values not the same") leave a person
// searching the log for the stock, character or keyword concerned.
struct FlagDetail {
  ErrorFlags flag;
  std::vector<const char*> marks;  // a detail line holds one of these
  const char* next;                // the obvious next step, or ""
};

const std::vector<FlagDetail>& FlagDetails() {
  static const std::vector<FlagDetail> details = {
      {kErrValuesNotSame, {" mismatch. "},
       "make the count keyword agree with its block, or mend the block"},
      {kErrStockNotFound, {" not found in Baseline"},
       "add the stock to the baseline, or exclude it with \"! \" in the Stocks block"},
      {kErrCharacterNotFound,
       {" not found in Baseline", " not observed in baseline stocks", " not found in mixture file"},
       "check the spelling of the character in the Chars block and the data files"},
      {kErrInvalidLevel, {" not found for StockID", " not found in Stock Block"},
       "give every stock a group of the Groups block at each level"},
      {kErrMissingKeywords, {"Missing "}, "add the keyword to the control file"},
      {kErrNumberOfCharsNotEqual, {"allele position "},
       "raise the allele count of the character in Chars ="},
      {kErrTooManyAllelePositions, {"Fatal: CharID "},
       "raise the allele count of the character in Chars ="},
      {kErrInvalidStartingStock, {"Start StockID "}, "name a stock of the Stocks block in StartStock"},
  };
  return details;
}

// "<problem>: <item>; <item> (and N more in the log); <next step>", or
// `why` alone when the log names no item.
std::string WithItems(const std::string& why, ErrorFlags flags,
                      const std::vector<std::string>& lines) {
  std::vector<std::string> items;
  std::string next;
  for (const FlagDetail& detail : FlagDetails()) {
    if ((flags & detail.flag) == 0 || flags == kErrFatal) continue;
    bool found = false;
    for (const std::string& line : lines) {
      for (const char* mark : detail.marks) {
        if (line.find(mark) == std::string::npos) continue;
        if (std::find(items.begin(), items.end(), line) == items.end()) items.push_back(line);
        found = true;
        break;
      }
    }
    if (found && next.empty()) next = detail.next;
  }
  if (items.empty()) return why;
  std::string text = why + ": " + items[0];
  for (std::size_t i = 1; i < items.size() && i < 3; ++i) text += "; " + items[i];
  if (items.size() > 3) text += " (and " + std::to_string(items.size() - 3) + " more in the log)";
  if (!next.empty()) text += "; " + next;
  return text;
}

// Why a step failed: the text of its flags with the items it concerns or,
// when it gave up at once, the line it logged before its outcome.
std::string StepFailure(const char* step, ErrorFlags flags, const std::string& file,
                        const std::vector<std::string>& lines) {
  std::string why = WithItems(DescribeErrorFlags(flags), flags, lines);
  if (flags == kErrFatal) {
    for (std::size_t i = lines.size(); i-- > 0;) {
      if (lines[i].find("FAIL") != std::string::npos) continue;
      why = lines[i];
      break;
    }
  }
  return DescribeFailure(step, why, file, lines);
}

// The line of the control file that last sets keyword name (the one whose
// value the load kept), or 0 when none does.
int KeywordLineNumber(const std::string& path, const std::string& name) {
  TextFile file;
  int badLine = 0;
  std::string message;
  if (ReadTextFile(path, file, badLine, message) != TextFileStatus::kOk) return 0;
  int found = 0;
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    const std::string line = TrimLine(file.lines[i]);
    if (line.size() > name.size() && NamesEqual(line.substr(0, name.size()), name) &&
        line.find_first_of("=:", name.size()) != std::string::npos)
      found = static_cast<int>(i) + 1;
  }
  return found;
}

// A keyword whose value lies outside its range is logged only by name
// ("MaxMissingLoci not 1 - 999"); the closing error names its line too.
std::string KeywordRangeFailure(const std::string& path, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::size_t mark = line.find(" not ");
    if (mark == std::string::npos || mark == 0 || line.find(' ') != mark ||
        line.find(" - ", mark) == std::string::npos)
      continue;
    const int number = KeywordLineNumber(path, line.substr(0, mark));
    return number > 0 ? path + ", line " + std::to_string(number) + ": control file load failed: " + line
                      : path + ": control file load failed: " + line;
  }
  return "";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// "<file>: mixture check failed: <why>" from the check's line
// "<file>: N of the M scored gene copies ...".
std::string MiscodedLine(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::size_t mark = line.find(": ");
    if (mark == std::string::npos || line.find(" scored gene copies (", mark) == std::string::npos)
      continue;
    return line.substr(0, mark) + ": mixture check failed: " + line.substr(mark + 2);
  }
  return "";
}

}  // namespace

void PrepareRun(const std::string& path, const Interaction& ui, Preparation& prep) {
  prep.controlPath = path;
  Control& control = prep.control;
  LogClear(control.log);
  control.log.echo = [&ui](const std::string& line) { EchoLogLine(ui, line); };

  std::string problem;
  int32_t kind = ClassifyControlFile(path, &problem);
  if (kind == kFormatNotFound) {
    prep.failure = "cannot open control file " + path;
    return;
  }
  if (kind != kControlSpam && kind != kControlMixora) {
    prep.failure = problem.empty()
                       ? path + " is not a control file: its first data line is neither \"MIXORA\" "
                                "nor a \"*\" line"
                       : problem;
    return;
  }
  control.controlKind = kind;
  std::size_t from = control.log.text.size();
  ErrorFlags flags = LoadControlFile(path, control);
  if (flags != 0) {
    const std::vector<std::string> lines = LogLinesFrom(control.log.text, from);
    prep.failure = StepFailure("control file load", flags, path, lines);
    if (flags == kErrValueOutOfRange) {
      const std::string range = KeywordRangeFailure(path, lines);
      if (!range.empty()) prep.failure = range;
    }
    return;
  }
  prep.controlLoaded = true;
  const std::string seedsInfo = ChainSeedsInfo(control);
  if (!seedsInfo.empty()) LogAppend(control.log, "%s", seedsInfo.c_str());
  const std::string baseline = GetField(control.settings->BaselineFile);
  const std::string mixture = GetField(control.settings->MixtureFile);

  from = control.log.text.size();
  flags = LoadBaseline(control);
  if (flags != 0) {
    prep.failure = StepFailure("baseline load", flags, baseline, LogLinesFrom(control.log.text, from));
    return;
  }
  from = control.log.text.size();
  flags = CheckBaseline(control);
  if (flags != 0) {
    prep.failure = StepFailure("baseline check", flags, baseline, LogLinesFrom(control.log.text, from));
    return;
  }
  prep.baselineLoaded = true;

  from = control.log.text.size();
  flags = LoadMixture(control);
  if (flags != 0) {
    prep.failure = StepFailure("mixture load", flags, mixture, LogLinesFrom(control.log.text, from));
    return;
  }
  prep.mixtureLoaded = true;
  from = control.log.text.size();
  prep.mixtureCheckFlags = CheckMixture(control);
  prep.mixtureChecked = true;
  std::vector<std::string> checkLines = LogLinesFrom(control.log.text, from);
  // Sets the mixture's count of fish left out, which the run control file
  // stores.
  FormatMixtureSummary(control);
  if (prep.mixtureCheckFlags & (kErrAlleleNotSeen | kErrNoAlleles)) {
    prep.failure = StepFailure("mixture check", prep.mixtureCheckFlags, mixture, checkLines);
    // A mixture coded otherwise than the baseline is told in one line that
    // names the file it read; that line is the reason.
    const std::string miscoded = MiscodedLine(checkLines);
    if (!miscoded.empty()) prep.failure = miscoded;
  }
}

std::vector<std::string> PreparationSummary(Preparation& prep) {
  std::vector<std::string> lines;
  if (!prep.controlLoaded) return lines;
  for (const std::string& line : FormatFileKindsSummary(prep.control)) lines.push_back(line);
  for (const std::string& line : FormatBlocksSummary(prep.control)) lines.push_back(line);
  if (prep.baselineLoaded)
    for (const std::string& line : SplitLines(FormatBaselineSummary(prep.control))) lines.push_back(line);
  if (prep.mixtureLoaded)
    for (const std::string& line : SplitLines(FormatMixtureSummary(prep.control))) lines.push_back(line);
  return lines;
}

std::string ResolveOutputFolder(const std::string& controlPath, const std::string& outputFolder) {
  std::string base = FolderOf(controlPath);
  if (outputFolder.empty()) return base.empty() ? "." : base;
  if (std::filesystem::path(outputFolder).is_absolute()) return outputFolder;
  return JoinPath(base, outputFolder);
}

std::string InputNamedBy(const Preparation& prep, const std::string& path) {
  auto same = [&path](const std::string& input) {
    std::error_code ec;
    return !input.empty() && std::filesystem::equivalent(path, input, ec);
  };
  if (same(prep.controlPath)) return "the control file";
  if (prep.control.settings) {
    if (same(GetField(prep.control.settings->BaselineFile))) return "the baseline";
    if (same(GetField(prep.control.settings->MixtureFile))) return "the mixture";
  }
  return "";
}

namespace {

// Whether the file begins as the log of a load does.
bool IsLoadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string first;
  std::getline(in, first);
  return first.rfind("Reading Mixora Control file: ", 0) == 0 ||
         first.rfind("Reading SPAM Control file: ", 0) == 0;
}

}  // namespace

bool SaveRunLog(const Preparation& prep, const std::string& path, const Interaction& ui) {
  // A log written over an input would lose the run's own data.
  std::string input = InputNamedBy(prep, path);
  if (!input.empty()) {
    ShowMessage(ui, kMbIconError, "Cannot write the log to %s: it is %s of the run (use --log)",
                path.c_str(), input.c_str());
    return false;
  }
  // The same rule as every other output: a file is replaced only after
  // asking (or with --overwrite). A log that check or load wrote before is
  // their own record of the last load and is brought up to date, so that
  // `check` then `load` does not stop at it.
  bool yesToAll = false;
  if (FileExists(path) && !IsLoadLog(path) && !AskOverwrite(ui, path, yesToAll)) return false;
  if (SaveLog(prep.control.log, path)) return true;
  ReportSystemError(ui, "Cannot save the log", path);
  return false;
}

void PrintBlock(const std::string& heading, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::cout << "\n" << heading << "\n";
  for (const std::string& line : lines) std::cout << "  " << line << "\n";
  std::cout << std::flush;
}

}  // namespace mixora::cli
