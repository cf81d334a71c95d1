#include "cli/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace nimbro {

void occupyClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (null < 0 || null == fd) continue;
    dup2(null, fd);
    close(null);
  }
}

void ignoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void restoreChildExitSignal() { signal(SIGCHLD, SIG_DFL); }

}  // namespace nimbro
