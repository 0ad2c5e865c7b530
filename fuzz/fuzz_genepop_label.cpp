// Genepop files whose individuals carry their stock label: the baseline read
// and counted, then converted with a fixed mixture, and a fixed baseline
// converted with the input as its mixture (first byte chooses).
#include "fuzz_support.h"
#include "core/log_buffer.h"
#include "input/genepop_convert.h"
#include "input/genepop_label.h"

namespace {

const char kBaseline[] =
    "Label fixed baseline\nLoc1\nLoc2\nPOP\nNorth 1, 0101 0202\nNorth 2, 0102 0203\n"
    "POP\nSouth 1, 0303 0101\nSouth 2, 0203 0101\n";
const char kMixture[] = "Label fixed mixture\nLoc1\nLoc2\nPOP\nFish 1, 0101 0202\nFish 2, 0303 0000\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  if (size == 0) return 0;
  const bool asMixture = (data[0] & 1) != 0;
  const std::string input = fuzzing::WriteInput("input.gen", data + 1, size - 1);
  const std::string fixedPath = fuzzing::WriteInput(
      "fixed.gen", reinterpret_cast<const uint8_t*>(asMixture ? kBaseline : kMixture),
      asMixture ? sizeof kBaseline - 1 : sizeof kMixture - 1);
  LogBuffer log;
  if (!asMixture) {
    GenepopSet set;
    if (ReadGenepopLabelBaseline(input, set, log) != 0) return 0;
  }
  const std::string& baseline = asMixture ? fixedPath : input;
  const std::string& mixture = asMixture ? input : fixedPath;
  ConvertGenepopLabel(baseline, mixture, fuzzing::ScratchFile("base_out.bse"),
                      fuzzing::ScratchFile("mix_out.gen"), fuzzing::ScratchFile("out.tcf"), log);
  return 0;
}
