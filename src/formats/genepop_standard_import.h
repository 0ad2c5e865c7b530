#pragma once
// Standard Genepop files (a title line, the loci one per line or in one
// comma-separated line, then "POP" blocks of "name, code code ..." lines with
// 2 or 3 digits per allele): each block of the reference is one stock, each
// block of the mixture one mixture population.
#include <string>

#include "formats/imported_genotypes.h"

namespace mixora {

// Reads the reference and, when `mixturePath` is not empty, the mixture. A
// stock takes the name of the last individual of its block, as Genepop names
// samples, unless `popNamesPath` is given: one line per block of the
// reference, in file order, holding the stock's name and optionally its group
// (separated by a comma, a tab or blanks). The reference's allele lists are
// its codes in ascending order, as the Genepop conversion lists them; a
// mixture code no reference fish carries is written as missing, with a note.
// Returns 1, or 0 with `error` naming the file, the line and the problem.
int ImportStandardGenepop(const std::string& referencePath, const std::string& mixturePath,
                          const std::string& popNamesPath, ImportedGenotypes& data,
                          std::string& error);

}  // namespace mixora
