#include "cli/context.h"

#include <poll.h>

#include <cerrno>

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

}  // namespace nimbro
