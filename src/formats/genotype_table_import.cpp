#include "formats/genotype_table_import.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "core/lookups.h"
#include "core/text_file.h"

namespace mixora {

namespace {

std::string At(const std::string& path, int line, const std::string& problem) {
  return path + ", line " + std::to_string(line) + ": " + problem;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Cannot open " + path;
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    int line = 1;
    for (std::size_t i = 0; i < nul; ++i) line += text[i] == '\n';
    error = At(path, line, "a NUL byte; this is not a text table");
    return false;
  }
  return true;
}

bool IsMissingAllele(const std::string& field) { return field.empty() || field == "NA"; }

// The columns of one table: where the four named columns are, and each
// locus's pair of columns.
struct TableColumns {
  int sampleType = -1, repunit = -1, collection = -1, indiv = -1;
  std::vector<std::string> loci;
  std::vector<int> first;  // [locus]: column of the first gene copy
};

bool ReadHeader(const DelimitedRow& header, const std::string& path, TableColumns& columns,
                std::string& error) {
  struct Named {
    const char* name;
    int* column;
  } named[] = {{"sample_type", &columns.sampleType},
               {"repunit", &columns.repunit},
               {"collection", &columns.collection},
               {"indiv", &columns.indiv}};
  std::vector<int> rest;
  for (std::size_t i = 0; i < header.fields.size(); ++i) {
    bool taken = false;
    for (Named& n : named) {
      if (*n.column < 0 && NamesEqual(header.fields[i], n.name)) {
        *n.column = static_cast<int>(i);
        taken = true;
      }
    }
    if (!taken) rest.push_back(static_cast<int>(i));
  }
  for (const Named& n : named) {
    if (*n.column < 0) {
      error = At(path, header.line, std::string("no column \"") + n.name +
                                        "\" in the header; a genotype table starts with "
                                        "sample_type, repunit, collection and indiv");
      return false;
    }
  }
  if (rest.size() % 2 != 0) {
    error = At(path, header.line,
               std::to_string(rest.size()) +
                   " locus columns; every locus needs two, one per gene copy");
    return false;
  }
  for (std::size_t i = 0; i < rest.size(); i += 2) {
    const std::string& a = header.fields[rest[i]];
    const std::string& b = header.fields[rest[i + 1]];
    if (a.empty() || b.size() <= a.size() || !NamesEqual(b.substr(0, a.size()), a)) {
      error = At(path, header.line,
                 "column " + std::to_string(rest[i + 1] + 1) + " \"" + b +
                     "\" should hold the second gene copy of locus \"" + a +
                     "\" and be named like it with a suffix");
      return false;
    }
    columns.loci.push_back(a);
    columns.first.push_back(rest[i]);
  }
  if (columns.loci.empty()) {
    error = At(path, header.line, "no locus columns after sample_type, repunit, collection, indiv");
    return false;
  }
  return true;
}

bool ReadTable(const std::string& path, std::vector<DelimitedRow>& rows, TableColumns& columns,
               std::string& error) {
  if (!ReadDelimitedFile(path, rows, error)) return false;
  if (rows.empty()) {
    error = path + ": the table is empty";
    return false;
  }
  if (!ReadHeader(rows[0], path, columns, error)) return false;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].fields.size() != rows[0].fields.size()) {
      error = At(path, rows[r].line,
                 std::to_string(rows[r].fields.size()) + " fields, but the header has " +
                     std::to_string(rows[0].fields.size()));
      return false;
    }
  }
  return true;
}

// The kind of a row: 0 reference, 1 mixture, -1 neither.
int RowKind(const std::string& sampleType) {
  if (NamesEqual(sampleType, "reference")) return 0;
  if (NamesEqual(sampleType, "mixture")) return 1;
  return -1;
}

int32_t IndexAdding(std::vector<std::string>& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int32_t>(i);
  names.push_back(name);
  return static_cast<int32_t>(names.size()) - 1;
}

bool CheckKinds(const std::vector<DelimitedRow>& rows, const TableColumns& columns,
                const std::string& path, int wanted, int& others, std::string& error) {
  others = 0;
  int found = 0;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const std::string& type = rows[r].fields[columns.sampleType];
    int kind = RowKind(type);
    if (kind < 0) {
      error = At(path, rows[r].line,
                 "sample_type \"" + type + "\" is neither \"reference\" nor \"mixture\"");
      return false;
    }
    if (kind == wanted) {
      ++found;
    } else {
      ++others;
    }
  }
  if (found == 0) {
    error = path + ": no " + (wanted == 0 ? "reference" : "mixture") + " rows";
    return false;
  }
  return true;
}

