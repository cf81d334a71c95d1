#include "cli/context.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "cli/cloexec_pipe.h"

namespace nimbro {

bool Context::cancelled() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  int n;
  do {
    n = poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0;
}

CancelSource::CancelSource() {
  int fds[2];
  if (openCloexecPipe(fds) == 0) {
    readFd_ = fds[0];
    writeFd_ = fds[1];
  }
}

CancelSource::~CancelSource() {
  if (readFd_ >= 0) close(readFd_);
  if (writeFd_ >= 0) close(writeFd_);
}

void CancelSource::cancel() {
  // Closing the write end makes the read end readable (end of file) for
  // good, however often it is polled.
  if (writeFd_ >= 0) {
    close(writeFd_);
    writeFd_ = -1;
  }
}

}  // namespace nimbro
