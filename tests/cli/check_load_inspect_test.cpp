#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using mixora::testing_support::CliResult;
using mixora::testing_support::RunCli;
using mixora::testing_support::ReadFileBytes;

// A scratch copy of a test data folder, removed afterwards.
class Scratch {
 public:
  explicit Scratch(const std::string& dataFolder) {
    path_ = mixora::testing_support::NewTempFolder("cli");
    for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / dataFolder))
      fs::copy(entry.path(), path_ / entry.path().filename(), fs::copy_options::recursive);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CheckCommand, BrokenInputsFailWithTheirFlagMessages) {
  struct Case {
    const char* file;
    std::vector<std::string> logLines;  // exact lines of the printed log
    std::string lastLine;
  } cases[] = {
      {"bad_control.tcf",
       {"5 Stocks specified, 3 stocks found", "Fatal error parsing stock block",
        "Stock count mismatch", "Control File Load FAIL!!"},
       "mixora: bad_control.tcf: control file load failed: Stock count mismatch"},
      {"bad_range.tcf",
       {"NumberOfChains not 1 - 100", "Fatal error parsing Mixora Control file",
        "Value out of range", "Control File Load FAIL!!"},
       "mixora: bad_range.tcf, line 10: control file load failed: NumberOfChains not 1 - 100"},
      {"bad_baseline.tcf",
       {"Control File Load SUCCESS!!", "More that 256 allele positions", "Baseline Load FAIL!!"},
       "mixora: bad_baseline.bse, line 4: baseline load failed: 257 counts on one line; at most 256 "
       "allele positions are held"},
      {"bad_mixture.tcf",
       {"Baseline check SUCCEEDED!!", "Fatal Error in Line 3:", "011100 020000 00110000  F-101",
        "Sum of Alleles > 2", "Fatal error resolving mixture characters",
        "Number of chars not equal", "Mixture Load FAIL!!"},
       "mixora: bad_mixture.mix, line 3: mixture load failed: Sum of Alleles > 2, Number of chars "
       "not equal"},
  };
  for (const auto& c : cases) {
    fs::path source = fs::path(MIXORA_TEST_DATA_DIR) / "broken" / c.file;
    if (!fs::exists(source)) {
      ADD_FAILURE() << "missing fixture " << source;
      continue;
    }
    Scratch scratch("broken");
    CliResult result = RunCli(scratch.path(), {"check", c.file});
    EXPECT_NE(result.exitCode, 0) << c.file;
    for (const std::string& line : c.logLines)
      EXPECT_TRUE(Contains(result.out, "\n" + line + "\n")) << c.file << ": " << line << "\n" << result.out;
    EXPECT_EQ(result.LastErrorLine(), c.lastLine) << c.file;
    // The log is saved beside the control file with its own CR LF ends.
    std::string log = ReadFileBytes(scratch.path() / fs::path(c.file).replace_extension("log"));
    EXPECT_TRUE(Contains(log, "\r\nControl File Load ")) << c.file;
  }
}

// A flag's text alone ("Values not the same") leaves a person searching the
// log: the closing line names the item and, where there is one, what to do.
TEST(CheckCommand, ClosingErrorNamesTheItemAndTheNextStep) {
  struct Case {
    const char* what;
    const char* file;
    const char* from;
    const char* to;
    std::vector<std::string> parts;  // all in the last line on standard error
  } cases[] = {
      {"count keyword", "small.tcf", "NumberOfChars = 2", "NumberOfChars = 3",
       {"small.tcf: control file load failed: Values not the same",
        "Character count mismatch. 3 specified, 2 found.", "make the count keyword agree"}},
      {"stock not in the baseline", "small.tcf", "013 02  Lower", "014 02  Lower",
       {"baseline check failed: Stock not found", "StockID 14 - Lower not found in Baseline",
        "exclude it with"}},
      {"group missing", "small.tcf", "1 2 South", "1 3 South",
       {"Invalid level", "Level 1 Group 2 not found for StockID 13 - Lower"}},
      {"keyword missing", "small.tcf", "Species = Coho", "",
       {"Missing control file keyword(s): Missing Species", "add the keyword"}},
      {"allele beyond the count", "small.tcf", "002 03 T LocB", "002 02 T LocB",
       {"baseline check failed: More that 256 allele positions: Fatal: CharID 2 - LocB has max "
        "of 2, 3 found in Baseline",
        "raise the allele count of the character in Chars ="}},
  };
  for (const auto& c : cases) {
    Scratch scratch("rcf");
    std::string text = ReadFileBytes(scratch.path() / c.file);
    ASSERT_NE(text.find(c.from), std::string::npos) << c.what;
    text.replace(text.find(c.from), std::string(c.from).size(), c.to);
    std::ofstream(scratch.path() / c.file, std::ios::binary) << text;
    CliResult result = RunCli(scratch.path(), {"check", "small.tcf"});
    EXPECT_EQ(result.exitCode, 1) << c.what;
    for (const std::string& part : c.parts)
      EXPECT_TRUE(Contains(result.LastErrorLine(), part)) << c.what << ": " << part << "\n"
                                                         << result.err;
  }
}

