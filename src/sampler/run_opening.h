#pragma once
// Opening a run control file for one mixture as the current run of a
// session: the run record, one chain record per chain (each marked to resume
// when its restart file checks out), and the run summary file; and closing
// it again: chains stopped and waited for, "Session ended" lines written,
// everything released.
#include <cstdint>
#include <string>

#include "runfiles/run_record.h"
#include "sampler/chain.h"
#include "sampler/run_session.h"

namespace mixora {

// Reads mixture p (from 0) of the run control file at path into a new run
// and makes it the session's current run; an empty path reopens the current
// run's file, keeping its "Yes to All" answer. The previous run is closed
// only once the new one has been read; when reading fails it stays open and
// none is returned, as when the chains' files belong to another run control
// file (shown). The session's number of reps becomes the mixture's target
// (chain_target.h), or session.requestedReps if larger. Chains are created for the new run (each probing its
// restart file), SaveEvery is stored clamped, and the summary is opened for
// appending, or created with its head, the baseline and mixture when the
// run asks for them, and the prior weights. A summary that cannot be opened
// is reported ("Error opening Summary File:") and the run opens without one.
RunRecord* OpenRun(RunSession& session, const Interaction& ui, const std::string& path, int p);

// Whether the chain's restart file exists; when not, the chain's resume
// field is cleared.
int HasRestartFile(Chain& chain);

// Writes "Session ended: <date>, CPU: <time>" to the record's open text file
// (the chain log with the chain's processor time, the summary with the
// process's) and closes it. Nothing when the file is not open.
void CloseRecordLog(Chain& chain);
void CloseRecordLog(RunRecord& run);

// CloseRecordLog and release the chain record; its table entry becomes
// empty. The chain must have no live thread.
void CloseChain(RunSession& session, int chainIndex);

// CloseRecordLog and release the session's current run.
void ReleaseRun(RunSession& session);

// Asks every running chain to stop, waits for each thread to end (samples
// and restart file complete), closes every chain from the last to the first
// and releases the run. Queued notices are dropped.
void CloseRun(RunSession& session);

}  // namespace mixora
