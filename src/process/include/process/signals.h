// What the tool does with signals: the run's cancellation by SIGINT and
// SIGTERM, the child-end descriptor fed by SIGCHLD, and the process-wide
// dispositions main sets before anything else runs.
#pragma once

#include "process/context.h"

namespace nimbro {

// Makes a broken pipe a write error the tool reports instead of a silent
// death. Children get the default disposition back when they start.
void ignoreBrokenPipe();

// Gives SIGCHLD its default effect back. An ignored SIGCHLD survives exec
// (some supervisors start programs so); the kernel would then reap the
// tool's children itself and their exit status would be lost to the wait.
void restoreChildExitSignal();

// Turns the first SIGINT or SIGTERM into cancellation of the run context and
// absorbs later ones. Their handler writes to a pipe whose read end is the
// context's descriptor, so the tool never dies from them while the watch is
// on, and no thread watches.
class SignalWatch {
 public:
  SignalWatch();
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  Context context() const { return Context(fd_); }
  // Ends the watch and gives both signals back their default effect. They
  // stay blocked, so a signal arriving in this instant is discarded at exit
  // instead of killing the tool after it has reported its outcome.
  void stop();

 private:
  int fd_ = -1;
  int writeFd_ = -1;
};

// A descriptor that reports a child's end, so the wait for it can sit in the
// same poll as the child's pipes and the run's cancellation. While it lives,
// every end of a child of the process makes fd() readable (POLLIN); which
// child ended is for waitpid with WNOHANG to tell. It is readable at first
// too, so a child that ended before the watch began is looked for as well.
// SIGCHLD is caught and unblocked in the calling thread for that time; its
// previous handling comes back afterwards.
class ExitDescriptor {
 public:
  ExitDescriptor();
  ~ExitDescriptor();
  ExitDescriptor(const ExitDescriptor&) = delete;
  ExitDescriptor& operator=(const ExitDescriptor&) = delete;

  // -1 when none could be had; the caller then looks at intervals.
  int fd() const { return readFd_; }
  // Takes back what made fd() readable, before the next look with waitpid:
  // an end after that makes it readable again.
  void clear();

 private:
  int slot_ = -1;
  int readFd_ = -1;
  bool unblocked_ = false;
};

}  // namespace nimbro
