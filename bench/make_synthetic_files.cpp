// Writes one of the benchmark cases as input files that run from
// `mixora load` (or `mixora analyze`) to the reports:
//
//   mixora_synthetic_files CASE OUTPUT_NAME [CHAINS REPS]
//
// CASE is real-sized-snp (772 fish, 69 stocks, 91 loci), large-snp (3000
// fish, 400 stocks, 300 loci), microsatellite (500 fish, 30 stocks, 15 loci)
// or wide-panel (200 fish, 12 stocks, 1000 loci). OUTPUT_NAME.tcf, .bse and
// .mix are written; the run's outputs go to the folder "output" beside them.
//
//   mixora_synthetic_files samples RUN_FILE
//
// fills the sample and restart files of every chain of the first mixture of
// a loaded run with NumberOfReps made-up records, without sampling: the
// large case's 4 chains of 20,000 records would take hours of iterations,
// and the reports only read what the files hold. Compositions wander around
// the mixture's true proportions; each record moves one fish in a hundred to
// another stock.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "sampler/run_opening.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain_runner.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/mt19937.h"
#include "sampler/restart_file.h"
#include "sampler/run_session.h"
#include "tools/synthetic_files.h"

namespace {

bool ShapeNamed(const std::string& name, mixora::SyntheticRunShape& shape) {
  if (name == "real-sized-snp") shape = mixora::RealSizedSnpShape();
  else if (name == "large-snp") shape = mixora::LargeSnpShape();
  else if (name == "microsatellite") shape = mixora::MicrosatelliteLikeShape();
  else if (name == "wide-panel") shape = mixora::WidePanelShape();
  else return false;
  return true;
}

int FillSamples(const std::string& rcf) {
  mixora::RunSession session;
  mixora::Interaction ui;
  mixora::RunRecord* run = mixora::OpenRun(session, ui, rcf, 0);
  if (run == nullptr) {
    std::fprintf(stderr, "cannot open %s\n", rcf.c_str());
    return 1;
  }
  session.rerun = true;
  const int32_t S = run->settings.NumberOfStocks, F = run->fishCount;
  const int32_t records = session.numberOfReps;
  std::vector<double> truth(S);
  double total = 0;
  for (int32_t s = 0; s < S; ++s) total += truth[s] = 1.0 / (s + 1);
  std::vector<int32_t> scaled(S);
  for (std::size_t c = 0; c < session.chains.size(); ++c) {
    mixora::Chain& chain = *session.chains[c];
    if (mixora::PrepareChain(session, chain, records) == 0) {
      std::fprintf(stderr, "cannot prepare chain %zu\n", c + 1);
      return 1;
    }
    mixora::Mt19937State rng;
    mixora::Mt19937Seed(rng, static_cast<uint32_t>(4321 + c));
    std::vector<int32_t>& origins = chain.arrays.origins;
    for (int32_t i = 0; i < F; ++i) origins[i] = mixora::Mt19937UniformInt(rng, 0, S - 1);
    for (int32_t t = 1; t <= records; ++t) {
      chain.iteration.store(t);
      for (int32_t s = 0; s < S; ++s) {
        const double p = truth[s] / total * (0.8 + 0.4 * mixora::Mt19937Uniform(rng));
        scaled[s] = static_cast<int32_t>(p * 100000000.0);
      }
      for (int32_t moved = 0; moved < F / 100 + 1; ++moved) {
        origins[mixora::Mt19937UniformInt(rng, 0, F - 1)] = mixora::Mt19937UniformInt(rng, 0, S - 1);
      }
      if (mixora::AppendCompositionRecord(chain.samples, scaled.data()) == 0 ||
          mixora::AppendAssignmentRecord(chain.samples, origins.data()) == 0) {
        std::fprintf(stderr, "cannot keep record %d of chain %zu\n", t, c + 1);
        return 1;
      }
      if (mixora::SaveIsDue(chain) &&
          mixora::TransferRestartFile(chain, mixora::kRestartWrite, mixora::kRestartFull) == 0) {
        std::fprintf(stderr, "cannot save chain %zu\n", c + 1);
        return 1;
      }
    }
    chain.result = 1;
    mixora::FinishChain(session, chain);
    if (chain.result != 1) {
      std::fprintf(stderr, "cannot finish chain %zu\n", c + 1);
      return 1;
    }
    std::printf("chain %zu: %d records\n", c + 1, records);
  }
  mixora::CloseRun(session);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "samples") return FillSamples(argv[2]);
  mixora::SyntheticRunShape shape;
  if ((argc != 3 && argc != 5) || !ShapeNamed(argv[1], shape)) {
    std::fprintf(stderr,
                 "usage: %s real-sized-snp|large-snp|microsatellite|wide-panel OUTPUT_NAME "
                 "[CHAINS REPS]\n",
                 argv[0]);
    return 2;
  }
  mixora::SyntheticFileSettings settings;
  if (argc == 5) {
    settings.chains = std::atoi(argv[3]);
    settings.reps = std::atoi(argv[4]);
    // The reports keep the second half of every chain.
    settings.numberToKeep = settings.reps / 2 > 0 ? settings.reps / 2 : 1;
  }
  std::vector<std::string> written;
  if (mixora::WriteSyntheticRunFiles(shape, settings, argv[2], &written) != 1) {
    std::fprintf(stderr, "cannot write the files of %s\n", argv[2]);
    return 1;
  }
  for (const std::string& path : written) std::printf("%s\n", path.c_str());
  return 0;
}
