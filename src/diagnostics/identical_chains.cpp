#include "diagnostics/identical_chains.h"

#include <algorithm>

#include "core/string_format.h"

namespace mixora {

bool ChainsAreIdentical(const SampleArrayView& samples) {
  if (samples.values == nullptr || samples.chains < 2 || samples.records < 1 || samples.rows < 1)
    return false;
  for (int k = 0; k < samples.rows; ++k) {
    const uint32_t* first = samples.Row(k, 0);
    for (int c = 1; c < samples.chains; ++c) {
      const uint32_t* other = samples.Row(k, c);
      if (!std::equal(first, first + samples.records, other)) return false;
    }
  }
  return true;
}

std::string IdenticalChainsNote(int chains) {
  std::string text;
  AppendFormat(text,
      "The kept samples of all %d chains are identical, so the Gelman-Rubin diagnostic cannot "
      "judge them and they hold no more information than one chain. The chains share their "
      "seeds: set ChangeSeeds = T in the control file, load it again and rerun the chains.",
      chains);
  return text;
}

}  // namespace mixora
