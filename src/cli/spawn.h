// The one place where a child process is started.
#pragma once

#include <sys/types.h>

#include <span>

#include "cli/errors.h"

namespace nimbro {

// Starts path with argv and envp (both null-terminated) and returns its pid.
// childFds[i] becomes descriptor i in the child, which inherits no other
// descriptor, starts with no signal blocked, and finds SIGINT, SIGTERM and
// SIGPIPE at their default effect whatever the tool has done with them. The
// descriptors in childFds stay open and unchanged in the tool. A failure to
// start reads "fork/exec <path>: <system text>".
Expected<pid_t> spawnChild(const char* path, char* const argv[], char* const envp[],
                           std::span<const int> childFds);

}  // namespace nimbro
