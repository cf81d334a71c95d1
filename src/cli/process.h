// Process-wide set-up of the tool itself: standard descriptors and signals.
#pragma once

#include "cli/context.h"

namespace nimbro {

// Occupies each of descriptors 0, 1 and 2 that is closed with /dev/null,
// opened in the direction that refuses the stream's use (write-only for 0,
// read-only for 1 and 2). A file opened later can then never take a standard
// slot and become a child's standard stream, while a closed stream still
// refuses to be read or written.
void occupyClosedStandardDescriptors();

// Makes a broken pipe a write error the tool reports instead of a silent
// death. Children get the default disposition back when they start.
void ignoreBrokenPipe();

// Gives SIGCHLD its default effect back. An ignored SIGCHLD survives exec
// (some supervisors start programs so); the kernel would then reap the
// tool's children itself and their exit status would be lost to the wait.
void restoreChildExitSignal();

// Makes a failure the C++ library cannot report as a value (memory that
// cannot be had, a length beyond what a string holds) end the tool with one
// line, "nimbro: erro interno: <what>", and SIGABRT, instead of the
// library's own report.
void reportInternalErrors();

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

}  // namespace nimbro