TEST(CheckCommand, GoodRunPassesAndPrintsCountsAndPriorWeights) {
  Scratch scratch("rcf");
  CliResult result = RunCli(scratch.path(), {"check", "small.tcf", "--priors", "--log", "checked.log"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "Mixture check SUCCEEDED!!"));
  EXPECT_TRUE(Contains(result.out, "Mixture fish:           6"));
  EXPECT_TRUE(Contains(result.out, "WEIGHTS (P) FOR PRIOR MEANS"));
  EXPECT_TRUE(Contains(result.out, "   11  0.27  0.37\n"));
  EXPECT_TRUE(fs::exists(scratch.path() / "checked.log"));
  EXPECT_FALSE(fs::exists(scratch.path() / "small.log"));
  EXPECT_FALSE(fs::exists(scratch.path() / "out"));  // check writes no run control file
}

TEST(LoadCommand, WritesARunControlFileThatInspectShows) {
  Scratch scratch("rcf");
  CliResult load = RunCli(scratch.path(), {"load", "small.tcf"});
  ASSERT_EQ(load.exitCode, 0) << load.out << load.err;
  // OutputFolder "out" is taken from the control file's folder and created.
  fs::path rcf = scratch.path() / "out" / "small.rcf";
  ASSERT_TRUE(fs::exists(rcf));
  EXPECT_TRUE(Contains(load.out, "Conversion Succeeded: out/small.rcf\n"));
  std::string log = ReadFileBytes(scratch.path() / "small.log");
  EXPECT_TRUE(Contains(log, "\r\nMixture check SUCCEEDED!!\r\nConversion Succeeded: out/small.rcf\r\n"));

  CliResult inspect = RunCli(scratch.path(), {"inspect", "out/small.rcf"});
  EXPECT_EQ(inspect.exitCode, 0) << inspect.err;
  for (const char* part : {"run control file", "Control file:    Mixora Control",
                           "Mixture format:  Genepop", "Title = Small run", "Mixtures:        3",
                           "Fish:            6 in the analysis, 0 left out", "Middle",
                           "Small te_POP_02   2022     3", "V2 / 2022-05-01 / South / Gillnet / second",
                           "Small te_POP_03   2023     1"})
    EXPECT_TRUE(Contains(inspect.out, part)) << part << "\n" << inspect.out;
}

