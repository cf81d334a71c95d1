#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "cli/cloexec_pipe.h"
#include "cli/process.h"

namespace nimbro {
namespace {

// Where the first SIGINT or SIGTERM reports itself: the write end of the
// watch's pipe. A signal handler can reach no object, so this one value
// belongs to the process; there is one watch, the entry's.
std::atomic<int> cancelWriteFd{-1};

void onCancelSignal(int) {
  const int savedErrno = errno;
  // Taken by the first signal; the later ones find nothing to do.
  const int fd = cancelWriteFd.exchange(-1);
  if (fd >= 0) (void)!::write(fd, "", 1);
  errno = savedErrno;
}

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

SignalWatch::SignalWatch() {
  int fds[2];
  // Without a pipe the signals keep their default effect: a tool deaf to
  // them would be worse than one that dies of them.
  if (openCloexecPipe(fds) != 0) return;
  fd_ = fds[0];
  writeFd_ = fds[1];
  cancelWriteFd.store(writeFd_);

  struct sigaction action {};
  action.sa_handler = onCancelSignal;
  action.sa_mask = watchedSignals();
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // Whoever started the tool may have blocked them; one that is already
  // pending arrives now and cancels the run before it begins.
  const sigset_t set = watchedSignals();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

SignalWatch::~SignalWatch() { stop(); }

void SignalWatch::stop() {
  if (fd_ < 0) return;
  const sigset_t set = watchedSignals();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  cancelWriteFd.store(-1);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  close(fd_);
  close(writeFd_);
  fd_ = writeFd_ = -1;
}

}  // namespace nimbro
