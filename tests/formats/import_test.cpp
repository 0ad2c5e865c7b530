#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "formats/genepop_standard_import.h"
#include "formats/genotype_table_import.h"
#include "formats/imported_genotypes.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::CrLf;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

const std::string kImportData = std::string(MIXORA_TEST_DATA_DIR) + "/import/";

// Genotypes of one fish as "a/b c/d ...", positions from 1, 0 missing.
std::string GenotypeText(const FishGenotypes& set, int f) {
  std::string text;
  for (int c = 0; c < set.Loci(); ++c) {
    if (c > 0) text += ' ';
    text += std::to_string(set.At(f, c, 0)) + "/" + std::to_string(set.At(f, c, 1));
  }
  return text;
}

TEST(GenotypeTableImport, MessyTableGivesTheCountsAndGenotypesWrittenByHand) {
  // Quoted fields, CR LF, a locus name with a blank, a locus nobody was
  // scored at, a fish name holding a comma, rows of both kinds interleaved
  // and an allele (T) that only the mixture carries.
  ImportedGenotypes data;
  std::string error;
  const std::string table = kImportData + "messy_table.csv";
  ASSERT_EQ(ImportGenotypeTables(table, table, data, error), 1) << error;
  DropLociWithoutAlleles(data);

  const FishGenotypes& ref = data.reference;
  EXPECT_EQ(ref.locusNames, (std::vector<std::string>{"Loc1", "Loc_2"}));
  EXPECT_EQ(ref.alleleNames[0], (std::vector<std::string>{"101", "103", "105"}));
  EXPECT_EQ(ref.alleleNames[1], (std::vector<std::string>{"A", "C", "G"}));
  EXPECT_EQ(ref.stockNames, (std::vector<std::string>{"Alpha_Creek", "Beta"}));
  EXPECT_EQ(ref.groupNames[0], (std::vector<std::string>{"North", "South"}));
  EXPECT_EQ(ref.stockGroup[0], (std::vector<int32_t>{0, 1}));
  ASSERT_EQ(ref.Fish(), 4);
  EXPECT_EQ(GenotypeText(ref, 1), "2/2 1/0");  // A2: 103 103, "A" NA
  EXPECT_EQ(GenotypeText(ref, 3), "3/3 2/3");  // B2 comes after the mixture rows

  const FishGenotypes& mix = data.mixture;
  ASSERT_EQ(mix.Fish(), 2);
  EXPECT_EQ(mix.fishNames[0], "M1_ tagged");
  EXPECT_EQ(GenotypeText(mix, 0), "1/3 2/0");  // T is not in the reference
  EXPECT_EQ(GenotypeText(mix, 1), "0/0 3/1");

  bool notedT = false, notedGone = false;
  for (const std::string& note : data.notes) {
    notedT = notedT || note.find("allele T at locus Loc_2") != std::string::npos;
    notedGone = notedGone || note.find("locus Gone") != std::string::npos;
  }
  EXPECT_TRUE(notedT);
  EXPECT_TRUE(notedGone);

  ScratchFolder folder;
  LogBuffer log;
  ASSERT_EQ(WriteImportedFiles(data, folder / "b.bse", folder / "m.mix", folder / "r.tcf", log), 1);
  EXPECT_EQ(ReadFile(folder / "b.bse"), CrLf({"#001 Alpha_Creek", "Loc1        1    3    0",
                                              "Loc_2       2    1    0", "#002 Beta",
                                              "Loc1        1    0    3", "Loc_2       0    1    3"}));
  const std::string control = ReadFile(folder / "r.tcf");
  EXPECT_NE(control.find("001  1  Alpha_Creek\r\n002  2  Beta\r\n"), std::string::npos);
  EXPECT_NE(control.find("Groups =\r\n  1   1  North\r\n  1   2  South\r\n"), std::string::npos);
}

TEST(GenotypeTableImport, TabSeparatedTableSplitsOnTabs) {
  ImportedGenotypes data;
  std::string error;
  const std::string table = kImportData + "small_table.tsv";
  ASSERT_EQ(ImportGenotypeTables(table, table, data, error), 1) << error;
  EXPECT_EQ(data.reference.stockNames, (std::vector<std::string>{"S1", "S2"}));
  EXPECT_EQ(GenotypeText(data.mixture, 0), "1/2 1/2");
}

