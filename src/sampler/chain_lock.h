#pragma once
// One process at a time per chain. The chains of a run may be spread over
// several processes, on several machines sharing the run folder; a chain run
// by two of them at once would have each replace the other's samples. A
// process holds a lock file beside the chain's outputs ("<title>_NN.lock")
// for as long as it runs the chain, and removes it when done.
#include <string>

namespace mixora {

inline constexpr int kChainLockBusy = -1;   // another process holds it
inline constexpr int kChainLockFailed = -2; // the file could not be made (errno)

// Takes the lock at path without waiting: the open descriptor that holds it,
// or kChainLockBusy / kChainLockFailed.
int LockChainFile(const std::string& path);

// Removes the lock file and lets it go; fd becomes -1. Nothing for fd < 0.
void UnlockChainFile(int& fd, const std::string& path);

// The lock file of the chain whose restart file is at restartPath: the same
// name with the extension "lock".
std::string ChainLockPath(const std::string& restartPath);

// Whether some process holds the lock at path now. Takes nothing: a lock
// file nobody holds is left as it is.
bool ChainLockHeld(const std::string& path);

// The lock file of the first chain of the run control file at rcfPath that
// a process runs now, or "" (also when the file cannot be read). Replacing
// a run control file under running chains would have them finish, and
// their reports be written, from data they never saw.
std::string RunningChainLock(const std::string& rcfPath);

}  // namespace mixora
