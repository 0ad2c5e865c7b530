#include "stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace mixora::cli {

namespace {

std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

const char kChainNotice[] =
    "\nmixora: stopping: each chain saves and stops after its current iteration\n";
// Set before the handler is installed and never changed while it may run.
const char* gNotice = kChainNotice;

void OnStopSignal(int signal) {
  int none = 0;
  if (!gStopSignal.compare_exchange_strong(none, signal)) return;
  // Only write(2) and strlen may be called here; the work reports its own end.
  const ssize_t ignored = ::write(2, gNotice, std::strlen(gNotice));
  (void)ignored;
}

}  // namespace

void InstallStopSignals(const char* notice) {
  gNotice = notice != nullptr ? notice : kChainNotice;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESETHAND: ending at once on a repeated signal would leave chain
  // logs without their last lines and sample headers not yet rewritten. No
  // SA_RESTART: a question waiting on the terminal gives up and takes its
  // default answer.
  action.sa_flags = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void RequestStopForClosedOutput() {
  int none = 0;
  if (!gStopSignal.compare_exchange_strong(none, SIGPIPE)) return;
  static const char kNotice[] =
      "\nmixora: standard output was closed: each chain saves and stops after its current "
      "iteration\n";
  const ssize_t ignored = ::write(2, kNotice, sizeof kNotice - 1);
  (void)ignored;
}

const std::atomic<int>& StopSignal() { return gStopSignal; }

}  // namespace mixora::cli
