#include "cli/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <cerrno>
#include <vector>

#include "cli/file.h"
#include "cli/spawn_close.h"
#include "cli/syserr.h"

namespace nimbro {
namespace {

// The file actions and attributes of one spawn. Each step is skipped once an
// earlier one has failed, so the first failure is the one reported.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    status_ = posix_spawn_file_actions_init(&actions_);
    if (status_ != 0) return;
    actionsReady_ = true;
    status_ = posix_spawnattr_init(&attr_);
    attrReady_ = status_ == 0;
  }
  ~SpawnAttributes() {
    if (attrReady_) posix_spawnattr_destroy(&attr_);
    if (actionsReady_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;

  void mapDescriptor(int from, int to) {
    if (status_ == 0) status_ = posix_spawn_file_actions_adddup2(&actions_, from, to);
  }

  void closeFrom(int lowest) {
    if (status_ == 0) status_ = closeDescriptorsFrom(actions_, flags_, lowest);
  }

  // The tool blocks SIGINT and SIGTERM to read them as events and ignores
  // SIGPIPE; a child inheriting that could be neither interrupted nor
  // stopped by a closed pipe.
  void resetSignals() {
    if (status_ != 0) return;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    status_ = posix_spawnattr_setsigmask(&attr_, &none);
    if (status_ == 0) status_ = posix_spawnattr_setsigdefault(&attr_, &defaults);
    flags_ |= POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  }

  // The error number of the first failed step or of the spawn, 0 on success.
  int spawn(pid_t& pid, const char* path, char* const argv[], char* const envp[]) {
    if (status_ == 0) status_ = posix_spawnattr_setflags(&attr_, flags_);
    if (status_ == 0) status_ = posix_spawn(&pid, path, &actions_, &attr_, argv, envp);
    return status_;
  }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attr_{};
  bool actionsReady_ = false;
  bool attrReady_ = false;
  short flags_ = 0;
  int status_ = 0;
};

}  // namespace

Expected<pid_t> spawnChild(const char* path, char* const argv[], char* const envp[],
                           std::span<const int> childFds) {
  const int firstFree = static_cast<int>(childFds.size());

  // A source may already carry its target number (dup2 onto itself would
  // leave close-on-exec set) or another target's number (mapping in order
  // would overwrite it before it is read). Copies above every target number
  // avoid both: each copy differs from its target and from every other.
  std::vector<File> copies;
  copies.reserve(childFds.size());
  for (int fd : childFds) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, firstFree);
    if (copy < 0) return pathError("fork/exec", path, errno);
    copies.emplace_back(copy, std::string());
  }

  SpawnAttributes spawn;
  for (size_t target = 0; target < copies.size(); ++target)
    spawn.mapDescriptor(copies[target].fd(), static_cast<int>(target));
  spawn.closeFrom(firstFree);
  spawn.resetSignals();

  pid_t pid = -1;
  if (const int err = spawn.spawn(pid, path, argv, envp); err != 0)
    return pathError("fork/exec", path, err);
  return pid;
}

}  // namespace nimbro
