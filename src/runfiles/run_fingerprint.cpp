#include "runfiles/run_fingerprint.h"

#include <cstdio>
#include <cstring>
#include <span>

#include "core/paths.h"

namespace mixora {
namespace {

// FNV-1a over the little-endian bytes of each value: simple, stable across
// builds and machines, and good enough to tell data sets apart.
class Hasher {
 public:
  void Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) {
      hash_ ^= p[i];
      hash_ *= 0x100000001b3ULL;
    }
  }
  void Int(int32_t value) { Bytes(&value, sizeof value); }
  void Ints(std::span<const int32_t> values) {
    Int(static_cast<int32_t>(values.size()));
    Bytes(values.data(), values.size_bytes());
  }
  void Doubles(std::span<const double> values) {
    Int(static_cast<int32_t>(values.size()));
    Bytes(values.data(), values.size_bytes());
  }
  uint64_t Value() const { return hash_ == 0 ? 1 : hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

uint64_t RunInputsFingerprint(const RunRecord& run) {
  const RunSettings& s = run.settings;
  Hasher h;
  for (int32_t v : {s.ChangeSeeds, s.NumberOfStocks, s.NumberOfChars, s.Seed1, s.Seed2, s.RanGen,
                    s.StartStock[0], s.StartStock[1], s.StartStock[2], s.StartStock[3],
                    s.MaxMissingLoci, s.ThinIse, s.ThinSta, s.PriorWeightsGiven,
                    s.InformativePrior, run.maxAlleles, run.fishCount})
    h.Int(v);
  h.Ints(run.alleleCount);
  h.Ints(run.stockId);
  h.Ints(run.counts);
  h.Doubles(run.allelePrior);
  h.Doubles(run.lambda);
  h.Doubles(run.beta);
  h.Ints(run.genotypes);
  return h.Value();
}

uint32_t SampleInputsTag(uint64_t fingerprint) {
  const uint32_t tag = static_cast<uint32_t>(fingerprint ^ (fingerprint >> 32));
  return tag == 0 ? 1 : tag;
}

uint64_t RunOwnerTag(const std::string& rcfPath) {
  const std::string name = FileNameOf(rcfPath);
  Hasher h;
  h.Bytes(name.data(), name.size());
  return h.Value();
}

std::string FingerprintText(uint64_t fingerprint) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fingerprint));
  return text;
}

}  // namespace mixora
