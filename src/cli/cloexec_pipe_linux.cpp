#include <fcntl.h>
#include <unistd.h>

#include "cli/cloexec_pipe.h"

namespace nimbro {

// Close-on-exec from the moment the pipe exists.
int openCloexecPipe(int fds[2]) { return pipe2(fds, O_CLOEXEC); }

}  // namespace nimbro
