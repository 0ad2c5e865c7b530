#include "tools/synthetic_files.h"

#include "core/interaction.h"
#include "input/control.h"
#include "formats/run_file_export.h"

namespace mixora {

int WriteSyntheticRunFiles(const SyntheticRunShape& shape, const SyntheticFileSettings& settings,
                           const std::string& outputName, std::vector<std::string>* written) {
  RunRecord run = MakeSyntheticRun(shape);
  RunSettings& set = run.settings;
  set.NumberOfChains = settings.chains;
  set.NumberOfReps = settings.reps;
  set.SaveEvery = settings.saveEvery;
  set.NumberToKeep = settings.numberToKeep;
  set.ThinIse = settings.thinIse;
  set.ThinSta = settings.thinSta;
  set.StartStock[0] = run.stockId.front();
  // The Raftery-Lewis settings most runs use.
  set.Accuracy = 0.02;
  set.Quantile = 0.975;
  set.Probability = 0.95;
  set.Percentile = 0.975;
  SetField(set.OutputFolder, "output");
  SetField(set.Species, "Unknown");
  SetField(set.BaseDesc, "Synthetic baseline");
  // The control file names groups by ID; the one group of every stock is 1.
  for (auto& level : run.groupAt)
    for (int32_t& group : level) group = run.groupId.front();
  MixtureRecord mixture;
  mixture.year = 2024;
  mixture.vial = "Synthetic";
  mixture.desc = "Synthetic mixture";
  mixture.date = "2024-07-01";
  mixture.area = "Nowhere";
  mixture.gear = "None";
  run.mixtures = {mixture};

  RunFileChoices choices;
  choices.controlFormat = ControlChoice::kMixora;
  choices.baselineFormat = BaselineChoice::kSpam;
  choices.mixtureFormat = MixtureChoice::kGenepop;
  Interaction replaceAll;
  bool overwriteAll = true;
  return ConvertRunFiles(replaceAll, choices, run, outputName, overwriteAll, written);
}

}  // namespace mixora
