#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "core/error_flags.h"
#include "input/control.h"
#include "input/control_summary.h"
#include "prepare_run.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"
#include "runfiles/run_fingerprint.h"
#include "sampler/restart_file.h"

namespace mixora::cli {

namespace {

struct InspectOptions {
  std::vector<std::string> files;
  CliOptions common;
};

enum class FileKind { kMissing, kRunControl, kSample, kRestart, kGraph };

// Sample and restart files share their magic; a restart file keeps zeros in
// bytes 24 to 31, where a sample file keeps its element size (2 or 4). Its
// bytes 8 to 23 hold the chain's inputs fingerprint and owner, or zeros.
FileKind DetectKind(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileKind::kMissing;
  uint8_t head[kSampleFileHeaderSize] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  std::size_t got = static_cast<std::size_t>(in.gcount());
  if (got >= kMagicSize && std::memcmp(head, kGraphFileMagic, kMagicSize) == 0) return FileKind::kGraph;
  if (got >= kMagicSize && std::memcmp(head, kSampleFileMagic, kMagicSize) == 0) {
    bool zeros = got == sizeof head && std::all_of(head + 24, head + sizeof head,
                                                   [](uint8_t b) { return b == 0; });
    return zeros ? FileKind::kRestart : FileKind::kSample;
  }
  return FileKind::kRunControl;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

int Widest(const std::vector<std::string>& names, int least) {
  int width = least;
  for (const std::string& name : names) width = std::max(width, static_cast<int>(name.size()));
  return width;
}

const char* KindName(uint8_t value, const char* (*name)(int32_t)) { return name(value); }

void ShowRunControl(const RunRecord& r) {
  const int S = r.settings.NumberOfStocks, C = r.settings.NumberOfChars, V = r.settings.Levels;
  std::vector<std::string> lines;

  PrintBlock("Stored formats",
             {std::string("Control file:    ") + KindName(r.settings.FileKinds[0], ControlKindName),
              std::string("Baseline format: ") + KindName(r.settings.FileKinds[1], BaselineFormatName),
              std::string("Mixture format:  ") + KindName(r.settings.FileKinds[2], MixtureFormatName)});
  PrintBlock("Settings", FormatSettingsSummary(r.settings));

  std::string levels = std::to_string(V);
  for (int level = 0; level < V; ++level) {
    int n = 0;
    for (int32_t g : r.groupLevel) n += g == level;
    levels += std::string(level == 0 ? " (" : ", ") + "level " + std::to_string(level + 1) + ": " +
              std::to_string(n) + " groups";
  }
  if (V > 0) levels += ")";
  PrintBlock("Counts", {Printf("Characters:      %d (largest allele count %d)", C, r.maxAlleles),
                        Printf("Stocks:          %d", S), "Grouping levels: " + levels,
                        "Mixture title:   " + (r.mixtureTitle.empty() ? "(none)" : r.mixtureTitle),
                        Printf("Mixtures:        %d", r.mixtureCount),
                        Printf("Fish:            %d in the analysis, %d left out", r.fishCount,
                               r.badCount)});

  int nameWidth = Widest(r.charNames, 4);
  lines = {Printf("  #   ID#  %-*s  Kind  Alleles  Prior weight", nameWidth, "Name")};
  for (int c = 0; c < C; ++c)
    lines.push_back(Printf("%3d  %4d  %-*s   %c    %5d    %12.6f", c + 1, r.charId[c], nameWidth,
                           r.charNames[c].c_str(), r.isLocus[c] ? 'T' : 'F', r.alleleCount[c],
                           r.lambda[c]));
  PrintBlock("Characters", lines);

  nameWidth = Widest(r.stockNames, 4);
  std::string head = Printf("  #   ID#  %-*s", nameWidth, "Name");
  for (int level = 0; level < V; ++level) head += Printf("  Level %d", level + 1);
  lines = {head + "  Prior parameter"};
  for (int s = 0; s < S; ++s) {
    std::string line = Printf("%3d  %4d  %-*s", s + 1, r.stockId[s], nameWidth, r.stockNames[s].c_str());
    for (int level = 0; level < V; ++level) line += Printf("  %7d", r.groupAt[level][s]);
    lines.push_back(line + Printf("  %15.6f", r.beta[s]));
  }
  PrintBlock("Stocks", lines);

  lines = {"Level   ID#  Name"};
  for (std::size_t g = 0; g < r.groupId.size(); ++g)
    lines.push_back(Printf("%5d  %4d  %s", r.groupLevel[g] + 1, r.groupId[g], r.groupNames[g].c_str()));
  PrintBlock("Groups", lines);

  lines = {"  #  Run title         Year  Fish  Left out  Vial / Date / Area / Gear / Desc."};
  for (int m = 0; m < r.mixtureCount; ++m) {
    const MixtureRecord& rec = r.mixtures[m];
    uint32_t end = m + 1 < r.mixtureCount ? r.mixtures[m + 1].firstIndividual
                                          : static_cast<uint32_t>(r.fishCount);
    int left = 0;
    for (int32_t word : r.badFlags) left += (static_cast<uint32_t>(word) & 0xFFFF) == static_cast<uint32_t>(m);
    std::vector<std::string> texts;
    for (const std::string* t : {&rec.vial, &rec.date, &rec.area, &rec.gear, &rec.desc})
      if (!t->empty()) texts.push_back(*t);
    std::string joined;
    for (const std::string& t : texts) joined += (joined.empty() ? "" : " / ") + t;
    lines.push_back(Printf("%3d  %-16s  %4d  %4u  %8d  %s", m + 1, RunTitleFor(r.mixtureTitle, m).c_str(),
                           rec.year, end - rec.firstIndividual, left, joined.c_str()));
  }
  PrintBlock("Mixtures", lines);

  if (r.badCount > 0) {
    nameWidth = Widest(r.badNames, 4);
    lines = {Printf("Mixture  %-*s  Problem", nameWidth, "Fish")};
    for (int e = 0; e < r.badCount; ++e) {
      uint32_t word = static_cast<uint32_t>(r.badFlags[e]);
      lines.push_back(Printf("%7u  %-*s  %s", (word & 0xFFFF) + 1, nameWidth, r.badNames[e].c_str(),
                             DescribeErrorFlags(word >> 16).c_str()));
    }
    PrintBlock("Fish left out of the analysis", lines);
  }
}

bool InspectRunControl(const std::string& path) {
  std::vector<std::string> messages;
  Interaction ui;
  ui.message = [&messages](uint32_t, const std::string& text) {
    messages.push_back(text);
    return kIdOk;
  };
  std::unique_ptr<RunRecord> record = ReadNewControl(path, ui);
  if (!record) {
    std::string why;
    for (const std::string& m : messages) {
      std::string flat = m;
      for (std::size_t at; (at = flat.find("\r\n")) != std::string::npos;) flat.replace(at, 2, " ");
      why += (why.empty() ? "" : "; ") + flat;
    }
    PrintError(path + ": " +
               (why.empty() ? "not a run control file, sample file or restart file" : why));
    return false;
  }
  std::cout << "== " << path << ": run control file ==\n";
  ShowRunControl(*record);
  return true;
}

bool InspectSample(const std::string& path) {
  SampleFileSummary summary;
  std::string error;
  if (!SummarizeSampleFile(path, summary, error)) {
    PrintError(path + ": " + error);
    return false;
  }
  const SampleFileHeader& h = summary.header;
  const char* kind = h.elementSize == kAssignmentElementSize    ? "stock assignment sample file"
                     : h.elementSize == kCompositionElementSize ? "stock composition sample file"
                                                                : "sample file";
  const char* values = h.elementSize == kAssignmentElementSize    ? "mixture individuals"
                       : h.elementSize == kCompositionElementSize ? "stocks"
                                                                  : "values";
  std::cout << "== " << path << ": " << kind << " ==\n";
  PrintBlock("Header", {Printf("Block capacity:    %u records", h.blockCapacity),
                        Printf("Records:           %u", h.recordCount),
                        Printf("Values per record: %u (%s)", h.valuesPerRecord, values),
                        Printf("Thinning interval: %u", h.thinning),
                        Printf("Element size:      %u bytes", h.elementSize)});
  PrintBlock("Blocks", {Printf("Blocks:            %u", summary.blocks),
                        Printf("Records in blocks: %llu",
                               static_cast<unsigned long long>(summary.recordsInBlocks)),
                        Printf("File size:         %lld bytes", static_cast<long long>(summary.fileSize)),
                        "Condition:         " + (summary.problem.empty() ? std::string("sound") : summary.problem)});
  return summary.problem.empty();
}

bool InspectGraph(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t bytes[kSampleFileHeaderSize] = {};
  in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  if (static_cast<std::size_t>(in.gcount()) < sizeof bytes) {
    PrintError(path + ": binary graph file cut short inside its header");
    return false;
  }
  SampleFileHeader h = DecodeSampleFileHeader(bytes);
  std::cout << "== " << path << ": binary graph file ==\n";
  PrintBlock("Header", {Printf("Block capacity:    %u records", h.blockCapacity),
                        Printf("Records:           %u", h.recordCount),
                        Printf("Values per record: %u", h.valuesPerRecord),
                        Printf("Element size:      %u bytes", h.elementSize)});
  return true;
}

bool InspectRestart(const std::string& path) {
  RestartChainValues v;
  if (!ReadRestartChainValues(path, v)) {
    PrintError(path + ": restart file cut short or unreadable");
    return false;
  }
  std::cout << "== " << path << ": restart file ==\n";
  PrintBlock("Chain", {Printf("Iteration:           %d of %d", v.iteration, v.endIteration),
                       Printf("Seeds:               %d, %d", v.seed1, v.seed2),
                       Printf("Assignment records:  %d", v.assignmentTotal),
                       Printf("Composition records: %d", v.compositionTotal),
                       "Inputs:              " +
                           (v.inputs != 0 ? FingerprintText(v.inputs) : std::string("not recorded"))});
  return true;
}

int RunInspect(const InspectOptions& options) {
  bool allOk = true;
  bool first = true;
  for (const std::string& path : options.files) {
    if (!first) std::cout << "\n";
    first = false;
    bool ok = false;
    switch (DetectKind(path)) {
      case FileKind::kMissing: PrintError("cannot open " + path); break;
      case FileKind::kRunControl: ok = InspectRunControl(path); break;
      case FileKind::kSample: ok = InspectSample(path); break;
      case FileKind::kRestart: ok = InspectRestart(path); break;
      case FileKind::kGraph: ok = InspectGraph(path); break;
    }
    std::cout << std::flush;
    allOk = allOk && ok;
  }
  return allOk ? 0 : 1;
}

}  // namespace

void RegisterInspectCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<InspectOptions>();
  CLI::App* command = app.add_subcommand(
      "inspect", "Show what a run control file, sample file or restart file holds");
  command->add_option("FILE", options->files, "Run control (.rcf), sample (.Sta, .Ise) or restart (.Rst) files")
      ->required();
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunInspect(*options); });
}

}  // namespace mixora::cli
