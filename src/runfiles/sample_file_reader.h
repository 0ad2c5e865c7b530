#pragma once
// Reading chain sample files back: open and check the header, find the block
// holding a given record by walking block headers only, read blocks, and hand
// the kept records to a consumer. Every length and count read from the file
// is checked against the header before it is trusted, so a damaged file is
// refused with a message naming it and never read past a buffer.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"

namespace mixora {

struct SampleFileReader {
  std::FILE* file = nullptr;
  std::string path;
  SampleFileHeader header;
  int64_t fileSize = 0;
  std::vector<uint8_t> block;  // the records of the loaded block, as stored
  uint32_t blockRecords = 0;   // records in the loaded block
  int64_t blockOffset = 0;     // where the loaded block's header begins
  std::string error;           // why the last operation failed; empty otherwise
};

// Where one block lies and what its header says.
struct SampleBlockSpot {
  int64_t offset = 0;
  SampleBlockHeader header;
};

enum class BlockWalk {
  kBlock,  // a well-formed block header whose data lie wholly in the file
  kEnd,    // no byte left
  kTorn,   // the file ends inside the block header or its data
  kBad,    // the header's count or lengths do not fit the file header
};

// Reads the block header at the file's current position and checks it
// against the file header and the file size; with kBlock the file is left
// behind the block's data, otherwise at an unspecified position. problem
// receives what is wrong for kTorn and kBad.
BlockWalk StepOverSampleBlock(std::FILE* file, const SampleFileHeader& header, int64_t fileSize,
                              SampleBlockSpot& spot, std::string& problem);

// Whether the records of a decompressed block hold values a chain can write:
// in a stock composition file (element size 4) every value is a proportion
// scaled by 1e8 and truncated, so no value and no record's sum exceeds 1e8,
// and a record of K values sums to at least 1e8 - K.
// Empty when they do; else which record is wrong and how.
std::string SampleRecordsProblem(const SampleFileHeader& header, const uint8_t* records,
                                 uint32_t count);

// The size of an open file (-1 when it cannot be found); the position is kept.
int64_t SampleFileSize(std::FILE* file);

// Opens path read-only, reads and checks the header. Returns 1, or 0 with
// reader.error set ("Cannot Open %s", "Invalid %s File:\r\n%s" and what is
// wrong). Any file the reader held is closed first.
int OpenSampleFileForReading(SampleFileReader& reader, const std::string& path);
void CloseSampleFileReader(SampleFileReader& reader);

// Loads the block holding record k (counted from 0) and sets index to k's
// place in it. Returns the block's record count, or 0 with reader.error set
// when the file holds no record k or a block on the way is damaged.
uint32_t SeekSampleRecord(SampleFileReader& reader, uint32_t k, uint32_t& index);

// Loads the block at the file's current position. Returns its record count;
// 0 at the end of the file (error empty) or on damage (error set).
uint32_t ReadNextSampleBlock(SampleFileReader& reader);

// Value i of record r of the loaded block, read as unsigned.
uint32_t SampleValue(const SampleFileReader& reader, uint32_t r, uint32_t i);

// Receives record number r (counted from 0 among the records handed over)
// with its valuesPerRecord values; returning false stops the reading.
using SampleRecordSink = std::function<bool(uint32_t r, const uint32_t* values)>;

// Passes over the first `discard` records and hands the next `count` records
// to sink in order. Returns 1 when exactly count records were handed over
// (count 0 reads nothing and succeeds), else 0 with reader.error set (also
// "Stopped" when the sink stopped it).
int ReadKeptRecords(SampleFileReader& reader, uint32_t discard, uint32_t count,
                    const SampleRecordSink& sink);

// What a sample file's header says and what its blocks hold.
struct SampleFileSummary {
  SampleFileHeader header;
  bool magicOk = false;
  uint32_t blocks = 0;           // well-formed blocks from the start
  uint64_t recordsInBlocks = 0;  // records in those blocks
  int64_t fileSize = 0;
  std::string problem;           // first damage found; empty for a sound file
};

// Reads the header and every block, decompressing each and checking its
// values. Returns 1 when the file could be opened and begins with the sample
// file magic (summary.problem then tells whether the rest is sound), else 0
// with error set.
int SummarizeSampleFile(const std::string& path, SampleFileSummary& summary, std::string& error);

}  // namespace mixora