TEST(LoadCommand, ExistingRunControlFileIsReplacedOnlyWhenAllowed) {
  Scratch scratch("rcf");
  ASSERT_EQ(RunCli(scratch.path(), {"load", "small.tcf", "-o", "mine.rcf"}).exitCode, 0);
  fs::path rcf = scratch.path() / "mine.rcf";
  std::string before = ReadFileBytes(rcf);
  std::ofstream(rcf, std::ios::binary) << "placeholder";

  CliResult refused = RunCli(scratch.path(), {"load", "small.tcf", "-o", "mine.rcf"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_EQ(refused.LastErrorLine(),
            "mixora: mine.rcf exists and was not overwritten (use --overwrite to replace it)");
  EXPECT_EQ(ReadFileBytes(rcf), "placeholder");

  CliResult replaced = RunCli(scratch.path(), {"load", "small.tcf", "-o", "mine.rcf", "--overwrite"});
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(ReadFileBytes(rcf), before);  // same inputs, same bytes
}

// A log or run control file written over an input would lose the run's own
// data, even when replacing files was allowed.
TEST(LoadCommand, OutputsNeverReplaceTheRunsInputs) {
  struct Case {
    std::vector<std::string> args;
    const char* input;
    const char* said;
  } cases[] = {
      {{"check", "small.tcf", "--log", "small.tcf"}, "small.tcf",
       "Cannot write the log to small.tcf: it is the control file of the run (use --log)"},
      {{"load", "small.tcf", "--log", "small_baseline.bse"}, "small_baseline.bse",
       "Cannot write the log to small_baseline.bse: it is the baseline of the run (use --log)"},
      {{"load", "small.tcf", "-o", "small_mixture.gen", "--overwrite"}, "small_mixture.gen",
       "mixora: cannot write the run control file to small_mixture.gen: it is the mixture of the run"},
      {{"check", "run.log"}, "run.log",
       "Cannot write the log to run.log: it is the control file of the run (use --log)"},
  };
  for (const auto& c : cases) {
    Scratch scratch("rcf");
    fs::copy_file(scratch.path() / "small.tcf", scratch.path() / "run.log");
    std::string before = ReadFileBytes(scratch.path() / c.input);
    CliResult result = RunCli(scratch.path(), c.args);
    EXPECT_NE(result.exitCode, 0) << c.input;
    EXPECT_TRUE(Contains(result.err, c.said)) << c.input << "\n" << result.err;
    EXPECT_EQ(ReadFileBytes(scratch.path() / c.input), before) << c.input;
  }
}

TEST(LoadCommand, MixtureThatFailsItsCheckWritesNoRunControlFile) {
  // No stock shows allele 4 of LocA any more, and DropFish leaves out the
  // fish carrying it instead of erasing the allele: the check fails.
  Scratch scratch("rcf");
  std::ofstream(scratch.path() / "small_baseline.bse", std::ios::binary)
      << "# 11 Upper\r\nLocA 5 3 0 0\r\nLocB 4 4 2\r\n# 12 Middle\r\nLocA 1 6 3 0\r\nLocB 0 5 5\r\n"
         "# 13 Lower\r\nLocA 0 1 4 0\r\nLocB 6 2 2\r\n";
  std::string control = ReadFileBytes(scratch.path() / "small.tcf");
  control.insert(control.find("Species"), "DropFish = T\r\n");
  std::ofstream(scratch.path() / "small.tcf", std::ios::binary) << control;
  CliResult result = RunCli(scratch.path(), {"load", "small.tcf"});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_TRUE(Contains(result.out, "\nFish b1: Char LocA, Al 4 not seen\n")) << result.out;
  EXPECT_TRUE(Contains(result.out, "\nMixture check FAILED!!\n"));
  EXPECT_EQ(result.LastErrorLine(), "mixora: small_mixture.gen: mixture check failed: Allele not seen in baseline");
  EXPECT_FALSE(fs::exists(scratch.path() / "out" / "small.rcf"));
  EXPECT_TRUE(fs::exists(scratch.path() / "small.log"));
}

TEST(LoadCommand, FishWithNothingScoredIsLeftOutAndTheRunWritten) {
  Scratch scratch("rcf");
  std::ofstream(scratch.path() / "small_mixture.gen", std::ios::app) << "c2 , 0000 0000\r\n";
  CliResult result = RunCli(scratch.path(), {"load", "small.tcf"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "\nInfo: Fish c2 (small_mixture.gen, line 12): no alleles present; left out of "
                                   "the run\n"))
      << result.out;
  EXPECT_TRUE(Contains(result.out, "\nMixture check SUCCEEDED!!\n"));
  EXPECT_TRUE(Contains(result.out, "Bad fish:               1\n")) << result.out;
  EXPECT_TRUE(fs::exists(scratch.path() / "out" / "small.rcf"));
}

TEST(InspectCommand, FilesThatAreNoRunControlFileAreRefused) {
  Scratch scratch("rcf");
  struct Case {
    const char* file;
    std::string bytes;
    std::string lastLine;
  } cases[] = {
      {"text.rcf", "MIXORA\r\nTitle = x\r\n",
       "mixora: text.rcf: Invalid File format: text.rcf the block claims 1819568468 compressed "
       "bytes; the file holds 7"},
      {"tiny.rcf", "abc", "mixora: tiny.rcf: not a run control file, sample file or restart file"},
      {"absent.rcf", "", "mixora: cannot open absent.rcf"},
  };
  for (const auto& c : cases) {
    if (!c.bytes.empty()) std::ofstream(scratch.path() / c.file, std::ios::binary) << c.bytes;
    CliResult result = RunCli(scratch.path(), {"inspect", c.file});
    EXPECT_NE(result.exitCode, 0) << c.file;
    EXPECT_EQ(result.LastErrorLine(), c.lastLine) << c.file;
  }
}

TEST(InspectCommand, ShowsSampleFileHeadersAndRestartChainValues) {
  Scratch scratch("rcf");
  // A composition sample file of two records of three stocks, whole and cut
  // inside its block.
  uint8_t header[mixora::kSampleFileHeaderSize];
  mixora::EncodeSampleFileHeader(mixora::MakeSampleFileHeader(3, 2, 2, 100, 4), header);
  const int32_t records[6] = {50000000, 30000000, 20000000, 10000000, 10000000, 80000000};
  std::vector<uint8_t> block;
  ASSERT_EQ(mixora::EncodeSampleBlock(records, 2, sizeof records, block), mixora::BlockStatus::kOk);
  std::string whole(reinterpret_cast<const char*>(header), sizeof header);
  whole.append(reinterpret_cast<const char*>(block.data()), block.size());
  std::ofstream(scratch.path() / "run_01.Ise", std::ios::binary) << whole;
  std::ofstream(scratch.path() / "cut_01.Ise", std::ios::binary) << whole.substr(0, whole.size() - 3);

  // A restart file's head: magic, 24 zero bytes, then iteration, end
  // iteration, the two seeds and the two record totals.
  std::string restart(reinterpret_cast<const char*>(mixora::kSampleFileMagic), mixora::kMagicSize);
  restart.append(24, '\0');
  for (int32_t value : {500, 1000, 3, 4, 100, 500, 1, 999, 1, 1, 3, 2})
    restart.append(reinterpret_cast<const char*>(&value), 4);
  std::ofstream(scratch.path() / "run_01.Rst", std::ios::binary) << restart;
  // One that records its inputs and owner in the first 16 of those bytes.
  std::string recorded = restart;
  const uint64_t inputs = 0x0123456789abcdefULL, owner = 42;
  recorded.replace(8, 8, reinterpret_cast<const char*>(&inputs), 8);
  recorded.replace(16, 8, reinterpret_cast<const char*>(&owner), 8);
  std::ofstream(scratch.path() / "new_01.Rst", std::ios::binary) << recorded;

  CliResult sound = RunCli(scratch.path(), {"inspect", "run_01.Ise", "run_01.Rst"});
  EXPECT_EQ(sound.exitCode, 0) << sound.err;
  for (const char* part : {"run_01.Ise: stock composition sample file", "Records:           2",
                           "Values per record: 3 (stocks)", "Thinning interval: 2",
                           "Blocks:            1", "Condition:         sound",
                           "run_01.Rst: restart file", "Iteration:           500 of 1000",
                           "Seeds:               3, 4", "Composition records: 500"})
    EXPECT_TRUE(Contains(sound.out, part)) << part << "\n" << sound.out;
  EXPECT_TRUE(Contains(sound.out, "Inputs:              not recorded")) << sound.out;
  CliResult newer = RunCli(scratch.path(), {"inspect", "new_01.Rst"});
  EXPECT_EQ(newer.exitCode, 0) << newer.err;
  for (const char* part : {"new_01.Rst: restart file", "Iteration:           500 of 1000",
                           "Inputs:              0123456789abcdef"})
    EXPECT_TRUE(Contains(newer.out, part)) << part << "\n" << newer.out;

  CliResult cut = RunCli(scratch.path(), {"inspect", "cut_01.Ise"});
  EXPECT_NE(cut.exitCode, 0);
  EXPECT_TRUE(Contains(cut.out, "Blocks:            0")) << cut.out;
  EXPECT_FALSE(Contains(cut.out, "Condition:         sound"));

  // Well-formed headers are not enough: the compressed data itself is read.
  std::string damaged = whole;
  damaged[sizeof header + mixora::kSampleBlockHeaderSize + 4] ^= 0x5A;
  std::ofstream(scratch.path() / "bad_01.Ise", std::ios::binary) << damaged;
  CliResult bad = RunCli(scratch.path(), {"inspect", "bad_01.Ise"});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_FALSE(Contains(bad.out, "Condition:         sound")) << bad.out;
  EXPECT_TRUE(Contains(bad.out + bad.err, "compressed data damaged")) << bad.out << bad.err;
}

// The log goes where --log says only when that replaces no file of the
// user's without consent; the load log that check and load keep beside the
// control file is brought up to date by either.
TEST(CheckCommand, ALogReplacesAnotherFileOnlyWhenAllowed) {
  Scratch scratch("rcf");
  ASSERT_EQ(RunCli(scratch.path(), {"check", "small.tcf"}).exitCode, 0);
  ASSERT_EQ(RunCli(scratch.path(), {"check", "small.tcf"}).exitCode, 0);
  const std::string log = ReadFileBytes(scratch.path() / "small.log");

  std::ofstream(scratch.path() / "notes.txt", std::ios::binary) << "my notes";
  CliResult refused = RunCli(scratch.path(), {"check", "small.tcf", "--log", "notes.txt"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_TRUE(Contains(refused.err, "not overwriting notes.txt (no terminal to ask; use --overwrite)"))
      << refused.err;
  EXPECT_EQ(ReadFileBytes(scratch.path() / "notes.txt"), "my notes");

  CliResult allowed =
      RunCli(scratch.path(), {"check", "small.tcf", "--log", "notes.txt", "--overwrite"});
  EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
  EXPECT_EQ(ReadFileBytes(scratch.path() / "notes.txt"), log);
}

}  // namespace
