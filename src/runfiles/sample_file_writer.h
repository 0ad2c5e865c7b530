#pragma once
// The writer side of a chain's outputs: the chain log head and the two
// sample files (stock assignments "Sta", stock composition "Ise"), their
// pending record buffers, block flushes, resuming after a stop or a crash,
// and closing. ChainSampleFiles is a plain record the chain embeds; nothing
// here knows the chain record itself.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

enum class SampleKind { kAssignment, kComposition };

// One sample file being written.
struct SampleFileWriter {
  std::FILE* file = nullptr;
  std::string path;
  uint32_t valuesPerRecord = 0;  // mixture individuals, or stocks
  uint32_t thinning = 0;
  uint32_t elementSize = 0;      // 2 or 4
  uint32_t capacity = 0;         // records in a full block
  uint32_t inputsTag = 0;        // kept in the header: what the records are computed from
  std::vector<uint8_t> buffer;   // capacity records, little-endian as stored
  uint32_t pending = 0;          // records in buffer, not yet in a block
  uint32_t total = 0;            // records appended since the chain began
  // After a resume the first flush overwrites the last block in place; a
  // shorter new block must not leave the old block's tail behind it.
  bool truncateAfterWrite = false;
  // The block that overwrite replaces, as stored, and where: it goes to an
  // undo file before the overwrite and back into place if the write fails.
  std::vector<uint8_t> replacedBlock;
  int64_t replacedOffset = -1;
};

struct ChainSampleFiles {
  SampleFileWriter assignment;   // 16-bit stock index per mixture individual
  SampleFileWriter composition;  // 32-bit scaled proportion per stock
  std::FILE* chainLog = nullptr;
  std::string chainLogPath;
  // The chain's last completed iteration when it resumes; -1 when not
  // known. From it a resume tells the records a run that never stopped
  // would still hold pending (a stop wrote them as a shorter block, to be
  // rewritten fuller) from those a save had written as a block of its own.
  int64_t resumeIteration = -1;
};

// SaveEvery as the files use it: clamped to 100..5000 and rounded down to a
// multiple of 100. The run opening stores it back before chains start, so no
// chain thread writes the shared run.
int32_t ClampSaveEvery(int32_t saveEvery);

// proportion × 100,000,000 truncated toward zero (0 for NaN or below 0).
int32_t ScaleProportion(double proportion);

// Opens a text output. With a mode beginning "w": an existing file is
// replaced only after "Overwrite %s" is answered yes or "Yes to All" (which
// sets overwriteAll), or when overwriteAll is already set. With "r": a
// missing file fails. A failed open shows "Cannot Open %s". A trailing "c"
// (commit on flush) is accepted and left to CommitFile. chainIndex (from 0,
// or -1) names the chain in message boxes.
std::FILE* OpenRunTextFile(const std::string& path, const char* mode, bool& overwriteAll,
                           const Interaction& ui, int chainIndex);

// Flushes a file's buffers and has the system write them to disk. 1 or 0.
int CommitFile(std::FILE* file);

// Opens one sample file of the chain and sets up its writer from the run
// (path, values per record, thinning, element size, capacity). Fresh: asks
// before replacing an existing file, creates it and writes the header with
// the writer's total as record count and the clamped SaveEvery as capacity.
// Resuming: opens the existing file, checks its magic and that its header
// fits the run (values per record, thinning, element size), takes the
// capacity from it and leaves the file at its end. Failures are shown and
// give nullptr.
std::FILE* OpenSampleFileForWriting(ChainSampleFiles& files, RunRecord& run, int chainIndex,
                                    SampleKind kind, bool resuming, const Interaction& ui);

// Cuts a resumed sample file back to its first recordsToKeep records (the
// totals of the restart file, which is written only after the samples it
// counts) and prepares writing: blocks beyond the total are removed, a block
// straddling it is rewritten with its leading records only, and the header
// count becomes recordsToKeep. When the last kept block is partial its
// records become the pending records and the next flush overwrites it in
// place; when it is full, writing continues at the end. A block left torn by
// a crash during such an overwrite is first put back from its undo file
// (see block_undo.h), and the in-place rewrite here goes through one too.
// Returns 1, or 0 with
// error set when a block is damaged ("Corrupt file" and what is wrong) or the
// file holds fewer than recordsToKeep records.
int ResumeSampleFile(SampleFileWriter& writer, uint32_t recordsToKeep, std::string& error);
// The same, where pendingToKeep (-1: not known) is the number of records a
// run that never stopped would have pending at that point: the last kept
// block becomes pending only when it holds exactly that many, and with 0
// writing continues behind it.
int ResumeSampleFile(SampleFileWriter& writer, uint32_t recordsToKeep, int64_t pendingToKeep,
                     std::string& error);

// The records pending in a writer of the given thinning and block capacity
// at iteration t of a run that never stopped, where a save writes both
// buffers whenever compositionCapacity composition records (one every
// compositionThinning iterations) are pending, and a full buffer is written
// when its next record comes.
int64_t PendingAtIteration(int64_t t, uint32_t thinning, uint32_t capacity,
                           uint32_t compositionThinning, uint32_t compositionCapacity);

// Opens the chain log ("ab+c" when resuming, else "wbc") unless it is open,
// writes its head when not resuming, opens both sample files, sizes the
// buffers, and when resuming cuts both files to the writers' totals and
// preloads their partial last blocks. The writers' totals must hold the
// chain's record totals before the call. A fresh start asks "Overwrite %s"
// for the chain log and both sample files before it touches any of them, and
// then removes the chain's restart file before the sample files are emptied.
// Returns 0, 2 (chain log), 4 (assignment file, or a restart file that cannot
// be removed) or 6 (composition file; the assignment file is closed).
int OpenChainOutputs(ChainSampleFiles& files, RunRecord& run, int chainIndex, int32_t seed1,
                     int32_t seed2, bool resuming, const Interaction& ui);

// Appends one composition record of S scaled proportions, or one assignment
// record of F stock indexes (0-based; stored as 16 bits). A full buffer is
// first written out as a block of its own, so no buffer ever holds more than
// its capacity. Returns 1, or 0 when that write failed (record not taken).
int AppendCompositionRecord(ChainSampleFiles& files, const int32_t* scaled);
int AppendAssignmentRecord(ChainSampleFiles& files, const int32_t* stockIndexes);

// Writes the pending composition records as one block, then the pending
// assignment records. Returns 1 when every block was written. A failed write
// is cut back off the file and its records stay pending.
int FlushChainSamples(ChainSampleFiles& files);

// Commits both sample files to disk. 1 or 0.
int CommitChainSamples(ChainSampleFiles& files);

// Final flush, both headers rewritten with the records they hold as count,
// commit, close. Buffers are released; the chain log stays open. 1 when all
// of it succeeded.
int CloseChainSamples(ChainSampleFiles& files);

}  // namespace mixora
