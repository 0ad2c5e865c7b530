#pragma once
// The two-column genotype table of the field's R tools: one row per fish,
// the columns sample_type ("reference" or "mixture"), repunit, collection
// and indiv, then two columns per locus, the second named like the first
// with a suffix. Comma- or tab-separated, fields may be quoted, lines end in
// LF or CR LF. A missing gene copy is NA or empty; alleles are integers or
// short strings. Collections become stocks, repunits their groups, and the
// collections of the mixture rows the mixture populations, all in the order
// they are first seen.
#include <string>
#include <vector>

#include "formats/imported_genotypes.h"

namespace mixora {

// One record of a delimited file and the line it starts on (from 1).
struct DelimitedRow {
  int line = 0;
  std::vector<std::string> fields;
};

// Splits text into rows: the separator is a tab when the first line holds
// more tabs than commas, else a comma. Quoted fields may hold separators,
// line ends and doubled quotes; unquoted fields are trimmed; empty lines are
// skipped. Returns 1, or 0 with `error` naming the line and the problem.
int SplitDelimitedText(const std::string& text, const std::string& path,
                       std::vector<DelimitedRow>& rows, std::string& error);

// Reads the whole file (a leading byte-order mark dropped, a NUL byte
// refused) and splits it as SplitDelimitedText does. Returns 1, or 0 with
// `error` naming the file, the line and the problem.
int ReadDelimitedFile(const std::string& path, std::vector<DelimitedRow>& rows,
                      std::string& error);

// Reads the reference rows of `referencePath` and, when `mixturePath` is not
// empty, the mixture rows of `mixturePath` (the same file may be named for
// both); rows of the other kind are counted in a note. The mixture's alleles
// are coded against the reference's lists: an allele no reference fish
// carries is written as missing, with a note. Returns 1, or 0 with `error`
// naming the file, the line and the problem.
int ImportGenotypeTables(const std::string& referencePath, const std::string& mixturePath,
                         ImportedGenotypes& data, std::string& error);

}  // namespace mixora
