#include "input/genepop_label.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "core/lookups.h"
#include "input/line_scanner.h"

namespace mixora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWithNoCase(const std::string& text, const char* word) {
  std::size_t n = std::char_traits<char>::length(word);
  return text.size() >= n && NamesEqual(text.substr(0, n), word);
}

std::string TrimRight(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(0, end);
}

// Locus names are single words everywhere else (baseline lines, control file
// blocks), so inner blanks become underscores rather than splitting a name.
std::string LocusNameOf(const std::string& piece) {
  std::string name;
  bool pendingBlank = false;
  for (char c : TrimLine(piece)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingBlank = true;
      continue;
    }
    if (pendingBlank) name.push_back('_');
    pendingBlank = false;
    name.push_back(c);
  }
  return name;
}

bool AllDigits(const std::string& token) {
  return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
}

void LogBadLine(LogBuffer& log, const std::string& path, int lineNumber,
                const std::string& line, ErrorFlags flags, const std::string& problem) {
  LogAppend(log, "Fatal Error in Line %d of %s: %s", lineNumber, path.c_str(), problem.c_str());
  LogAppend(log, "%s", line.c_str());
  LogAppend(log, "%s", DescribeErrorFlags(flags).c_str());
}

}  // namespace

bool IsGenepopPopLine(const std::string& trimmed) {
  if (!StartsWithNoCase(trimmed, "POP")) return false;
  if (trimmed.find(',') == std::string::npos) return true;
  // "POP 2025, Vial, ..." opens a sample; "Poplar_01, 0102" is an individual.
  unsigned char next = trimmed.size() > 3 ? static_cast<unsigned char>(trimmed[3]) : ' ';
  return !(std::isalnum(next) || next == '_' || next == '-' || next == '.');
}

std::string GenepopLabelOf(const std::string& name) {
  std::size_t blank = name.find_first_of(" \t");
  return blank == std::string::npos ? name : name.substr(0, blank);
}

ErrorFlags ParseGenepopIndividual(const std::string& trimmed, int locusCount, std::string& name,
                                  int32_t* codes, std::string& problem) {
  std::size_t comma = trimmed.find(',');
  if (comma == std::string::npos) {
    problem = "no comma after the individual's name";
    return kErrCannotParseLine;
  }
  name = TrimRight(trimmed.substr(0, comma));
  if (name.empty()) {
    problem = "no name before the comma";
    return kErrCannotParseLine;
  }
  std::vector<std::string> tokens;
  std::string current;
  for (std::size_t i = comma + 1; i <= trimmed.size(); ++i) {
    if (i == trimmed.size() || IsBlank(trimmed[i])) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current.push_back(trimmed[i]);
    }
  }
  if (tokens.empty()) {
    problem = "no genotypes after the name, " + std::to_string(locusCount) + " expected";
    return kErrCharacterCountMismatch;
  }
  if (tokens[0].size() != 4 && tokens[0].size() != 6) {
    problem = "genotype \"" + tokens[0] + "\" is not 4 or 6 digits long";
    return kErrCharacterCountMismatch;
  }
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string& token = tokens[k];
    // Each token is read by its own width: reading a 4-digit token as two
    // 3-digit codes would silently invent alleles.
    if ((token.size() != 4 && token.size() != 6) || !AllDigits(token)) {
      problem = "genotype \"" + token + "\" does not read as two allele codes";
      return kErrCannotParseLine;
    }
    if (codes && static_cast<int>(k) < locusCount) {
      std::size_t half = token.size() / 2;
      codes[2 * k] = std::stoi(token.substr(0, half));
      codes[2 * k + 1] = std::stoi(token.substr(half));
    }
  }
  int count = static_cast<int>(tokens.size());
  if (count != locusCount) {
    problem = std::to_string(count) + " genotypes for " + std::to_string(locusCount) + " loci";
    return count > locusCount + 1 ? kErrCannotParseLine : kErrCharacterCountMismatch;
  }
  return 0;
}

