#include "sampler/process_priority.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "sampler/chain_runner.h"

namespace mixora {

namespace {

constexpr int kNice[kProcessPriorityClassCount] = {-10, -5, 0, 5, 19};

std::vector<int> ProcessThreads() {
  std::vector<int> ids;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return ids;
  while (dirent* entry = readdir(dir)) {
    const int id = std::atoi(entry->d_name);
    if (id > 0) ids.push_back(id);
  }
  closedir(dir);
  return ids;
}

}  // namespace

int NiceOfPriorityClass(int priorityClass) {
  if (priorityClass < 0 || priorityClass >= kProcessPriorityClassCount)
    priorityClass = kPriorityNormal;
  return kNice[priorityClass];
}

int PriorityClassOfNice(int nice) {
  for (int c = 0; c < kProcessPriorityClassCount - 1; ++c)
    if (nice <= kNice[c]) return c;
  return kPriorityIdle;
}

int CurrentPriorityClass() {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  return PriorityClassOfNice(errno != 0 ? 0 : nice);
}

int SetProcessPriorityClass(RunSession* session, int priorityClass) {
  const int nice = NiceOfPriorityClass(priorityClass);
  const int self = static_cast<int>(syscall(SYS_gettid));
  errno = 0;
  const int before = getpriority(PRIO_PROCESS, 0);
  // The calling thread first: if the system refuses it, nothing has changed.
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(self), nice) != 0) return 0;
  for (int id : ProcessThreads()) {
    if (id == self) continue;
    if (session != nullptr) {
      bool chain = false;
      for (const auto& slot : session->slots) chain = chain || slot->systemId.load() == id;
      if (chain) continue;
    }
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice) != 0) {
      const int refused = errno;
      setpriority(PRIO_PROCESS, static_cast<id_t>(self), before);
      errno = refused;
      return 0;
    }
  }
  if (session != nullptr) {
    for (std::size_t c = 0; c < session->slots.size() && c < session->chains.size(); ++c) {
      if (!ChainHasThread(*session, static_cast<int>(c))) continue;
      session->slots[c]->baseNice.store(nice);
      SetChainPriority(*session, session->chains[c]->priority, static_cast<int>(c),
                       static_cast<int>(c) + 1);
    }
  }
  return 1;
}

}  // namespace mixora
