#include "sampler/restart_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/atomic_file.h"
#include "core/string_format.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain_inputs.h"
#include "sampler/gibbs_sampler.h"
#include "core/system_error.h"

namespace mixora {
namespace {

// Generator states and doubles are copied as they lie in memory.
static_assert(std::endian::native == std::endian::little);

// The first 16 of the 24 bytes after the magic: the fingerprint of the
// inputs the chain ran on and the tag of the run control file owning it.
constexpr std::size_t kInputsAt = 8;
constexpr std::size_t kOwnerAt = 16;
constexpr std::size_t kChainValuesAt = 32;
constexpr std::size_t kCheckValuesAt = 56;
constexpr std::size_t kStartStocksAt = 80;
constexpr std::size_t kRandLibBytes = sizeof(RandLibState);
constexpr std::size_t kMt19937Bytes = sizeof(Mt19937State);
constexpr std::size_t kRan2Bytes = sizeof(Ran2State);
static_assert(kRestartTailBytes ==
              kRandLibBytes + kMt19937Bytes + kRan2Bytes + kGeneratorHandleRecordSize);

constexpr int kCheckCount = 6;
constexpr const char* kCheckNames[kCheckCount] = {"RANGEN",  "MAXMISSINGLOCI", "THINSTA",
                                                  "THINISE", "NUMSTOCKS",      "NUMCHARS"};

// ran2 works modulo 714025; a value outside would index past its table.
constexpr int32_t kRan2Modulus = 714025;

// Proportions and frequencies are normalised draws: their sums differ from 1
// only by rounding, far below this. A damaged value (2.0, 1e308) is far above.
constexpr double kSumTolerance = 1e-6;

bool IsShare(double value) { return value >= 0.0 && value <= 1.0; }  // false for NaN too

const Interaction& ChainUi(const Chain& chain) {
  static const Interaction kNobody{};
  return chain.ui != nullptr ? *chain.ui : kNobody;
}

uint32_t ChainBox(const Chain& chain, uint32_t icon) {
  return kMbOk | icon | MessageForChain(chain.index + 1);
}

void PutI32(uint8_t* at, int32_t value) { std::memcpy(at, &value, sizeof value); }
int32_t GetI32(const uint8_t* at) {
  int32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
uint64_t GetU64(const uint8_t* at) {
  uint64_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

std::array<int32_t, kCheckCount> RunCheckValues(const RunSettings& s) {
  return {s.RanGen, s.MaxMissingLoci, s.ThinSta, s.ThinIse, s.NumberOfStocks, s.NumberOfChars};
}

bool ArraysFitRun(const Chain& chain) {
  const SamplerArrays& a = chain.arrays;
  const RunRecord& run = *chain.run;
  return a.stocks == run.settings.NumberOfStocks && a.characters == run.settings.NumberOfChars &&
         a.slots == run.maxAlleles &&
         a.proportions.size() == static_cast<std::size_t>(a.stocks) &&
         a.frequencies.size() ==
             static_cast<std::size_t>(a.stocks) * a.characters * a.slots;
}

// ---- Writing ----

int BuildRestartImage(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const RunRecord& run = *chain.run;
  const std::size_t thetaBytes = a.frequencies.size() * sizeof(double);
  if (EncodeSampleBlock(a.frequencies.data(), 1, thetaBytes, a.restartBlock) != BlockStatus::kOk) {
    return 0;
  }
  const std::size_t compressed = a.restartBlock.size() - kSampleBlockHeaderSize;
  std::vector<uint8_t>& image = a.restartImage;
  image.resize(RestartFileBytes(a.stocks, compressed));
  uint8_t* out = image.data();

  std::memcpy(out, kSampleFileMagic, kMagicSize);
  std::memset(out + kMagicSize, 0, kChainValuesAt - kMagicSize);
  std::memcpy(out + kInputsAt, &run.inputsFingerprint, sizeof run.inputsFingerprint);
  std::memcpy(out + kOwnerAt, &run.ownerTag, sizeof run.ownerTag);
  const int32_t values[6] = {chain.iteration.load(std::memory_order_relaxed),
                             chain.endIteration,
                             chain.seed1,
                             chain.seed2,
                             static_cast<int32_t>(chain.samples.assignment.total),
                             static_cast<int32_t>(chain.samples.composition.total)};
  for (int k = 0; k < 6; ++k) PutI32(out + kChainValuesAt + 4 * k, values[k]);
  const auto checks = RunCheckValues(run.settings);
  for (int k = 0; k < kCheckCount; ++k) PutI32(out + kCheckValuesAt + 4 * k, checks[k]);
  for (int k = 0; k < 4; ++k) PutI32(out + kStartStocksAt + 4 * k, chain.startStocks[k]);

  std::size_t at = kRestartHeadBytes;
  std::memcpy(out + at, a.proportions.data(), a.proportions.size() * sizeof(double));
  at += a.proportions.size() * sizeof(double);
  std::memcpy(out + at, a.restartBlock.data(), a.restartBlock.size());
  at += a.restartBlock.size();

  const ChainGenerators& g = chain.generators;
  std::memcpy(out + at, &g.randLib, kRandLibBytes);
  at += kRandLibBytes;
  std::memcpy(out + at, &g.mt, kMt19937Bytes);
  at += kMt19937Bytes;
  std::memcpy(out + at, &g.ran2, kRan2Bytes);
  at += kRan2Bytes;
  StoreGeneratorHandle(g.handle, out + at);
  return 1;
}

// A rename is durable only once the folder that holds the name is on disk.

int WriteRestartFile(Chain& chain) {
  if (!ArraysFitRun(chain)) {
    errno = EINVAL;
    return 0;
  }
  // Samples first, and on disk, so the file never counts records that a
  // crash could take away from the sample files.
  if (FlushChainSamples(chain.samples) == 0) return 0;
  if (CommitChainSamples(chain.samples) == 0) return 0;
  if (BuildRestartImage(chain) == 0) {
    errno = ENOMEM;
    return 0;
  }
  const std::string& path = RestartFilePath(chain);
  return ReplaceFileAtomically(chain.restartTempPath, path, chain.arrays.restartImage.data(),
                               chain.arrays.restartImage.size());
}

// ---- Reading ----

struct RestartContents {
  int32_t values[6] = {};
  int32_t checks[kCheckCount] = {};
  StartStocks startStocks{};
  std::vector<double> proportions;
  std::vector<double> frequencies;
  RandLibState randLib;
  Mt19937State mt;
  Ran2State ran2;
  unsigned char handle[kGeneratorHandleRecordSize] = {};
};

class RestartReader {
 public:
  RestartReader(Chain& chain, const std::string& path) : chain_(chain), path_(path) {}
  ~RestartReader() {
    if (file_ != nullptr) std::fclose(file_);
  }

  int Read(int full);

 private:
  int Refuse() {
    chain_.resume = 0;
    return 0;
  }
  // Shows why the file is refused and keeps the text in the chain.
  int Tell(uint32_t icon, const std::string& text) {
    chain_.restartRefusal = text;
    ShowMessage(ChainUi(chain_), ChainBox(chain_, icon), "%s", text.c_str());
    return Refuse();
  }
  int Invalid(const std::string& reason) {
    return Tell(kMbIconError, StringPrintf("Invalid Restart File:\r\n%s\r\n%s", path_.c_str(),
                                           reason.c_str()));
  }
  bool ReadExactly(void* destination, std::size_t n) {
    return std::fread(destination, 1, n, file_) == n;
  }
  int ReadBody();
  std::string ChainValuesProblem() const;
  std::string SharesProblem() const;
  const char* StatesOutOfRange() const;
  void CommitChainValues();

  Chain& chain_;
  const std::string& path_;
  std::FILE* file_ = nullptr;
  uint64_t fileSize_ = 0;
  RestartContents in_;
};

// The totals follow from the iteration: a record is kept at every ThinSta-th
// (ThinIse-th) iteration from the first. Totals that disagree would make the
// resumed chain cut its sample files at the wrong record.
std::string RestartReader::ChainValuesProblem() const {
  const int32_t iteration = in_.values[0];
  if (iteration < 0) return "chain values out of range";
  const RunSettings& s = chain_.run->settings;
  if (s.ThinSta <= 0 || s.ThinIse <= 0) return "chain values out of range";
  const int32_t assignments = iteration / s.ThinSta, compositions = iteration / s.ThinIse;
  if (in_.values[4] != assignments || in_.values[5] != compositions) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "record totals %d and %d do not follow from iteration %d (expected %d and %d)",
                  in_.values[4], in_.values[5], iteration, assignments, compositions);
    return text;
  }
  return {};
}

// Every proportion and frequency is a share of a normalised draw, and each
// set of them sums to 1.
std::string RestartReader::SharesProblem() const {
  double total = 0.0;
  for (std::size_t s = 0; s < in_.proportions.size(); ++s) {
    if (!IsShare(in_.proportions[s])) return "stock proportions out of range";
    total += in_.proportions[s];
  }
  if (!(std::fabs(total - 1.0) <= kSumTolerance)) return "stock proportions do not sum to 1";
  const SamplerArrays& a = chain_.arrays;
  const RunRecord& run = *chain_.run;
  for (int32_t s = 0; s < a.stocks; ++s) {
    for (int32_t c = 0; c < a.characters; ++c) {
      const std::size_t at = (static_cast<std::size_t>(s) * a.characters + c) * a.slots;
      const int32_t alleles = run.alleleCount[static_cast<std::size_t>(c)];
      double sum = 0.0;
      for (int32_t k = 0; k < a.slots; ++k) {
        const double f = in_.frequencies[at + static_cast<std::size_t>(k)];
        if (!IsShare(f)) return "allele frequencies out of range";
        if (k < alleles) sum += f;
      }
      if (alleles > 0 && !(std::fabs(sum - 1.0) <= kSumTolerance)) {
        const std::string stock = static_cast<std::size_t>(s) < run.stockNames.size()
                                      ? run.stockNames[static_cast<std::size_t>(s)]
                                      : std::to_string(s + 1);
        const std::string character = static_cast<std::size_t>(c) < run.charNames.size()
                                          ? run.charNames[static_cast<std::size_t>(c)]
                                          : std::to_string(c + 1);
        return "allele frequencies of stock " + stock + " at character " + character +
               " do not sum to 1";
      }
    }
  }
  return {};
}

const char* RestartReader::StatesOutOfRange() const {
  const bool mtOk = in_.mt.index >= 0 && in_.mt.index <= kMt19937Words + 1;
  const bool randLibOk = in_.randLib.s1 >= 0 && in_.randLib.s1 < kRandLibModulus1 &&
                         in_.randLib.s2 >= 0 && in_.randLib.s2 < kRandLibModulus2;
  bool ran2Ok = in_.ran2.idum >= 0 && in_.ran2.idum < kRan2Modulus && in_.ran2.iy >= 0 &&
                in_.ran2.iy < kRan2Modulus;
  for (int32_t v : in_.ran2.table) ran2Ok = ran2Ok && v >= 0 && v < kRan2Modulus;
  if (!mtOk || !randLibOk || !ran2Ok) return "generator state out of range";
  // The gamma routine's retained values are finite working values of earlier
  // draws; anything else would poison the next deviate.
  GeneratorHandle retained;
  LoadGeneratorHandle(retained, in_.handle);
  for (double v : {retained.aaa, retained.s2, retained.s, retained.d, retained.t, retained.x,
                   retained.u, retained.r, retained.q0, retained.b, retained.b0, retained.si,
                   retained.c, retained.v, retained.q, retained.e, retained.w, retained.p,
                   retained.result, retained.aa}) {
    if (!std::isfinite(v)) return "generator state out of range";
  }
  return nullptr;
}

void RestartReader::CommitChainValues() {
  chain_.iteration.store(in_.values[0], std::memory_order_relaxed);
  chain_.endIteration = in_.values[1];
  chain_.seed1 = in_.values[2];
  chain_.seed2 = in_.values[3];
  chain_.samples.assignment.total = static_cast<uint32_t>(in_.values[4]);
  chain_.samples.composition.total = static_cast<uint32_t>(in_.values[5]);
}

int RestartReader::Read(int full) {
  file_ = std::fopen(path_.c_str(), "rb");
  struct stat info {};
  if (file_ != nullptr && (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode))) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (file_ == nullptr) {
    if (full == kRestartChecksOnly)
      return Tell(kMbIconWarning,
                  StringPrintf("Cannot Open\r\n%s\r\nfor %sing\r\n%s", path_.c_str(), "read",
                               SystemErrorText(errno).c_str()));
    return Refuse();
  }
  uint8_t head[kRestartHeadBytes];
  const std::size_t got = std::fread(head, 1, sizeof head, file_);
  if (got < kMagicSize || std::memcmp(head, kSampleFileMagic, kMagicSize) != 0) {
    return Tell(kMbIconError, StringPrintf("Invalid Restart File:\r\n%s", path_.c_str()));
  }
  if (got < sizeof head) return Invalid("the file ends early");
  fileSize_ = static_cast<uint64_t>(info.st_size);
  const RunRecord& run = *chain_.run;
  const std::string problem =
      ChainInputsMismatch(GetU64(head + kInputsAt), GetU64(head + kOwnerAt), run);
  if (!problem.empty()) return Invalid(problem);
  for (int k = 0; k < 6; ++k) in_.values[k] = GetI32(head + kChainValuesAt + 4 * k);
  for (int k = 0; k < kCheckCount; ++k) in_.checks[k] = GetI32(head + kCheckValuesAt + 4 * k);
  for (int k = 0; k < 4; ++k) in_.startStocks[k] = GetI32(head + kStartStocksAt + 4 * k);

