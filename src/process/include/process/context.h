// The run context: the cancellation of one invocation. It is observed through
// a descriptor that becomes readable once the run is cancelled, so every
// blocking wait on the way to and during a child can poll it beside its own
// descriptors, and no thread is needed to watch it. SignalWatch
// (process/signals.h) makes the tool's one.
#pragma once

#include <poll.h>

#include <cerrno>

namespace nimbro {

class Context {
 public:
  // A context that is never cancelled.
  Context() = default;
  // A context cancelled once fd is readable. The descriptor stays owned by
  // whoever made it, and must outlive every use of the context.
  explicit Context(int fd) : fd_(fd) {}

  // The descriptor to poll for POLLIN; -1 when the context is never cancelled.
  int fd() const { return fd_; }
  // Whether the run has been cancelled, without waiting.
  bool cancelled() const {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    int n;
    do {
      n = poll(&p, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace nimbro
