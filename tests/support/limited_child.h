#pragma once
// Running the mixora program in a child process under the limits of a
// machine in trouble: a file-size limit that makes writes fail as a full disk
// does (SIGXFSZ ignored, so the write returns EFBIG instead of killing), an
// address-space limit that makes allocations fail, a limit on the user's
// processes that makes new threads fail, or another user's rights, so that
// even a test run as root meets folders it may not write.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "support/cli_runner.h"

namespace mixora::testing_support {

struct ChildLimits {
  rlim_t fileSize = RLIM_INFINITY;      // bytes any one file may reach
  rlim_t addressSpace = RLIM_INFINITY;  // bytes of virtual memory
  rlim_t processes = RLIM_INFINITY;     // processes and threads of the user (with asNobody)
  bool asNobody = false;                // drop root to the user "nobody"
  uid_t asUser = 0;                     // or to this user and group id, which need no name
};

inline std::string DrainPipe(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

// Runs mixora with args in folder under the limits. Output comes back through
// pipes, which no file-size limit touches.
inline CliResult RunCliLimited(const std::string& folder, const std::vector<std::string>& args,
                               const ChildLimits& limits) {
  int out[2], err[2];
  CliResult result;
  if (::pipe(out) != 0 || ::pipe(err) != 0) return result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    if (limits.asNobody) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
          ::setuid(nobody->pw_uid) != 0) {
        ::_exit(125);
      }
    } else if (limits.asUser != 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(limits.asUser) != 0 ||
          ::setuid(limits.asUser) != 0)
        ::_exit(125);
    }
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limits.fileSize, limits.fileSize};
    const rlimit space{limits.addressSpace, limits.addressSpace};
    const rlimit processes{limits.processes, limits.processes};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0 || ::setrlimit(RLIMIT_AS, &space) != 0 ||
        (limits.processes != RLIM_INFINITY && ::setrlimit(RLIMIT_NPROC, &processes) != 0))
      ::_exit(124);
    std::vector<char*> argv{const_cast<char*>(MIXORA_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(MIXORA_CLI_PATH, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  std::thread errReader([&] { result.err = DrainPipe(err[0]); });
  result.out = DrainPipe(out[0]);
  errReader.join();
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return result;
}

}  // namespace mixora::testing_support
