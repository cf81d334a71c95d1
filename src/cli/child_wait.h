// Waiting for a started child while copying its piped streams and watching
// the run's cancellation, all in one loop on the caller's thread.
#pragma once

#include <sys/types.h>

#include "cli/child_streams.h"
#include "cli/context.h"

namespace nimbro {

struct ChildEnd {
  int status = 0;          // as waitpid reports it
  bool cancelled = false;  // the run was cancelled before the wait was over
  int waitErrno = 0;       // why the child could not be waited for; status is unknown
};

// Returns once pid has ended and been reaped and every pipe of streams has
// been copied to its end. Cancellation of ctx kills the child at once with
// SIGKILL and stops the copying once the child is reaped: whatever else
// holds the pipes (the child's own children) is not waited for.
ChildEnd waitForChild(pid_t pid, const Context& ctx, ChildStreams& streams);

}  // namespace nimbro
