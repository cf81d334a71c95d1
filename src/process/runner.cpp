#include "process/runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "child_streams.h"
#include "process/paths.h"
#include "process/signals.h"
#include "process/syserr.h"
#include "system.h"

// The process environment. POSIX leaves its declaration to the program;
// only some C libraries declare it in <unistd.h>.
extern char** environ;

namespace nimbro {
namespace {

// The child's argument vector: name, then args. The spawn call only reads
// the strings; its C signature merely lacks the const.
std::vector<char*> argumentVector(const std::string& name, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// The process environment less the entries whose name is in unset and less
// entries that are not NAME=value at all. Empty when nothing passes: the
// child then gets no environment, never the whole of the tool's.
std::vector<char*> environmentWithout(std::span<const std::string_view> unset) {
  std::vector<char*> env;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    if (std::find(unset.begin(), unset.end(), text.substr(0, eq)) != unset.end()) continue;
    env.push_back(*entry);
  }
  env.push_back(nullptr);
  return env;
}

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

  // The tool catches SIGINT and SIGTERM with a handler and ignores SIGPIPE,
  // and whoever started it may have blocked signals. A caught signal is
  // reset by exec anyway, but an ignored or blocked one would stay so in
  // the child, which could then be neither interrupted nor stopped by a
  // closed pipe.
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

// Starts path with argv and envp (both null-terminated) and returns its pid.
// childFds[i] becomes descriptor i in the child, which inherits no other
// descriptor, starts with no signal blocked, and finds SIGINT, SIGTERM and
// SIGPIPE at their default effect whatever the tool has done with them. The
// descriptors in childFds stay open and unchanged in the tool. A failure to
// start reads "fork/exec <path>: <system text>".
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

struct ChildEnd {
  int status = 0;          // as waitpid reports it
  bool cancelled = false;  // the run was cancelled before the wait was over
  int waitErrno = 0;       // why the child could not be waited for; status is unknown
};

// Without an exit descriptor the child's end cannot be polled for; it is
// looked for this often instead.
constexpr int kReapIntervalMs = 10;

// Whether pid is done with: reaped, its status in end, or beyond waiting
// for, the failure in end. Never blocks unless block is set.
bool reap(pid_t pid, bool block, ChildEnd& end) {
  for (;;) {
    const pid_t r = waitpid(pid, &end.status, block ? 0 : WNOHANG);
    if (r == pid) return true;
    if (r == 0) return false;
    if (errno == EINTR) continue;
    end.waitErrno = errno;
    return true;
  }
}

// Returns once pid has ended and been reaped and every pipe of streams has
// been copied to its end. Cancellation of ctx kills the child at once with
// SIGKILL and stops the copying once the child is reaped: whatever else
// holds the pipes (the child's own children) is not waited for.
ChildEnd waitForChild(pid_t pid, const Context& ctx, ChildStreams& streams) {
  ChildEnd end;
  ExitDescriptor exits;
  bool reaped = false;
  std::vector<pollfd> fds;

  while (!reaped || streams.copying()) {
    fds.clear();
    const bool watchChild = !reaped && exits.fd() >= 0;
    const bool watchCancel = !end.cancelled && ctx.fd() >= 0;
    if (watchChild) fds.push_back({exits.fd(), POLLIN, 0});
    if (watchCancel) fds.push_back({ctx.fd(), POLLIN, 0});
    const size_t firstStream = fds.size();
    streams.addPollFds(fds);

    const int timeout = !reaped && exits.fd() < 0 ? kReapIntervalMs : -1;
    if (poll(fds.data(), fds.size(), timeout) < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == ENOMEM) continue;
      // Cannot happen with these arguments. Rather than spin or wait on a
      // child that may be stuck on a full pipe, end it.
      if (!reaped) kill(pid, SIGKILL);
      break;
    }

    size_t i = 0;
    const bool childReady = watchChild && fds[i++].revents != 0;
    const bool cancelled = watchCancel && fds[i++].revents != 0;
    if (cancelled) {
      end.cancelled = true;
      // Not yet reaped, so pid still names our child and nobody else.
      if (!reaped) kill(pid, SIGKILL);
    }
    if (childReady) exits.clear();
    if (!reaped && (childReady || exits.fd() < 0)) reaped = reap(pid, false, end);
    streams.copyReady(std::span(fds).subspan(firstStream));
    if (end.cancelled && reaped) streams.stopCopying();
  }
  if (!reaped) reap(pid, true, end);
  return end;
}

Error endError(const ChildEnd& end) {
  if (end.waitErrno != 0) return errorf("wait: %s", errnoText(end.waitErrno));
  if (WIFEXITED(end.status)) {
    const int code = WEXITSTATUS(end.status);
    if (code == 0) return {};
    return Error::exit(format("exit status %d", code), code);
  }
  std::string text = "signal: " + signalText(WTERMSIG(end.status));
  if (WCOREDUMP(end.status)) text += " (core dumped)";
  return Error::exit(std::move(text), -1);
}

Error runChild(const Context& ctx, const std::string& name, const std::vector<std::string>& args,
               Reader& in, Writer& out, Writer& err, std::span<const int> extraFiles,
               char* const envp[]) {
  const Expected<std::string> path = programPath(name);
  if (!path) return path.error();
  if (ctx.cancelled()) return Error::canceled();

  ChildStreams streams;
  if (Error e = streams.open(in, out, err)) return e;
  std::vector<int> childFds;
  for (int fd : streams.childFds()) childFds.push_back(fd);
  childFds.insert(childFds.end(), extraFiles.begin(), extraFiles.end());

  const std::vector<char*> argv = argumentVector(name, args);
  const Expected<pid_t> pid = spawnChild(path->c_str(), argv.data(), envp, childFds);
  streams.closeChildEnds();
  if (!pid) return pid.error();

  const ChildEnd end = waitForChild(*pid, ctx, streams);
  if (Error e = endError(end)) return e;
  // The kill may have met a child that was already exiting on its own; the
  // run was still cancelled and does not count as a success.
  if (end.cancelled) return Error::canceled();
  // A copying failure matters only when the child itself succeeded: after a
  // failed child it is more likely a consequence than a cause.
  return streams.copyError();
}

}  // namespace

Error ExecRunner::Run(const Context& ctx, const std::string& name,
                      const std::vector<std::string>& args, Reader& in, Writer& out, Writer& err) {
  return runChild(ctx, name, args, in, out, err, {}, environ);
}

Error ExecRunner::RunWithExtraFiles(const Context& ctx, const std::string& name,
                                    const std::vector<std::string>& args, Reader& in,
                                    Writer& out, Writer& err, std::span<const int> extraFiles) {
  return runChild(ctx, name, args, in, out, err, extraFiles, environ);
}

Error ExecRunner::RunWithUnsetEnv(const Context& ctx, const std::string& name,
                                  const std::vector<std::string>& args, Reader& in, Writer& out,
                                  Writer& err, std::span<const std::string_view> unsetEnv) {
  const std::vector<char*> env = environmentWithout(unsetEnv);
  return runChild(ctx, name, args, in, out, err, {}, env.data());
}

int ExitCode(const Error& err) {
  const Error* exitErr = findExitError(err);
  return exitErr != nullptr ? exitErr->exitCode() : -1;
}

}  // namespace nimbro
