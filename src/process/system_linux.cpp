// Linux with glibc 2.34 or later.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "system.h"

namespace nimbro {

// Close-on-exec from the moment the pipe exists.
int openCloexecPipe(int fds[2]) { return pipe2(fds, O_CLOEXEC); }

// A glibc file action, run after the mapping actions added before it, so the
// mapped descriptors below lowest stay.
int closeDescriptorsFrom(posix_spawn_file_actions_t& actions, short& /*flags*/, int lowest) {
  return posix_spawn_file_actions_addclosefrom_np(&actions, lowest);
}

// glibc's descriptions, without the locale's translation and without the
// number appended for unknown values, which the callers spell themselves.
const char* systemErrorDescription(int errnum) { return strerrordesc_np(errnum); }

const char* systemSignalDescription(int sig) { return sigdescr_np(sig); }

}  // namespace nimbro
