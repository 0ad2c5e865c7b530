// The mixture layouts read directly (SPAM digit strings and Genepop), then
// paired with a character block of two loci the way a load pairs them.
#include "fuzz_support.h"
#include "core/log_buffer.h"
#include "input/control.h"
#include "input/mixture_reader.h"

#ifndef MIXORA_FUZZ_MIXTURE
#define MIXORA_FUZZ_MIXTURE ReadSpamMixture
#define MIXORA_FUZZ_MIXTURE_FORMAT kMixtureSpam
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  const std::string path = fuzzing::WriteInput("mixture.mix", data, size);
  ClassifyMixtureFile(path);
  MixtureData mixture;
  LogBuffer log;
  if (MIXORA_FUZZ_MIXTURE(path, mixture, log) != 0) return 0;
  CharacterBlock characters;
  characters.count = 2;
  characters.maxAlleles = 12;
  characters.alleleCount = {12, 4};
  characters.charId = {1, 2};
  characters.names = {"Locus1", "Locus2"};
  characters.isLocus = {1, 1};
  characters.flags = {0, 0};
  characters.nameWidth = 8;
  ResolveMixtureCharacters(mixture, characters, log, MIXORA_FUZZ_MIXTURE_FORMAT);
  return 0;
}