TEST(GenotypeTableImport, RefusalsNameTheFileTheLineAndTheProblem) {
  const std::string header = "sample_type,repunit,collection,indiv,L1,L1.1\n";
  struct Case {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"missing column", "sample_type,repunit,indiv,L1,L1.1\nreference,R,A,f1,1,2\n",
       "line 1: no column \"collection\""},
      {"unpaired locus", "sample_type,repunit,collection,indiv,L1,X2\nreference,R,A,f1,1,2\n",
       "line 1: column 6 \"X2\" should hold the second gene copy of locus \"L1\""},
      {"short row", header + "reference,R,A,f1,1,2\nreference,R,A,f2,1\n",
       "line 3: 5 fields, but the header has 6"},
      {"bad kind", header + "reference,R,A,f1,1,2\nbaseline,R,A,f2,1,1\n",
       "line 3: sample_type \"baseline\""},
      {"two repunits", header + "reference,R,A,f1,1,2\nreference,Q,A,f2,1,1\n",
       "line 3: collection A is in repunit Q here but in repunit R"},
      {"open quote", header + "reference,R,\"A,f1,1,2\n", "line 2: a quote that is never closed"},
      {"no reference", header + "mixture,NA,M,f1,1,2\n", "no reference rows"},
  };
  ScratchFolder folder;
  for (const Case& c : cases) {
    const std::string path = folder / "table.csv";
    WriteFile(path, c.text);
    ImportedGenotypes data;
    std::string error;
    EXPECT_EQ(ImportGenotypeTables(path, "", data, error), 0) << c.what;
    EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
  }
}

// A mixture written in other codes than its reference (letters against
// numbers) would come out almost all missing; the import stops instead.
TEST(ImportedMixture, AllelesInOtherCodesThanTheReferenceAreRefusedInOneMessage) {
  ScratchFolder folder;
  std::string table = "sample_type,repunit,collection,indiv,L1,L1.1,L2,L2.1\n";
  for (int f = 1; f <= 4; ++f)
    table += "reference,R,Deer_Cr,r" + std::to_string(f) + "," + std::to_string(f) + ",1,2," + std::to_string(f) + "\n";
  for (int f = 1; f <= 4; ++f) table += "mixture,NA,M,m" + std::to_string(f) + ",A,C,G,T\n";
  WriteFile(folder / "letters.csv", table);
  WriteFile(folder / "ref.gen", "Reference\nL1, L2\nPOP\nr1 , 0101 0102\nr2 , 0202 0102\n");
  WriteFile(folder / "mix.gen", "Mixture\nL1, L2\nPOP\nm1 , 101101 102101\nm2 , 102102 101102\n"
                                "m3 , 101102 102102\n");
  struct Case {
    const char* what;
    int (*import)(const std::string&, const std::string&, ImportedGenotypes&, std::string&);
    std::string reference, mixture, expected;
  } cases[] = {
      {"table",
       [](const std::string& r, const std::string& m, ImportedGenotypes& d, std::string& e) {
         return ImportGenotypeTables(r, m, d, e);
       },
       folder / "letters.csv", folder / "letters.csv",
       ": 16 of the 16 scored gene copies (100.0%) are alleles the baseline never shows; worst hit: "
       "locus L1 (8 copies, codes seen A, C, baseline codes 1, 2, 3, 4), "
       "locus L2 (8 copies, codes seen G, T, baseline codes 1, 2, 3, 4); "
       "write the mixture's alleles in the baseline's codes"},
      {"Genepop",
       [](const std::string& r, const std::string& m, ImportedGenotypes& d, std::string& e) {
         return ImportStandardGenepop(r, m, "", d, e);
       },
       folder / "ref.gen", folder / "mix.gen",
       ": 12 of the 12 scored gene copies (100.0%) are alleles the baseline never shows; worst hit: "
       "locus L1 (6 copies, codes seen 101, 102, baseline codes 1, 2), "
       "locus L2 (6 copies, codes seen 101, 102, baseline codes 1, 2)"},
  };
  for (const Case& c : cases) {
    ImportedGenotypes data;
    std::string error;
    EXPECT_EQ(c.import(c.reference, c.mixture, data, error), 0) << c.what;
    EXPECT_EQ(error.find(c.mixture + c.expected), 0u) << c.what << ": " << error;
    for (const std::string& note : data.notes) EXPECT_EQ(note.find("written as missing"), std::string::npos) << note;
  }
  auto result = testing_support::RunCli(folder.path(), {"import", "--reference", folder / "letters.csv", "--mixture",
                                                        folder / "letters.csv", "--control", folder / "run.tcf"});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.err.find("import failed: " + (folder / "letters.csv") + ": 16 of the 16"), std::string::npos)
      << result.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "run.tcf"));
}

