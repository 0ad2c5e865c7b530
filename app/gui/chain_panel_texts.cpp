#include "chain_panel_texts.h"

#include <sys/resource.h>

#include "runfiles/summary_file.h"
#include "sampler/chain_progress.h"
#include "sampler/chain_runner.h"
#include "sampler/generator_handle.h"
#include "sampler/priors.h"

namespace mixora::gui {

const char* const kChainRowLabels[kChainRowCount] = {
    "StartStock", "Seed1", "Seed2",  "Elapsed", "ETA",        "Iteration",
    "Num Reps",   "CPU",   "Thread", "State",   "PRNG calls", "Priority"};

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }


}  // namespace

QStringList RunBoxTexts(const RunSession& session, int markedCount) {
  QStringList texts;
  if (session.run == nullptr) return texts;
  const RunRecord& run = *session.run;
  const RunSettings& s = run.settings;
  const QString baseDesc = GetField(s.BaseDesc).empty() ? "None" : Text(GetField(s.BaseDesc));
  const int keep = s.NumberToKeep < 0 ? s.NumberOfReps / 2 : s.NumberToKeep;
  texts << QString("Iterations: %1").arg(session.numberOfReps)
        << QString("%1: %2").arg(Text(run.runTitle), Text(GetField(s.MixtureFile)))
        << QString("Run Control File: %1").arg(Text(run.controlPath))
        << QString("Control File: %1").arg(Text(GetField(s.ControlFilePath)))
        << QString("Original Baseline File: %1 (%2)").arg(Text(GetField(s.BaselineFile)), baseDesc)
        << QString("Output Names: %1").arg(Text(GetField(s.Title)))
        << QString("Output Folder: %1").arg(Text(GetField(s.OutputFolder)))
        << QString("Reps: %1").arg(s.NumberOfReps) << QString("Keep: %1").arg(keep)
        << QString("Stocks: %1").arg(s.NumberOfStocks) << QString("ThinEst: %1").arg(s.ThinIse)
        << QString("Species: %1").arg(Text(GetField(s.Species)))
        << QString("Chars: %1").arg(s.NumberOfChars) << QString("Alleles: %1").arg(run.maxAlleles)
        << (run.badCount > 0 ? QString("Fish: %1 (%2 bad)").arg(run.fishCount).arg(run.badCount)
                             : QString("Fish: %1").arg(run.fishCount))
        << QString("ThinSta: %1").arg(s.ThinSta)
        << QString("UsePriors: %1").arg(s.InformativePrior != 0 ? 'T' : 'F')
        << QString::asprintf("Quantile: %.3f", s.Quantile)
        << QString::asprintf("Accuracy: %.2f", s.Accuracy)
        << QString::asprintf("Probability: %.2f", s.Probability)
        << QString("SaveEvery: %1").arg(s.SaveEvery)
        << (markedCount == 1 ? QString("%1 Mixture selected").arg(markedCount)
                             : QString("%1 Mixtures selected").arg(markedCount))
        << QString("PRNG: %1").arg(s.RanGen == 1 ? "MT19937" : "RandLib")
        << QString("Seed1: %1").arg(s.Seed1) << QString("Seed2: %1").arg(s.Seed2)
        << QString("MaxMissingLoci: %1").arg(s.MaxMissingLoci)
        << QString("Levels: %1").arg(s.Levels);
  for (int level = 0; level < s.Levels; ++level) {
    const int groups = level < static_cast<int>(run.levelGroupCount.size())
                           ? run.levelGroupCount[static_cast<std::size_t>(level)]
                           : 0;
    texts << QString("L%1 Groups: %2").arg(level + 1).arg(groups);
  }
  return texts;
}

QStringList ChainColumnTexts(const RunSession& session, int chainIndex) {
  QStringList cells;
  if (chainIndex < 0 || chainIndex >= static_cast<int>(session.chains.size()) ||
      session.chains[static_cast<std::size_t>(chainIndex)] == nullptr)
    return cells;
  const Chain& chain = *session.chains[static_cast<std::size_t>(chainIndex)];
  const ChainProgress p = ReadChainProgress(session, chainIndex);
  const bool informative = session.run != nullptr && session.run->settings.InformativePrior != 0;
  const ChainThreadSlot& slot = *session.slots[static_cast<std::size_t>(chainIndex)];
  const bool live = ChainHasThread(session, chainIndex);
  const int tid = slot.systemId.load(std::memory_order_relaxed);

  QString calls = Text(p.phase);
  const GeneratorHandle& handle = chain.generators.handle;
  if (handle.uniform != nullptr && chain.phase.load() != kPhaseInitDone) {
    const bool mt = session.run != nullptr && session.run->settings.RanGen == 1;
    const uint64_t draws = mt ? chain.generators.mt.draws : chain.generators.randLib.draws;
    calls = QString("%1M").arg(DrawsInMillions(draws));
  }
  cells << (informative ? QString("InfPriors") : Text(FormatStartStocks(chain.startStocks)))
        << QString::number(chain.seed1) << QString::number(chain.seed2)
        << Text(FormatDuration(static_cast<uint64_t>(p.elapsed)))
        << (p.eta < 0 ? QString("Press Start") : Text(FormatDuration(static_cast<uint64_t>(p.eta))))
        << QString::number(p.iteration) << QString::number(p.endIteration)
        << Text(FormatDuration(p.cpu))
        << (live && tid != 0 ? QString("0x%1").arg(tid, 0, 16) : QString("None"))
        << Text(p.state) << calls;
  return cells;
}

int64_t ProcessCpuHundredths() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  const int64_t micro = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  return micro / 10000;
}

}  // namespace mixora::gui
