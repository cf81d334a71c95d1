#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "cli/process.h"

namespace nimbro {
namespace {

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

SignalWatch::SignalWatch() {
  const sigset_t set = watchedSignals();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd_ < 0) {
    // Without a way to observe them, blocking the signals would make the
    // tool deaf to them; leave them to their default effect instead.
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
  }
}

SignalWatch::~SignalWatch() { stop(); }

void SignalWatch::stop() {
  if (fd_ < 0) return;
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  close(fd_);
  fd_ = -1;
}

}  // namespace nimbro
