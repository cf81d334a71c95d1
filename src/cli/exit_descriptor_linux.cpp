#include <sys/syscall.h>
#include <unistd.h>

#include "cli/exit_descriptor.h"

namespace nimbro {

// A process descriptor (Linux 5.3 and later); older kernels answer ENOSYS.
File openExitDescriptor(pid_t pid) {
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  return File(fd < 0 ? -1 : static_cast<int>(fd), "pidfd");
}

}  // namespace nimbro