int OpenGenepopLabelFile(const std::string& path, const char* kind, const char* notLabelMessage,
                         GenepopLabelFile& file, LogBuffer& log) {
  LogAppend(log, "Reading %s file: %s", kind, path.c_str());
  int badLine = 0;
  std::string message;
  TextFileStatus status = ReadTextFile(path, file.text, badLine, message);
  if (status == TextFileStatus::kCannotOpen) {
    LogAppend(log, "Cannot open file");
    return -1;
  }
  if (status != TextFileStatus::kOk) {
    LogAppend(log, "%s", message.c_str());
    return -1;
  }
  std::vector<std::string>& lines = file.text.lines;
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);

  file.titleLine = FirstDataLine(file.text);
  std::string first = file.titleLine < 0 ? "" : TrimLine(lines[file.titleLine]);
  if (!StartsWithNoCase(first, "Label")) {
    LogAppend(log, notLabelMessage, path.c_str());
    return -1;
  }
  file.title = TrimLine(first.substr(5));

  file.locusNames.clear();
  std::size_t i = static_cast<std::size_t>(file.titleLine) + 1;
  for (; i < lines.size(); ++i) {
    std::string trimmed = TrimLine(lines[i]);
    if (IsGenepopSkippedLine(trimmed)) continue;
    if (IsGenepopPopLine(trimmed)) break;
    // The one-line form "Loc1, Loc2, Loc3" of the published format is read too.
    std::size_t start = 0;
    for (;;) {
      std::size_t comma = trimmed.find(',', start);
      std::string name = LocusNameOf(trimmed.substr(start, comma - start));
      if (!name.empty()) file.locusNames.push_back(name);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  file.populationStart = static_cast<int>(i);
  if (file.locusNames.empty()) {
    LogAppend(log, "No locus names in %s", path.c_str());
    return -1;
  }
  return 0;
}

int ReadGenepopLabelBaseline(const std::string& path, GenepopSet& set, LogBuffer& log) {
  GenepopLabelFile file;
  if (OpenGenepopLabelFile(path, "Baseline",
                           "Not a Genepop Label baseline file(No 'Label'):\r\n%s", file, log) != 0)
    return -1;
  const int loci = static_cast<int>(file.locusNames.size());
  set = GenepopSet{};
  set.title = file.title;
  set.locusNames = file.locusNames;
  set.locusNameWidth = GenepopNameWidth(static_cast<std::size_t>(LongestName(set.locusNames)));

  std::vector<int> givenNumbers;
  bool everyPopNumbered = true;
  bool anyPopText = false;
  std::size_t longestLabel = 0;
  std::vector<int32_t> lineCodes(static_cast<std::size_t>(2 * loci));
  const std::vector<std::string>& lines = file.text.lines;
  for (std::size_t i = static_cast<std::size_t>(file.populationStart); i < lines.size(); ++i) {
    std::string trimmed = TrimLine(lines[i]);
    if (IsGenepopSkippedLine(trimmed)) continue;
    if (IsGenepopPopLine(trimmed)) {
      std::string after = TrimLine(trimmed.substr(3));
      int32_t number = 0;
      std::size_t at = 0;
      if (!after.empty()) anyPopText = true;
      // A number beyond 32 bits would come out as some other stock's number,
      // and a negative one as a stock line the control file reader cannot
      // take; neither counts as a stock number.
      if (ScanInt(after, at, number) == kScanOk && number >= 0)
        givenNumbers.push_back(number);
      else
        everyPopNumbered = false;
      set.stockNames.emplace_back();
      set.populationSize.push_back(0);
      continue;
    }
    std::string name, problem;
    ErrorFlags flags = ParseGenepopIndividual(trimmed, loci, name, lineCodes.data(), problem);
    if (flags != 0) {
      LogBadLine(log, path, static_cast<int>(i) + 1, trimmed, flags, problem);
      return static_cast<int>(flags);
    }
    std::string label = GenepopLabelOf(name);
    longestLabel = std::max(longestLabel, label.size());
    int population = static_cast<int>(set.stockNames.size()) - 1;
    set.stockNames[population] = label;
    set.populationSize[population] += 1;
    set.individualPopulation.push_back(population);
    set.codes.insert(set.codes.end(), lineCodes.begin(), lineCodes.end());
  }
  set.individualCount = static_cast<int32_t>(set.individualPopulation.size());
  if (set.individualCount == 0) {
    LogAppend(log, "No individuals in %s", path.c_str());
    return -1;
  }
  set.labelWidth = GenepopNameWidth(longestLabel);

  // Stocks are matched by number later on, so numbers are taken from the
  // "POP" lines only when every line gives one and no two are equal;
  // otherwise the stocks are numbered in file order.
  const int populations = static_cast<int>(set.stockNames.size());
  bool distinct = std::set<int>(givenNumbers.begin(), givenNumbers.end()).size() ==
                  givenNumbers.size();
  if (everyPopNumbered && distinct) {
    set.stockNumbers.assign(givenNumbers.begin(), givenNumbers.end());
  } else {
    for (int p = 0; p < populations; ++p) set.stockNumbers.push_back(p + 1);
    if (anyPopText)
      set.messages.push_back("Info: the POP lines do not give one distinct stock number each; "
                             "stocks are numbered 1 to " + std::to_string(populations) +
                             " in file order");
  }

  set.alleleTable.assign(static_cast<std::size_t>(loci) * kGenepopCodeLimit, 0);
  for (int f = 0; f < set.individualCount; ++f)
    for (int l = 0; l < loci; ++l)
      for (int j = 0; j < 2; ++j)
        ++set.alleleTable[static_cast<std::size_t>(l) * kGenepopCodeLimit +
                          set.codes[(static_cast<std::size_t>(f) * loci + l) * 2 + j]];
  set.distinctAlleles.assign(static_cast<std::size_t>(loci), 0);
  for (int l = 0; l < loci; ++l)
    for (int code = 1; code < kGenepopCodeLimit; ++code)
      if (set.alleleTable[static_cast<std::size_t>(l) * kGenepopCodeLimit + code] != 0)
        ++set.distinctAlleles[l];
  for (const std::string& note : set.messages) LogAppend(log, "%s", note.c_str());
  return 0;
}

}  // namespace mixora
