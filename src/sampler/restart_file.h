#pragma once
// The restart file of a chain ("Rst"): everything needed to continue the
// chain exactly where it stopped. Little-endian, in this order: the sample
// file magic; the fingerprint of the inputs the chain ran on and the tag of
// the run control file owning it (8 bytes each, 0 in files written before
// they were kept) and 8 zero bytes; iteration, end iteration, seed1, seed2,
// assignment total, composition total; the check values RanGen,
// MaxMissingLoci, ThinSta, ThinIse, NumberOfStocks, NumberOfChars; the four
// start stocks; S proportions (doubles); one compressed block of the
// frequencies theta[s][c][k] (stock, then character, then allele slot);
// the RandLib, MT19937 and ran2 states; the generator handle's 176 bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sampler/chain.h"

namespace mixora {

inline constexpr int kRestartRead = 0;
inline constexpr int kRestartWrite = 1;
inline constexpr int kRestartChecksOnly = 0;
inline constexpr int kRestartFull = 1;

// Bytes before the proportions, and after the frequency block.
inline constexpr std::size_t kRestartHeadBytes = 96;
inline constexpr std::size_t kRestartTailBytes = 24 + 2512 + 408 + 176;

// Size of a restart file of S stocks whose frequency block compressed to
// compressedLength bytes.
std::size_t RestartFileBytes(int32_t stocks, std::size_t compressedLength);

// The chain's restart file path (named like its other outputs), kept in the
// chain after the first call.
const std::string& RestartFilePath(Chain& chain);

// write = kRestartWrite (full only): hands the pending samples to the sample
// files, commits them to disk, then replaces the restart file as a whole (a
// temporary file beside it, written, committed and renamed over it), so a
// crash leaves the old file or the new one, never a mixture, and never a
// file that counts samples the sample files do not hold yet. The file
// records the run's inputs fingerprint and owner tag in its first 24 bytes
// after the magic, which are otherwise zero. Returns 1, or 0
// (nothing shown; the old restart file is kept) when any step failed.
//
// write = kRestartRead: reads the file into the chain. The check values and
// start stocks must match the run and the chain, otherwise the first
// mismatch is shown ("Invalid Restart File: ... THINISE: RST = 2, TCF = 1").
// full = kRestartChecksOnly stops after them and takes the six chain values
// (iteration, end iteration, seeds, record totals). full = kRestartFull also
// takes the proportions, frequencies, generator states and the gamma
// routine's retained values; it requires the chain's sampler arrays
// (AllocateSamplerArrays) and refuses, with a message, a file that ends
// early, a damaged frequency block or generator states out of range. A
// missing file is silent except for a checks-only read ("Cannot Open").
// The chain is changed only by a read that succeeds; every failure clears
// chain.resume. Returns 1 or 0.
int TransferRestartFile(Chain& chain, int write, int full);

// Shows that saving to the file at path failed, with the system's
// description of errno.
void ReportSaveFailure(Chain& chain, const std::string& path);

// The six chain values of a restart file, for the file identification
// window. Returns 1, or 0 (silently) when the file cannot be opened, is too
// short or has another magic.
struct RestartChainValues {
  int32_t iteration = 0;
  int32_t endIteration = 0;
  int32_t seed1 = 0;
  int32_t seed2 = 0;
  int32_t assignmentTotal = 0;
  int32_t compositionTotal = 0;
  uint64_t inputs = 0;  // fingerprint of the inputs; 0 in older files
  uint64_t owner = 0;   // tag of the owning run control file; 0 in older files
};
int ReadRestartChainValues(const std::string& path, RestartChainValues& values);

// What a front end says when chain c (from 0) was not started because its
// restart file was refused: what happened, that nothing of the chain was
// changed, and that `howToRerun` (the front end's way of rerunning it)
// starts it afresh.
std::string RefusedRestartText(int c, const std::string& howToRerun);

// Largest number of reps the run accepts.
inline constexpr int32_t kMaxNumberOfReps = 99999999;

// The value the number-of-reps window shows as current: the smallest of the
// run's current number of reps and the non-zero iteration counts recorded
// for the mixtures.
int32_t CurrentNumberOfReps(int32_t runReps, std::span<const int32_t> mixtureIterations);

// Whether a new number of reps may be stored: not smaller than the current
// value, and no larger than kMaxNumberOfReps.
bool AcceptNumberOfReps(int32_t newReps, int32_t current);

}  // namespace mixora
