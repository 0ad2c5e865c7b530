#pragma once
// Requests to stop that come from outside the program: Ctrl-C at the
// terminal (SIGINT), the terminal going away (SIGHUP), and SIGTERM, which is
// how a cluster scheduler announces a time limit, a preemption or a cancel.
// Each asks every running chain to save and stop after its current
// iteration. Later signals change nothing: a scheduler sends SIGTERM to every
// process of a task, and the task's own script passes it on once more, so a
// second one is routine and must not cut a save short.
#include <atomic>

namespace mixora::cli {

// Catches SIGINT, SIGTERM and SIGHUP from now on. The first one caught
// writes `notice` (a static text) to standard error; without one, the notice
// of a run whose chains save and stop.
void InstallStopSignals(const char* notice = nullptr);

// Asks the work to stop as a caught signal does (StopSignal() reads SIGPIPE),
// with a notice on standard error: the reader of standard output has gone,
// so a run would go on for hours with no one to tell. Later requests change
// nothing. Safe from any thread.
void RequestStopForClosedOutput();

// The number of the first signal caught, 0 while none has been.
const std::atomic<int>& StopSignal();

// The exit status of a command that stopped on request, as a shell reports
// a program ended by Ctrl-C.
inline constexpr int kStoppedExitCode = 130;

}  // namespace mixora::cli