  const auto expected = RunCheckValues(chain_.run->settings);
  for (int k = 0; k < kCheckCount; ++k) {
    if (in_.checks[k] != expected[k]) {
      return Tell(kMbIconError,
                  StringPrintf("Invalid Restart File:\r\n%s\r\n%s: RST = %d, TCF = %d",
                               path_.c_str(), kCheckNames[k], in_.checks[k], expected[k]));
    }
  }
  if (in_.startStocks != chain_.startStocks) {
    return Tell(kMbIconError,
                StringPrintf("Invalid Restart File:\r\n%s\r\n%s: RST = %s, TCF = %s",
                             path_.c_str(), "STARTSTOCKS",
                             FormatStartStocks(in_.startStocks).c_str(),
                             FormatStartStocks(chain_.startStocks).c_str()));
  }
  if (std::string problem = ChainValuesProblem(); !problem.empty()) return Invalid(problem);
  if (full == kRestartChecksOnly) {
    CommitChainValues();
    return 1;
  }
  return ReadBody();
}

int RestartReader::ReadBody() {
  if (!ArraysFitRun(chain_)) return Refuse();
  SamplerArrays& a = chain_.arrays;
  in_.proportions.assign(a.proportions.size(), 0.0);
  in_.frequencies.assign(a.frequencies.size(), 0.0);
  const std::size_t thetaBytes = in_.frequencies.size() * sizeof(double);

  if (!ReadExactly(in_.proportions.data(), in_.proportions.size() * sizeof(double))) {
    return Invalid("the file ends early");
  }
  uint8_t blockHead[kSampleBlockHeaderSize];
  if (!ReadExactly(blockHead, sizeof blockHead)) return Invalid("the file ends early");
  const SampleBlockHeader header = DecodeSampleBlockHeader(blockHead);
  if (header.count != 1 || header.uncompressedLength != thetaBytes ||
      !PlausibleBlockLengths(header.uncompressedLength, header.compressedLength)) {
    return Invalid("the frequency block does not fit the run");
  }
  // The stored length is checked against what the file holds before any
  // memory is taken for it: a damaged length must not cost gigabytes.
  const uint64_t expected = RestartFileBytes(a.stocks, header.compressedLength);
  if (header.compressedLength > fileSize_) {
    char text[160];
    std::snprintf(text, sizeof text, "the frequency block claims %u bytes, more than the whole file",
                  header.compressedLength);
    return Invalid(text);
  }
  if (expected > fileSize_) return Invalid("the file ends early");
  if (expected < fileSize_) return Invalid("the file is longer than its contents");
  std::vector<uint8_t> compressed(header.compressedLength);
  if (!ReadExactly(compressed.data(), compressed.size())) return Invalid("the file ends early");
  const BlockStatus status = DecompressSampleBlock(header, compressed.data(), compressed.size(),
                                                   in_.frequencies.data(), thetaBytes);
  if (status != BlockStatus::kOk) return Invalid(DescribeBlockStatus(status));

  uint8_t tail[kRestartTailBytes];
  if (!ReadExactly(tail, sizeof tail)) return Invalid("the file ends early");
  std::size_t at = 0;
  std::memcpy(&in_.randLib, tail + at, kRandLibBytes);
  at += kRandLibBytes;
  std::memcpy(&in_.mt, tail + at, kMt19937Bytes);
  at += kMt19937Bytes;
  std::memcpy(&in_.ran2, tail + at, kRan2Bytes);
  at += kRan2Bytes;
  std::memcpy(in_.handle, tail + at, kGeneratorHandleRecordSize);
  if (std::string problem = SharesProblem(); !problem.empty()) return Invalid(problem);
  if (const char* problem = StatesOutOfRange()) return Invalid(problem);

  CommitChainValues();
  a.proportions = in_.proportions;
  a.frequencies = in_.frequencies;
  RefreshLikelihoodFactors(chain_);
  ChainGenerators& g = chain_.generators;
  g.randLib = in_.randLib;
  g.mt = in_.mt;
  g.ran2 = in_.ran2;
  LoadGeneratorHandle(g.handle, in_.handle);
  return 1;
}

}  // namespace

