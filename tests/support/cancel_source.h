// A run context cancelled by hand, for tests that cancel at a moment they
// choose; the tool itself is cancelled only by signals.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include "process/context.h"

namespace nimbro::testing {

class CancelSource {
 public:
  CancelSource() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      readFd_ = fds[0];
      writeFd_ = fds[1];
    }
  }
  ~CancelSource() {
    if (readFd_ >= 0) close(readFd_);
    cancel();
  }
  CancelSource(const CancelSource&) = delete;
  CancelSource& operator=(const CancelSource&) = delete;

  Context context() const { return Context(readFd_); }
  // Closing the write end makes the read end readable (end of file) for
  // good, however often it is polled.
  void cancel() {
    if (writeFd_ >= 0) close(writeFd_);
    writeFd_ = -1;
  }

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};

}  // namespace nimbro::testing
