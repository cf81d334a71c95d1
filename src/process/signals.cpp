// Both of the tool's signal handlers, and every change it makes to how a
// signal is handled. A handler runs between any two instructions of the
// thread it interrupts, which may be inside malloc, a lock or the C
// library's own state, so both handlers here keep to the same rules:
//   - they call only async-signal-safe functions (POSIX's list; here only
//     write), never one that allocates, locks, or touches stdio;
//   - the only state they read or change is process-wide, in lock-free
//     std::atomic values, and plain values published through those;
//   - they save errno on entry and restore it on return, since the code
//     they interrupted may be about to read it;
//   - they never block: each writes one byte to a pipe that is either
//     non-blocking or known to have room, and a byte lost to a full pipe
//     changes nothing, as that pipe is readable already.
// Everything else, the reaping, the cancellation, the copying, happens in
// the poll loop that reads those pipes, outside any handler.
#include "process/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "system.h"

namespace nimbro {
namespace {

static_assert(std::atomic<int>::is_always_lock_free, "a handler may use only lock-free atomics");

// SIGINT and SIGTERM: the first one reports itself on the write end of the
// watch's pipe, kept where the handler finds it. There is one watch, the
// entry's.
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

// SIGCHLD: the pipes of the waits under way are listed where the handler
// finds them, a fixed table whose entries are claimed and released with
// atomic operations alone. A wait that finds no free entry looks for its
// child at intervals instead.
constexpr int kWaits = 16;

enum SlotState : int { kFree, kClaimed, kArmed, kWriting };

struct Slot {
  std::atomic<int> state{kFree};
  int writeFd = -1;
};

Slot slots[kWaits];

void onChildEnd(int) {
  const int savedErrno = errno;
  for (Slot& slot : slots) {
    int armed = kArmed;
    // kWriting keeps the wait from closing the pipe under the write.
    if (!slot.state.compare_exchange_strong(armed, kWriting)) continue;
    (void)!::write(slot.writeFd, "", 1);
    slot.state.store(kArmed);
  }
  errno = savedErrno;
}

// The handler is in place while at least one wait is under way, and what was
// there before comes back after the last one.
std::mutex handlerMutex;
int handlerUsers = 0;
struct sigaction previousHandler;

void startCatching() {
  const std::lock_guard<std::mutex> lock(handlerMutex);
  if (handlerUsers++ > 0) return;
  struct sigaction action {};
  action.sa_handler = onChildEnd;
  sigemptyset(&action.sa_mask);
  // Only ends matter; a stopped or continued child is no news.
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, &previousHandler);
}

void stopCatching() {
  const std::lock_guard<std::mutex> lock(handlerMutex);
  if (--handlerUsers > 0) return;
  sigaction(SIGCHLD, &previousHandler, nullptr);
}

int claimSlot() {
  for (int i = 0; i < kWaits; ++i) {
    int free = kFree;
    if (slots[i].state.compare_exchange_strong(free, kClaimed)) return i;
  }
  return -1;
}

void releaseSlot(int i) {
  Slot& slot = slots[i];
  // A handler on another thread may be writing to the pipe right now; it
  // must be done before the descriptor is closed and its number reused.
  for (;;) {
    int armed = kArmed;
    if (slot.state.compare_exchange_weak(armed, kClaimed)) break;
  }
  ::close(slot.writeFd);
  slot.writeFd = -1;
  slot.state.store(kFree);
}

}  // namespace

void ignoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void restoreChildExitSignal() { signal(SIGCHLD, SIG_DFL); }

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

ExitDescriptor::ExitDescriptor() {
  slot_ = claimSlot();
  if (slot_ < 0) return;
  int fds[2];
  if (openCloexecPipe(fds) != 0) {
    slots[slot_].state.store(kFree);
    slot_ = -1;
    return;
  }
  // The handler must never block on a full pipe.
  if (fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    slots[slot_].state.store(kFree);
    slot_ = -1;
    return;
  }
  readFd_ = fds[0];
  slots[slot_].writeFd = fds[1];
  // Readable at first: the child may have ended before the watch began.
  (void)!::write(fds[1], "", 1);
  slots[slot_].state.store(kArmed);

  startCatching();
  sigset_t childEnd;
  sigemptyset(&childEnd);
  sigaddset(&childEnd, SIGCHLD);
  sigset_t previous;
  pthread_sigmask(SIG_UNBLOCK, &childEnd, &previous);
  unblocked_ = sigismember(&previous, SIGCHLD) == 1;
}

ExitDescriptor::~ExitDescriptor() {
  if (slot_ < 0) return;
  if (unblocked_) {
    sigset_t childEnd;
    sigemptyset(&childEnd);
    sigaddset(&childEnd, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &childEnd, nullptr);
  }
  stopCatching();
  releaseSlot(slot_);
  ::close(readFd_);
}

void ExitDescriptor::clear() {
  // Called once poll found it readable, so the read cannot block; whatever
  // is left over keeps it readable and is taken next time.
  char bytes[64];
  if (readFd_ >= 0) (void)!::read(readFd_, bytes, sizeof bytes);
}

}  // namespace nimbro
