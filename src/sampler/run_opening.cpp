#include "sampler/run_opening.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "runfiles/run_fingerprint.h"
#include "runfiles/sample_file_writer.h"
#include "runfiles/summary_file.h"
#include "sampler/chain_inputs.h"
#include "sampler/chain_runner.h"
#include "sampler/chain_target.h"
#include "sampler/priors.h"
#include "sampler/restart_file.h"
#include "formats/format_writers.h"

namespace mixora {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

void Put(std::FILE* file, const char* text) { std::fputs(text, file); }

// The head of a new summary with the baseline and mixture when the run asks
// for them and the prior weights, as bytes.
std::string SummaryHeadText(RunRecord& run) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* memory = ::open_memstream(&buffer, &size);
  if (memory == nullptr) return "";
  run.summary = memory;
  WriteSummaryHead(run);
  if (run.settings.PrintBaseline != 0) {
    Put(memory, "\r\n\r\nBaseline:\r\n\r\n");
    WriteSpamBaseline(run, "", memory);
  }
  if (run.settings.PrintMixture != 0) {
    Put(memory, "\r\n\r\nMixture:\r\n\r\n");
    WriteGenepopMixture(run, false, "", memory);
  }
  Put(memory, "\r\n");
  PrintPriorWeights(run, memory);
  run.summary = nullptr;
  std::fclose(memory);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// What a summary's head was written from, kept beside it ("<title>_Inputs.Sum")
// so that its fixed layout stays as it is.
std::string SummaryInputsPath(const std::string& summaryPath) {
  const std::size_t dot = summaryPath.rfind('.');
  return summaryPath.substr(0, dot) + "_Inputs.Sum";
}

std::string SummaryInputsText(const RunRecord& run) {
  return "Run control file: " + FileNameOf(run.controlPath) + "\r\nInputs: " +
         FingerprintText(run.inputsFingerprint) + "\r\n";
}

std::string ReadSmallFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  char buffer[512];
  const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  return std::string(buffer, n);
}

// The summary of a run: appended to when it exists, else created with its
// head. Several processes may open the same run at once, each running some
// of its chains: the head appears whole and once (whoever creates the file
// first writes it), and afterwards every process only appends. A rerun of
// chains whose inputs changed starts the summary afresh, as its head
// describes the old inputs. Returns the open file or nullptr (reported).
std::FILE* OpenSummary(RunRecord& run, const Interaction& ui, bool rerun) {
  const std::string path = BuildRunFileName(run, kNoChain, kNoReport, kNoGroup, kExtSummary);
  const std::string record = SummaryInputsPath(path);
  const std::string inputs = SummaryInputsText(run);
  if (rerun && Exists(path)) {
    const std::string recorded = ReadSmallFile(record);
    if (!recorded.empty() && recorded != inputs) std::remove(path.c_str());
  }
  if (!Exists(path)) {
    const std::string head = SummaryHeadText(run);
    const std::string temp = path + "." + std::to_string(::getpid()) + ".new";
    const int created =
        CreateFileOnce(temp, path, reinterpret_cast<const uint8_t*>(head.data()), head.size());
    if (created < 0) {
      ShowMessage(ui, kMbIconError, "Error opening Summary File:\r\n%s", path.c_str());
      return nullptr;
    }
    if (created == 1)
      ReplaceFileAtomically(record + "." + std::to_string(::getpid()) + ".new", record,
                            reinterpret_cast<const uint8_t*>(inputs.data()), inputs.size());
  }
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    ShowMessage(ui, kMbIconError, "Error opening Summary File:\r\n%s", path.c_str());
    return nullptr;
  }
  run.summary = file;
  return file;
}

}  // namespace

