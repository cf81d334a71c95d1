// Watching a test's own child end without reaping it: its pid stays reserved
// while signals are still being sent to it, and its peak memory can be read.
// And a scope in which orphans of the test's children come back to the test,
// so that one left behind is seen rather than quietly reaped by init.
#pragma once

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nimbro::testing {

// True once pid, a child of this process, has ended within timeoutMs. It is
// left unreaped.
inline bool waitEnded(pid_t pid, int timeoutMs) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return false;
  pollfd p{fd, POLLIN, 0};
  int n;
  do {
    n = poll(&p, 1, timeoutMs);
  } while (n < 0 && errno == EINTR);
  close(fd);
  return n > 0;
}

// The peak resident set size in KiB of an ended, unreaped child, or of the
// largest of its own children if that is larger; -1 when it cannot be read.
inline long peakResidentKiB(pid_t pid) {
  siginfo_t info{};
  rusage usage{};
  // The C library's waitid has no room for the usage; the system call does.
  if (syscall(SYS_waitid, P_PID, pid, &info, WEXITED | WNOWAIT, &usage) != 0) return -1;
  return usage.ru_maxrss;
}

// The pids of this process's children, running or unreaped.
inline std::vector<pid_t> childPids() {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  const pid_t self = getpid();
  while (const dirent* e = readdir(proc)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    std::getline(stat, line);
    // "pid (comm) state ppid ...": the name may hold anything but ends at
    // the last ")".
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    pid_t ppid = 0;
    if (rest >> state >> ppid && ppid == self) pids.push_back(std::atoi(e->d_name));
  }
  closedir(proc);
  return pids;
}

// Kills and reaps the given children.
inline void killAndReap(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

// Makes this process the reaper of its descendants' orphans for the scope.
class SubreaperScope {
 public:
  SubreaperScope() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
  ~SubreaperScope() { prctl(PR_SET_CHILD_SUBREAPER, 0); }
  SubreaperScope(const SubreaperScope&) = delete;
  SubreaperScope& operator=(const SubreaperScope&) = delete;
};

}  // namespace nimbro::testing
