#include "cli/child_wait.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "cli/exit_descriptor.h"

namespace nimbro {
namespace {

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

}  // namespace

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

}  // namespace nimbro
