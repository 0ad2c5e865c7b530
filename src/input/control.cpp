#include "input/control.h"

#include <cstring>

namespace mixora {

const char* ControlKindName(int32_t kind) {
  switch (kind) {
    case -1: return "Not Found";
    case 1: return "Talmo Control";
    case 2: return "SPAM Control";
    case 3: return "Mixora Control";
    default: return "Unknown";
  }
}

const char* ControlKindShortName(int32_t kind) {
  switch (kind) {
    case -1: return "Not Found";
    case 1: return "Talmo";
    case 2: return "SPAM";
    case 3: return "Mixora";
    default: return "Unknown";
  }
}

const char* BaselineFormatName(int32_t format) {
  switch (format) {
    case -1: return "Not Found";
    case 1: return "Talmo";
    case 2: return "SPAM";
    case 3: return "Genepop";
    case 4: return "GenepopLabel";
    case 5: return "ONCOR";
    default: return "Unknown";
  }
}

const char* MixtureFormatName(int32_t format) {
  switch (format) {
    case -1: return "Not Found";
    case 1: return "SPAM";
    case 2: return "Genepop";
    case 3: return "GenepopLabel";
    case 4: return "ONCOR";
    default: return "Unknown";
  }
}

void ReleaseControl(Control& control) {
  control.groups.reset();
  control.stocks.reset();
  control.baseline.reset();
  control.characters.reset();
  control.mixture.reset();
  control.settings.reset();
  control.mixtureFormat = 0;
  control.baselineFormat = 0;
}

int InitControl(Control& control) {
  ReleaseControl(control);
  control.settings = std::make_unique<RunSettings>();
  std::memset(control.settings.get(), 0, sizeof(RunSettings));
  control.mixture = std::make_unique<MixtureData>();
  control.characters = std::make_unique<CharacterBlock>();
  control.baseline = std::make_unique<BaselineData>();
  control.stocks = std::make_unique<StockBlock>();
  control.groups = std::make_unique<GroupBlock>();
  return 1;
}

}  // namespace mixora
