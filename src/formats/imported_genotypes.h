#pragma once
// What the importers of the field's layouts hand over: the reference fish by
// stock and the mixture fish by population, both coded against the
// reference's allele lists, and the writing of the system's own files from
// them (SPAM baseline, Genepop-layout mixture, text control file) with the
// writers of the Genepop conversion.
#include <string>
#include <vector>

#include "core/log_buffer.h"
#include "formats/fish_genotypes.h"
#include "input/allele_coding.h"

namespace mixora {

// Allele positions the written layouts hold are 1 .. 999.
inline constexpr int32_t kMaxImportedAlleles = 1000;

struct ImportedGenotypes {
  std::string title;
  FishGenotypes reference;  // stocks, groups of the first level
  // Stocks are the mixture populations; the loci and allele lists are the
  // reference's.
  FishGenotypes mixture;
  std::vector<std::string> notes;  // "Info:" lines for the log
  std::string description;         // the control file's BaseDesc
};

// The BaseDesc of an imported set: the layout and the names of the files it
// came from ("Imported from genotype table ref.csv, mixture mix.csv"). File
// names are left out, the mixture's first, when the line would not fit the
// keyword's 87 characters; a "!" (which starts a comment) becomes "_".
std::string ImportDescription(const std::string& layout, const std::string& referenceName,
                              const std::string& mixtureName);

// The 1-based position of `allele` in a locus's list, added at the end when
// `add` is set and it is new; 0 when it is absent and not added.
int32_t AllelePosition(std::vector<std::string>& alleles, const std::string& allele, bool add);

// A locus at which no reference fish has an allele cannot tell stocks apart
// and would fail the load's checks: it is left out of both sets, with a note.
void DropLociWithoutAlleles(ImportedGenotypes& data);

// For a mixture coded against the reference's allele lists, with
// `strays[c]` counting the copies at locus c and those no reference fish
// carries: "" when they are few, else the line of MiscodedAlleles, with the
// reference's alleles as the codes expected. A locus no reference fish was
// scored at is left out of the count: the import drops it whole.
std::string MiscodedMixture(const FishGenotypes& reference, std::vector<LocusStray> strays);

// "Info:" notes on the reference's stocks: names that may be one name
// written two ways, and stocks of fewer than 10 fish. `kind` is the word
// the layout uses for a stock ("collection").
void NoteReferenceStocks(ImportedGenotypes& data, const std::string& kind);

// How many fish are missing at every locus.
int32_t FishWithoutGenotypes(const FishGenotypes& fish);

// Characters that would split a name in the layouts written (blanks end a
// stock or locus name, a comma ends a fish name) become "_".
std::string SafeName(const std::string& name, bool fishName);

// Writes the SPAM baseline, the mixture and the control file (with
// data.description as its BaseDesc). The reference
// fish may come in any order; the baseline lists them stock by stock. Returns
// 1, or 0 after logging "Cannot write to %s".
int WriteImportedFiles(const ImportedGenotypes& data, const std::string& baselineOut,
                       const std::string& mixtureOut, const std::string& controlOut,
                       LogBuffer& log);

}  // namespace mixora
