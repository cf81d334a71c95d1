// A pipe whose ends never reach a child by accident.
#pragma once

namespace nimbro {

// Opens a pipe with both ends close-on-exec: fds[0] reads, fds[1] writes.
// Returns 0, or -1 with errno set, as pipe does.
[[nodiscard]] int openCloexecPipe(int fds[2]);

}  // namespace nimbro
