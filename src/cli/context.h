// The run context: the cancellation of one invocation. It is observed through
// a descriptor that becomes readable once the run is cancelled, so every
// blocking wait on the way to and during a child can poll it beside its own
// descriptors, and no thread is needed to watch it.
#pragma once

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
  bool cancelled() const;

 private:
  int fd_ = -1;
};

}  // namespace nimbro
