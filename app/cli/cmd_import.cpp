#include <cerrno>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "commands.h"
#include "core/log_buffer.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/file_helpers.h"
#include "input/genepop_convert.h"
#include "formats/genepop_standard_import.h"
#include "formats/genotype_table_import.h"
#include "formats/imported_genotypes.h"

namespace mixora::cli {

namespace {

struct ImportOptions {
  std::string reference;
  std::string mixture;
  std::string control;
  std::string format;
  std::string popNames;
  std::string baselineOut;
  std::string mixtureOut;
  CliOptions common;
};

// A table unless the file opens like a Genepop file: the genotype table's
// header always names the column sample_type.
std::string GuessFormat(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* ext : {".csv", ".tsv"})
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ext) == 0) return "csv";
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return "csv";
  char buffer[4096];
  std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
  std::fclose(in);
  std::string head(buffer, n);
  std::size_t end = head.find('\n');
  std::string first = head.substr(0, end);
  for (char& c : first) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return first.find("sample_type") != std::string::npos ? "csv" : "genepop";
}

bool SameFileOnDisk(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  std::filesystem::path pa = std::filesystem::weakly_canonical(a, ec);
  if (ec) return a == b;
  std::filesystem::path pb = std::filesystem::weakly_canonical(b, ec);
  return ec ? a == b : pa == pb;
}

// The converted files lie beside the control file, named after the inputs.
std::string OutputBeside(const std::string& control, const std::string& input,
                         const char* extension) {
  std::string folder = FolderOf(control);
  std::string name = FileNameOf(input);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  name += "_Mixora";
  name += extension;
  return folder.empty() ? name : JoinPath(folder, name);
}

int RunImport(ImportOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  for (const std::string* input : {&options.reference, &options.mixture, &options.popNames}) {
    if (!input->empty() && !FileExists(*input)) {
      PrintError("Cannot read " + *input + ": no such file");
      return 1;
    }
  }
  if (options.format.empty()) options.format = GuessFormat(options.reference);
  if (options.format == "csv" && !options.popNames.empty()) {
    PrintError("--pop-names is for Genepop files; a genotype table names its collections");
    return 1;
  }
  if (options.baselineOut.empty())
    options.baselineOut = OutputBeside(options.control, options.reference, ".bse");
  if (options.mixtureOut.empty())
    options.mixtureOut = OutputBeside(options.control, options.mixture, ".mix");
  if (options.baselineOut == options.mixtureOut)
    options.mixtureOut = OutputBeside(options.control, options.mixture, "_mixture.mix");

  ImportedGenotypes data;
  std::string error;
  int ok = options.format == "csv"
               ? ImportGenotypeTables(options.reference, options.mixture, data, error)
               : ImportStandardGenepop(options.reference, options.mixture, options.popNames,
                                       data, error);
  if (!ok) {
    PrintError("import failed: " + error);
    return 1;
  }
  DropLociWithoutAlleles(data);
  NoteReferenceStocks(data, options.format == "csv" ? "collection" : "stock");
  if (data.reference.Loci() == 0) {
    PrintError("import failed: " + options.reference + ": no locus has an allele in any reference fish");
    return 1;
  }
  data.title = "Imported from " + FileNameOf(options.mixture);
  data.description =
      ImportDescription(options.format == "csv" ? "genotype table" : "standard Genepop",
                        FileNameOf(options.reference), FileNameOf(options.mixture));

  std::vector<std::string> outputs = {options.baselineOut, options.mixtureOut, options.control};
  for (const std::string& output : outputs) {
    for (const std::string* input : {&options.reference, &options.mixture, &options.popNames}) {
      if (!input->empty() && SameFileOnDisk(output, *input)) {
        PrintError("Cannot write to " + output + ": it is an input file");
        return 1;
      }
    }
  }
  bool yesToAll = false;
  for (const std::string& output : outputs) {
    if (FileExists(output) && !AskOverwrite(ui, output, yesToAll)) {
      PrintError(output + " exists and was not overwritten (use --overwrite to replace it)");
      return 1;
    }
    if (!CheckWritable(nullptr, output)) {
      PrintError("Cannot write to " + output + ": " + SystemErrorText(errno));
      return 1;
    }
  }
  LogBuffer log;
  if (!options.common.quiet) log.echo = [](const std::string& line) { PrintText(line); };
  for (const std::string& note : data.notes) LogAppend(log, "%s", note.c_str());
  if (!WriteImportedFiles(data, options.baselineOut, options.mixtureOut, options.control, log)) {
    PrintError("import failed: " + LogLinesFrom(log.text, 0).back());
    return 1;
  }
  std::cout << "Read " << data.reference.Fish() << " reference fish in "
            << data.reference.Stocks() << " stocks and " << data.mixture.Fish()
            << " mixture fish in " << data.mixture.Stocks() << " populations at "
            << data.reference.Loci() << " loci\n";
  std::cout << "Baseline written: " << options.baselineOut << "\n";
  std::cout << "Mixture written: " << options.mixtureOut << "\n";
  std::cout << "Control file written: " << options.control << "\n";
  if (const int32_t blank = FishWithoutGenotypes(data.mixture); blank > 0)
    std::cout << "Mixture fish written with no genotypes: " << blank
              << " (missing at every locus; check and load list them and leave them out)\n";
  return 0;
}

}  // namespace

void RegisterImportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ImportOptions>();
  CLI::App* command = app.add_subcommand(
      "import",
      "Import a two-column genotype table or standard Genepop files as a baseline, a mixture "
      "and a control file");
  command->add_option("--reference", options->reference,
                      "Reference fish: a genotype table (CSV or tab-separated) or a Genepop file")
      ->required();
  command->add_option("--mixture", options->mixture,
                      "Mixture fish, in the same layout (may be the same table)")
      ->required();
  command->add_option("--control", options->control, "Text control file (.tcf) to write")
      ->required();
  command->add_option("--format", options->format,
                      "csv (genotype table) or genepop; by default read from the file")
      ->check(CLI::IsMember({"csv", "genepop"}));
  command->add_option("--pop-names", options->popNames,
                      "Genepop only: one line per POP block of the reference: stock name and "
                      "optionally its group");
  command->add_option("--baseline-out", options->baselineOut,
                      "SPAM baseline to write (default: beside the control file, named after "
                      "the reference with _Mixora)");
  command->add_option("--mixture-out", options->mixtureOut,
                      "Mixture to write (default: beside the control file, named after the "
                      "mixture with _Mixora)");
  AddCommonOptions(*command, options->common);
  // In the footer, not the description: the list of commands shows a
  // description's every line as if it were a command.
  command->footer("Example: mixora import --reference ref.csv --mixture mix.csv --control run.tcf");
  command->callback([options, &exitCode] { exitCode = RunImport(*options); });
}

}  // namespace mixora::cli