bool ReadReference(const std::string& path, ImportedGenotypes& data, std::string& error) {
  std::vector<DelimitedRow> rows;
  TableColumns columns;
  if (!ReadTable(path, rows, columns, error)) return false;
  int others = 0;
  if (!CheckKinds(rows, columns, path, 0, others, error)) return false;
  FishGenotypes& ref = data.reference;
  const std::size_t C = columns.loci.size();
  for (const std::string& locus : columns.loci) {
    if (FindName(ref.locusNames, SafeName(locus, false)) >= 0) {
      error = At(path, rows[0].line, "locus \"" + locus + "\" appears twice in the header");
      return false;
    }
    ref.locusNames.push_back(SafeName(locus, false));
  }
  ref.alleleNames.assign(C, {});
  ref.groupNames.assign(1, {});
  ref.stockGroup.assign(1, {});
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const DelimitedRow& row = rows[r];
    if (RowKind(row.fields[columns.sampleType]) != 0) continue;
    const std::string collection = SafeName(row.fields[columns.collection], false);
    const std::string repunit = row.fields[columns.repunit];
    const std::string indiv = row.fields[columns.indiv];
    if (collection.empty() || IsMissingAllele(collection)) {
      error = At(path, row.line, "a reference fish without a collection");
      return false;
    }
    if (repunit.empty() || repunit == "NA") {
      error = At(path, row.line, "reference fish " + indiv + " has no repunit");
      return false;
    }
    if (indiv.empty()) {
      error = At(path, row.line, "a fish without a name in column indiv");
      return false;
    }
    const int32_t group = IndexAdding(ref.groupNames[0], repunit);
    const std::size_t before = ref.stockNames.size();
    const int32_t stock = IndexAdding(ref.stockNames, collection);
    if (ref.stockNames.size() > before) {
      ref.stockGroup[0].push_back(group);
    } else if (ref.stockGroup[0][stock] != group) {
      error = At(path, row.line,
                 "collection " + collection + " is in repunit " + repunit +
                     " here but in repunit " + ref.groupNames[0][ref.stockGroup[0][stock]] +
                     " on an earlier line");
      return false;
    }
    ref.fishNames.push_back(indiv);
    ref.fishStock.push_back(stock);
    for (std::size_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) {
        const std::string& allele = row.fields[columns.first[c] + j];
        int32_t position = 0;
        if (!IsMissingAllele(allele)) {
          position = AllelePosition(ref.alleleNames[c], allele, true);
          if (position >= kMaxImportedAlleles) {
            error = At(path, row.line,
                       "locus " + columns.loci[c] + " has more than " +
                           std::to_string(kMaxImportedAlleles - 1) + " alleles");
            return false;
          }
        }
        ref.genotypes.push_back(position);
      }
  }
  if (others > 0)
    data.notes.push_back("Info: " + std::to_string(others) + " mixture rows of " + path +
                         " were not read as reference fish");
  return true;
}

