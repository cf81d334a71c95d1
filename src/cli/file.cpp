#include "cli/file.h"

#include <unistd.h>

namespace nimbro {

void File::close() {
  if (fd_ < 0) return;
  // Retrying after EINTR could close a descriptor another thread has just
  // been given, so the descriptor is released once whatever close reports.
  ::close(std::exchange(fd_, -1));
}

}  // namespace nimbro