RunRecord* OpenRun(RunSession& session, const Interaction& ui, const std::string& path, int p) {
  std::string runPath = path;
  bool overwriteAll = false;
  if (runPath.empty()) {
    if (session.run == nullptr) return nullptr;
    runPath = session.run->controlPath;
    overwriteAll = session.run->overwriteAll;
  }
  std::unique_ptr<RunRecord> run = ReadRunControl(ui, runPath, p);
  if (run == nullptr) return nullptr;
  // Not even a rerun may replace the chains of another run control file
  // whose outputs happen to share their names.
  if (const std::string problem = ChainFilesInputsProblem(*run, true); !problem.empty()) {
    ShowMessage(ui, kMbIconError, "Cannot open %s:\r\n%s", runPath.c_str(), problem.c_str());
    return nullptr;
  }
  run->mixtureIndex = p;
  run->overwriteAll = overwriteAll;
  // Chain threads read the run and never write it, so the writers' block
  // size is settled here, before any chain starts.
  run->settings.SaveEvery = ClampSaveEvery(run->settings.SaveEvery);

  if (session.run != nullptr) CloseRun(session);
  session.ui = &ui;
  session.run = std::move(run);
  session.crand = CRandState{};
  RunRecord& current = *session.run;
  // An extension given in any front end, also one stopped part-way, stands
  // in the restart files, so every front end continues to the same end.
  session.numberOfReps = std::max(
      session.requestedReps,
      MixtureTarget(current, current.settings.NumberOfChains, current.settings.NumberOfReps));
  for (int c = 0; c < current.settings.NumberOfChains; ++c) {
    if (CreateChain(session, c) < 0) break;
    Chain& chain = *session.chains[c];
    chain.resume = 0;
    // Chains about to be rerun replace their restart files unread, so a
    // damaged one is no reason for a message.
    if (!session.rerun && HasRestartFile(chain)) {
      if (TransferRestartFile(chain, kRestartRead, kRestartChecksOnly) == 1)
        chain.resume = 1;
      else
        chain.restartRefused = true;
    }
    chain.runState.store(kChainStopped);
  }
  OpenSummary(current, ui, session.rerun);
  return &current;
}

int HasRestartFile(Chain& chain) {
  if (Exists(RestartFilePath(chain))) return 1;
  chain.resume = 0;
  return 0;
}

void CloseRecordLog(Chain& chain) {
  std::FILE*& log = chain.samples.chainLog;
  if (log == nullptr) return;
  const std::string line = FormatSessionEnded(FormatDateTime(), chain.cpuTime);
  std::fwrite(line.data(), 1, line.size(), log);
  CommitFile(log);
  std::fclose(log);
  log = nullptr;
}

void CloseRecordLog(RunRecord& run) {
  if (run.summary == nullptr) return;
  const std::string line = FormatSessionEnded(FormatDateTime(), ProcessCpuTime());
  // Other processes running chains of the same run end their sessions in the
  // same file.
  std::fflush(run.summary);
  AppendLocked(::fileno(run.summary), reinterpret_cast<const uint8_t*>(line.data()), line.size());
  std::fclose(run.summary);
  run.summary = nullptr;
}

void CloseChain(RunSession& session, int chainIndex) {
  if (chainIndex < 0 || chainIndex >= static_cast<int>(session.chains.size())) return;
  std::unique_ptr<Chain>& chain = session.chains[chainIndex];
  if (chain == nullptr) return;
  CloseRecordLog(*chain);
  // Sample files are closed by the chain's end; a chain prepared but never
  // run (its thread could not start) may still hold them.
  if (chain->samples.assignment.file != nullptr || chain->samples.composition.file != nullptr)
    CloseChainSamples(chain->samples);
  // Only now is every file of the chain written for good.
  ReleaseChainLock(*chain);
  chain.reset();
}

void ReleaseRun(RunSession& session) {
  if (session.run == nullptr) return;
  CloseRecordLog(*session.run);
  session.run.reset();
}

void CloseRun(RunSession& session) {
  const int count = static_cast<int>(session.chains.size());
  // Waiting for each thread, not a fixed time, keeps a record alive for as
  // long as its thread still uses it.
  AbortChains(session, 0, count, false);
  for (int c = count - 1; c >= 0; --c) {
    ReapChainThread(session, c);
    CloseChain(session, c);
  }
  session.chains.clear();
  session.slots.clear();
  ReleaseRun(session);
  ClearNotices(session.notices);
}

}  // namespace mixora
