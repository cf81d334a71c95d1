// What only one system offers, behind one interface: each function has one
// body per system, in system_linux.cpp and system_darwin.cpp, and the build
// compiles the file named for the system it builds for.
#pragma once

#include <spawn.h>

namespace nimbro {

// Opens a pipe with both ends close-on-exec: fds[0] reads, fds[1] writes.
// Returns 0, or -1 with errno set, as pipe does.
[[nodiscard]] int openCloexecPipe(int fds[2]);

// Arranges for every descriptor from lowest up to be closed in the child
// that actions and flags start, also those the tool inherited without
// close-on-exec and cannot know about. flags are the spawn attribute flags
// the caller sets afterwards. Returns 0 or an error number.
int closeDescriptorsFrom(posix_spawn_file_actions_t& actions, short& flags, int lowest);

// The system's own descriptions of error numbers and signals, in its own
// spelling ("No such file or directory", "Killed"); null when the system
// has none for the number.
const char* systemErrorDescription(int errnum);
const char* systemSignalDescription(int sig);

}  // namespace nimbro
