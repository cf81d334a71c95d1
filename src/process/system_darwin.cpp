// macOS 11 or later. Compiled by the cross-build, never run here: the same
// process back end runs on Linux under the whole test suite.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "process/syserr.h"
#include "system.h"

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

// Apple's flag leaves the child only the descriptors the file actions
// describe, here the mapped ones below lowest, and closes all others.
int closeDescriptorsFrom(posix_spawn_file_actions_t& /*actions*/, short& flags, int /*lowest*/) {
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
  return 0;
}

// macOS's error texts are the same sentences as Linux's for the errors a
// start or an open meets ("No such file or directory", "Permission
// denied"). strerror_r refuses a number it has no text for, where strerror
// would make one up.
const char* systemErrorDescription(int errnum) {
  thread_local char text[128];
  return strerror_r(errnum, text, sizeof text) == 0 ? text : nullptr;
}

// macOS's own signal texts carry the number ("Killed: 9").
const char* systemSignalDescription(int sig) { return linuxSignalDescription(sig); }

}  // namespace nimbro
