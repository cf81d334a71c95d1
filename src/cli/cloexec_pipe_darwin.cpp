#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "cli/cloexec_pipe.h"

namespace nimbro {

// macOS has no pipe2 before version 27, so the flag is set right after. The
// moment between cannot leak the pipe into a child of the tool: every spawn
// closes all descriptors it is not given (POSIX_SPAWN_CLOEXEC_DEFAULT).
int openCloexecPipe(int fds[2]) {
  if (pipe(fds) != 0) return -1;
  for (int i = 0; i < 2; ++i) {
    if (fcntl(fds[i], F_SETFD, FD_CLOEXEC) != 0) {
      const int err = errno;
      close(fds[0]);
      close(fds[1]);
      errno = err;
      return -1;
    }
  }
  return 0;
}

}  // namespace nimbro
