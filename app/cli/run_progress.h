#pragma once
// The live chain progress of `mixora run` and `mixora analyze`: redrawn in
// place on a terminal, plain throttled lines otherwise.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "sampler/chain_progress.h"
#include "sampler/mixture_runner.h"
#include "sampler/run_session.h"
#include "stop_signals.h"

namespace mixora::cli {

// One chain's line: iteration, rate, elapsed, ETA, CPU time and state.
std::string ChainLine(const ChainProgress& p);

// Live progress: redrawn in place on a terminal; plain lines otherwise,
// throttled so that a log does not fill with them.
class ProgressDisplay {
 public:
  ProgressDisplay(bool quiet, bool terminal, std::ostream& out)
      : quiet_(quiet), terminal_(terminal), out_(out) {}

  void Opened(const RunSession& session) {
    drawn_ = 0;
    lastPlain_ = 0;
    if (quiet_) return;
    const RunRecord& run = *session.run;
    out_ << "Mixture " << run.mixtureIndex + 1 << " of " << run.mixtureCount << ": "
              << run.runTitle << " (" << session.chains.size() << " chains, "
              << session.numberOfReps << " reps)\n"
              << std::flush;
    StopWhenOutputClosed();
  }

  void Tick(const RunSession& session) {
    if (quiet_) return;
    if (terminal_) {
      Redraw(session);
      return;
    }
    // Without a terminal: every running chain's line every ten seconds.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    if (lastPlain_ != 0 && seconds - lastPlain_ < 10) return;
    lastPlain_ = seconds;
    for (int c = 0; c < static_cast<int>(session.chains.size()); ++c) {
      ChainProgress p = ReadChainProgress(session, c);
      if (p.state == "Running" || p.state == "Paused") out_ << ChainLine(p) << "\n";
    }
    out_ << std::flush;
    StopWhenOutputClosed();
  }

  void ChainFinished(const RunSession& session, int chain) {
    if (quiet_) return;
    if (terminal_) {
      Redraw(session);
      return;
    }
    ChainProgress p = ReadChainProgress(session, chain);
    out_ << ChainLine(p) << "  (" << p.phase << ")\n" << std::flush;
    StopWhenOutputClosed();
  }

  void MixtureFinished(const RunSession& session, const MixtureOutcome& outcome) {
    if (quiet_) return;
    if (terminal_) Redraw(session);
    out_ << "Mixture " << outcome.mixture + 1 << ": " << outcome.completed.size() << " of "
              << outcome.completed.size() + outcome.incomplete.size() << " chains completed\n"
              << std::flush;
    drawn_ = 0;
  }

 private:
  void Redraw(const RunSession& session) {
    std::string text;
    if (drawn_ > 0) text += "\x1b[" + std::to_string(drawn_) + "A";
    for (int c = 0; c < static_cast<int>(session.chains.size()); ++c)
      text += "\r\x1b[2K" + ChainLine(ReadChainProgress(session, c)) + "\n";
    drawn_ = static_cast<int>(session.chains.size());
    out_ << text << std::flush;
    StopWhenOutputClosed();
  }

  // Standard output taken away (`mixora run … | head`): the chains save and
  // stop rather than run on unseen.
  void StopWhenOutputClosed() {
    if (out_.fail()) RequestStopForClosedOutput();
  }

  bool quiet_;
  bool terminal_;
  std::ostream& out_;
  int drawn_ = 0;
  int64_t lastPlain_ = 0;
};

// The display's hooks for RunMixtures.
MixtureRunEvents ProgressEvents(ProgressDisplay& display);

}  // namespace mixora::cli