// A locus only the mixture was scored at is dropped whole; its copies are no
// sign of a mixture written in other codes.
TEST(ImportedMixture, LocusNoReferenceFishWasScoredAtIsNoSignOfOtherCodes) {
  ScratchFolder folder;
  std::string table = "sample_type,repunit,collection,indiv,L1,L1.1,L9,L9.1\n";
  for (int f = 1; f <= 4; ++f) table += "reference,R,Deer_Cr,r" + std::to_string(f) + ",1,2,NA,NA\n";
  for (int f = 1; f <= 8; ++f) table += "mixture,NA,M,m" + std::to_string(f) + ",1,1,7,8\n";
  WriteFile(folder / "table.csv", table);
  ImportedGenotypes data;
  std::string error;
  ASSERT_EQ(ImportGenotypeTables(folder / "table.csv", folder / "table.csv", data, error), 1) << error;
  DropLociWithoutAlleles(data);
  EXPECT_EQ(data.mixture.locusNames, (std::vector<std::string>{"L1"}));
}

// A relabelled collection, collections of few fish and mixture fish with
// nothing scored: the import says so, writes the files, and check and load
// leave the blank fish out by name, file and line.
TEST(ImportCommand, ToldOfLikelyTyposSmallCollectionsAndBlankFish) {
  ScratchFolder folder;
  std::string table = "sample_type,repunit,collection,indiv,L1,L1.1,L2,L2.1\n";
  for (int f = 1; f <= 12; ++f)
    table += "reference,R,Butte_Cr_fa,b" + std::to_string(f) + "," + std::to_string(f % 3 + 1) + ",1,2,2\n";
  for (int f = 1; f <= 3; ++f) table += "reference,R,Butte_Cr_Fa,t" + std::to_string(f) + ",1,2,1,1\n";
  table += "mixture,NA,M,m1,1,2,1,2\nmixture,NA,M,blank,NA,NA,,\nmixture,NA,M,m3,2,2,2,1\n";
  WriteFile(folder / "fish.csv", table);
  auto result = testing_support::RunCli(folder.path(), {"import", "--reference", folder / "fish.csv", "--mixture",
                                                        folder / "fish.csv", "--control", folder / "run.tcf"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string told = result.out + result.err;
  for (const char* line :
       {"Info: collection names Butte_Cr_fa and Butte_Cr_Fa differ only in case; if they are one collection, write "
        "its name the same way everywhere",
        "Info: collection Butte_Cr_Fa has 3 reference fish, fewer than 10; its allele frequencies rest on few fish",
        "Mixture fish written with no genotypes: 1"})
    EXPECT_NE(told.find(line), std::string::npos) << line << "\n" << told;

  for (const char* command : {"check", "load"}) {
    auto run = testing_support::RunCli(folder.path(), {command, folder / "run.tcf", "--overwrite"});
    EXPECT_EQ(run.exitCode, 0) << command << run.out << run.err;
    const std::string all = run.out + run.err;
    EXPECT_NE(all.find("Info: Fish blank (" + (folder / "fish_Mixora.mix") + ", line 6): no alleles present; left "
                       "out of the run"),
              std::string::npos)
        << command << all;
    EXPECT_NE(all.find("Info: stock names Butte_Cr_fa and Butte_Cr_Fa differ only in case"), std::string::npos)
        << command << all;
  }
}

TEST(GenepopStandardImport, BlocksBecomeStocksNamedByTheirLastFishOrByTheNamesFile) {
  ImportedGenotypes data;
  std::string error;
  ASSERT_EQ(ImportStandardGenepop(kImportData + "ref.gen", kImportData + "mix.gen", "", data,
                                  error),
            1)
      << error;
  const FishGenotypes& ref = data.reference;
  EXPECT_EQ(ref.locusNames, (std::vector<std::string>{"LocA", "LocB"}));
  EXPECT_EQ(ref.stockNames, (std::vector<std::string>{"r2", "North", "last_south"}));
  EXPECT_TRUE(ref.groupNames.empty());
  EXPECT_EQ(ref.alleleNames[1], (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(GenotypeText(ref, 2), "2/2 0/0");
  // The mixture's 3-digit codes map onto the reference's 2-digit ones; code 9
  // is not in the reference.
  EXPECT_EQ(GenotypeText(data.mixture, 0), "1/1 2/0");
  EXPECT_EQ(GenotypeText(data.mixture, 1), "2/2 3/3");

  ASSERT_EQ(ImportStandardGenepop(kImportData + "ref.gen", kImportData + "mix.gen",
                                  kImportData + "pop_names.txt", data, error),
            1)
      << error;
  EXPECT_EQ(data.reference.stockNames,
            (std::vector<std::string>{"Upper_River", "Middle", "Lower_River"}));
  EXPECT_EQ(data.reference.groupNames[0], (std::vector<std::string>{"Coast", "Inland"}));
  EXPECT_EQ(data.reference.stockGroup[0], (std::vector<int32_t>{0, 1, 0}));
}

TEST(GenepopStandardImport, RefusesALabelFileAndANamesFileOfTheWrongLength) {
  ScratchFolder folder;
  WriteFile(folder / "label.gen", "Label my stocks\nLocA\nPOP\nx , 0101\n");
  WriteFile(folder / "names.txt", "One\nTwo\n");
  ImportedGenotypes data;
  std::string error;
  EXPECT_EQ(ImportStandardGenepop(folder / "label.gen", "", "", data, error), 0);
  EXPECT_NE(error.find("line 1: this Genepop file carries stock labels"), std::string::npos)
      << error;
  EXPECT_EQ(ImportStandardGenepop(kImportData + "ref.gen", "", folder / "names.txt", data, error),
            0);
  EXPECT_NE(error.find("2 names for 3 POP blocks"), std::string::npos) << error;
}

TEST(ImportCommand, WritesFilesThatLoadAndRefusesToReplaceAnInput) {
  ScratchFolder folder;
  const std::string table = kImportData + "messy_table.csv";
  auto result = testing_support::RunCli(folder.path(), {"import", "--reference", table,
                                                        "--mixture", table, "--control",
                                                        folder / "run.tcf"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto check = testing_support::RunCli(folder.path(), {"check", folder / "run.tcf"});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

  auto clash = testing_support::RunCli(
      folder.path(), {"import", "--reference", table, "--mixture", table, "--control",
                      folder / "run2.tcf", "--baseline-out", table, "--overwrite"});
  EXPECT_NE(clash.exitCode, 0);
  EXPECT_NE(clash.err.find("it is an input file"), std::string::npos) << clash.err;
}

// The control file says where its data came from, not the Genepop Label
// conversion's words.
TEST(ImportCommand, ControlFileDescribesTheImportedFiles) {
  struct Case {
    std::string reference, mixture, format, expected;
  };
  const std::vector<Case> cases = {
      {"messy_table.csv", "messy_table.csv", "csv",
       "BaseDesc = Imported from genotype table messy_table.csv, mixture messy_table.csv\r\n"},
      {"ref.gen", "mix.gen", "genepop",
       "BaseDesc = Imported from standard Genepop ref.gen, mixture mix.gen\r\n"},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    auto result = testing_support::RunCli(
        folder.path(), {"import", "--reference", kImportData + c.reference, "--mixture",
                        kImportData + c.mixture, "--format", c.format, "--control",
                        folder / "run.tcf"});
    ASSERT_EQ(result.exitCode, 0) << c.format << ": " << result.err;
    const std::string control = ReadFile(folder / "run.tcf");
    EXPECT_NE(control.find(c.expected), std::string::npos) << control;
    EXPECT_EQ(control.find("Genepop Label"), std::string::npos) << control;
  }
}

TEST(ImportDescription, LeavesOutNamesThatDoNotFitAndCommentMarks) {
  const std::string longName(60, 'x');
  EXPECT_EQ(ImportDescription("genotype table", "a!b.csv", "m.csv"),
            "Imported from genotype table a_b.csv, mixture m.csv");
  EXPECT_EQ(ImportDescription("genotype table", "r.csv", longName),
            "Imported from genotype table r.csv");
  EXPECT_EQ(ImportDescription("standard Genepop", longName + longName, "m.gen"),
            "Imported from standard Genepop");
}

}  // namespace
}  // namespace mixora