std::size_t RestartFileBytes(int32_t stocks, std::size_t compressedLength) {
  return kRestartHeadBytes + static_cast<std::size_t>(stocks) * sizeof(double) +
         kSampleBlockHeaderSize + compressedLength + kRestartTailBytes;
}

const std::string& RestartFilePath(Chain& chain) {
  if (chain.restartPath.empty()) {
    chain.restartPath = BuildRunFileName(*chain.run, chain.index, kNoReport, kNoGroup, kExtRestart);
    // The temporary name keeps the extension, so that a file a crash left
    // behind is still counted and removed with the other restart files.
    const std::size_t dot = chain.restartPath.rfind('.');
    chain.restartTempPath = dot == std::string::npos
                                ? chain.restartPath + ".tmp"
                                : chain.restartPath.substr(0, dot) + ".tmp" +
                                      chain.restartPath.substr(dot);
  }
  return chain.restartPath;
}

int TransferRestartFile(Chain& chain, int write, int full) {
  if (chain.run == nullptr) return 0;
  if (write == kRestartWrite) return WriteRestartFile(chain);
  RestartReader reader(chain, RestartFilePath(chain));
  return reader.Read(full);
}

void ReportSaveFailure(Chain& chain, const std::string& path) {
  const int error = errno;
  ShowMessage(ChainUi(chain), ChainBox(chain, kMbIconError), "System Message:\r\n%s:\r\n%s\r\n%s",
              "Cannot save the chain", path.c_str(), std::strerror(error));
}