bool ReadMixture(const std::string& path, ImportedGenotypes& data, std::string& error) {
  std::vector<DelimitedRow> rows;
  TableColumns columns;
  if (!ReadTable(path, rows, columns, error)) return false;
  int others = 0;
  if (!CheckKinds(rows, columns, path, 1, others, error)) return false;
  FishGenotypes& ref = data.reference;
  FishGenotypes& mix = data.mixture;
  const int32_t C = ref.Loci();
  // The reference's locus order, whatever the order of the mixture's columns.
  std::vector<int> column(static_cast<std::size_t>(C), -1);
  for (std::size_t l = 0; l < columns.loci.size(); ++l) {
    int c = FindName(ref.locusNames, SafeName(columns.loci[l], false));
    if (c >= 0) column[c] = columns.first[l];
  }
  for (int32_t c = 0; c < C; ++c) {
    if (column[c] < 0) {
      error = At(path, rows[0].line, "no columns for locus " + ref.locusNames[c] +
                                         ", which the reference has");
      return false;
    }
  }
  if (columns.loci.size() > static_cast<std::size_t>(C))
    data.notes.push_back("Info: " + std::to_string(columns.loci.size() - C) +
                         " loci of " + path + " are not in the reference and were left out");
  mix.locusNames = ref.locusNames;
  std::map<std::pair<int32_t, std::string>, int> unseen;
  std::vector<LocusStray> strays(static_cast<std::size_t>(C));
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const DelimitedRow& row = rows[r];
    if (RowKind(row.fields[columns.sampleType]) != 1) continue;
    const std::string indiv = row.fields[columns.indiv];
    if (indiv.empty()) {
      error = At(path, row.line, "a fish without a name in column indiv");
      return false;
    }
    std::string population = row.fields[columns.collection];
    if (IsMissingAllele(population)) population = "mixture";
    mix.fishStock.push_back(IndexAdding(mix.stockNames, population));
    mix.fishNames.push_back(SafeName(indiv, true));
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) {
        const std::string& allele = row.fields[column[c] + j];
        int32_t position = 0;
        if (!IsMissingAllele(allele)) {
          position = AllelePosition(ref.alleleNames[c], allele, false);
          if (position == 0) ++unseen[{c, allele}];
          CountCopy(strays[static_cast<std::size_t>(c)], allele, position != 0);
        }
        mix.genotypes.push_back(position);
      }
  }
  mix.alleleNames = ref.alleleNames;
  if (std::string why = MiscodedMixture(ref, std::move(strays)); !why.empty()) {
    error = path + ": " + why;
    return false;
  }
  for (const auto& [key, copies] : unseen)
    data.notes.push_back("Info: allele " + key.second + " at locus " + ref.locusNames[key.first] +
                         " is carried by " + std::to_string(copies) +
                         " mixture gene copies but by no reference fish; written as missing");
  if (others > 0)
    data.notes.push_back("Info: " + std::to_string(others) + " reference rows of " + path +
                         " were not read as mixture fish");
  return true;
}

}  // namespace

int ReadDelimitedFile(const std::string& path, std::vector<DelimitedRow>& rows,
                      std::string& error) {
  std::string text;
  if (!ReadWholeFile(path, text, error)) return 0;
  return SplitDelimitedText(text, path, rows, error);
}

int SplitDelimitedText(const std::string& text, const std::string& path,
                       std::vector<DelimitedRow>& rows, std::string& error) {
  std::size_t firstEnd = text.find('\n');
  std::string firstLine = text.substr(0, firstEnd);
  std::size_t tabs = 0, commas = 0;
  for (char c : firstLine) {
    tabs += c == '\t';
    commas += c == ',';
  }
  const char separator = tabs > commas ? '\t' : ',';

  int line = 1;
  DelimitedRow row;
  row.line = 1;
  std::string field;
  bool quoted = false;      // inside quotes
  bool wasQuoted = false;   // the current field began with a quote
  bool rowHasText = false;
  int quoteLine = 0;
  auto endField = [&]() {
    row.fields.push_back(wasQuoted ? field : TrimLine(field));
    field.clear();
    wasQuoted = false;
  };
  auto endRow = [&]() {
    endField();
    if (rowHasText) rows.push_back(row);
    row = DelimitedRow{};
    rowHasText = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        if (c != '\r') field += c;
      }
      continue;
    }
    if (c == '\r') continue;
    if (c == '\n') {
      endRow();
      ++line;
      row.line = line;
      continue;
    }
    if (c == separator) {
      endField();
      rowHasText = true;
      continue;
    }
    if (c == '"' && TrimLine(field).empty() && !wasQuoted) {
      field.clear();
      quoted = true;
      wasQuoted = true;
      rowHasText = true;
      quoteLine = line;
      continue;
    }
    if (wasQuoted) {
      if (c == ' ' || c == '\t') continue;
      error = path + ", line " + std::to_string(line) + ": text after a closing quote";
      return 0;
    }
    if (c != ' ' && c != '\t') rowHasText = true;
    field += c;
  }
  if (quoted) {
    error = path + ", line " + std::to_string(quoteLine) + ": a quote that is never closed";
    return 0;
  }
  endRow();
  return 1;
}

int ImportGenotypeTables(const std::string& referencePath, const std::string& mixturePath,
                         ImportedGenotypes& data, std::string& error) {
  data = ImportedGenotypes{};
  if (!ReadReference(referencePath, data, error)) return 0;
  if (!mixturePath.empty() && !ReadMixture(mixturePath, data, error)) return 0;
  return 1;
}

}  // namespace mixora
