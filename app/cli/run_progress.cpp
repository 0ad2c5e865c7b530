#include "run_progress.h"

#include <chrono>
#include <cstdio>

#include "cli_support.h"
#include "runfiles/summary_file.h"

namespace mixora::cli {

std::string ChainLine(const ChainProgress& p) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Chain %2d %8d/%-8d %7.0f it/s  elapsed %5s  ETA %5s  CPU %5s  %s",
                p.index + 1, p.iteration, p.endIteration, p.rate, FormatDuration(p.elapsed).c_str(),
                p.eta < 0 ? "--" : FormatDuration(p.eta).c_str(), FormatDuration(p.cpu).c_str(),
                p.state.c_str());
  return text;
}

MixtureRunEvents ProgressEvents(ProgressDisplay& display) {
  MixtureRunEvents events;
  events.mixtureOpened = [&display](const RunSession& s) { display.Opened(s); };
  events.tick = [&display](const RunSession& s) { display.Tick(s); };
  events.chainFinished = [&display](const RunSession& s, int c) { display.ChainFinished(s, c); };
  events.mixtureFinished = [&display](const RunSession& s, const MixtureOutcome& o) {
    display.MixtureFinished(s, o);
  };
  return events;
}

}  // namespace mixora::cli