int ReadRestartChainValues(const std::string& path, RestartChainValues& values) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  uint8_t head[kCheckValuesAt];
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  if (got < sizeof head || std::memcmp(head, kSampleFileMagic, kMagicSize) != 0) return 0;
  values.iteration = GetI32(head + kChainValuesAt);
  values.endIteration = GetI32(head + kChainValuesAt + 4);
  values.seed1 = GetI32(head + kChainValuesAt + 8);
  values.seed2 = GetI32(head + kChainValuesAt + 12);
  values.assignmentTotal = GetI32(head + kChainValuesAt + 16);
  values.compositionTotal = GetI32(head + kChainValuesAt + 20);
  values.inputs = GetU64(head + kInputsAt);
  values.owner = GetU64(head + kOwnerAt);
  return 1;
}

std::string RefusedRestartText(int c, const std::string& howToRerun) {
  return "chain " + std::to_string(c + 1) +
         " was not started because its restart file was refused; nothing of it was changed. " +
         howToRerun + " starts that chain afresh, discarding its samples";
}

int32_t CurrentNumberOfReps(int32_t runReps, std::span<const int32_t> mixtureIterations) {
  int32_t current = runReps;
  for (int32_t iterations : mixtureIterations) {
    if (iterations != 0) current = std::min(current, iterations);
  }
  return current;
}

bool AcceptNumberOfReps(int32_t newReps, int32_t current) {
  return newReps >= current && newReps <= kMaxNumberOfReps;
}

}  // namespace mixora
