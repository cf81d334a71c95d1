// A descriptor that reports a child's end, so the wait for it can sit in
// the same poll as the child's pipes and the run's cancellation.
#pragma once

#include <sys/types.h>

#include "cli/file.h"

namespace nimbro {

// A descriptor, close-on-exec, that becomes readable (POLLIN) once pid has
// ended, or an empty File (fd -1) when the system offers none; the caller
// then looks for the end at intervals.
File openExitDescriptor(pid_t pid);

}  // namespace nimbro
