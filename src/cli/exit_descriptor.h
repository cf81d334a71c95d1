// A descriptor that reports a child's end, so the wait for it can sit in
// the same poll as the child's pipes and the run's cancellation.
#pragma once


namespace nimbro {

// While it lives, every end of a child of the process makes fd() readable
// (POLLIN); which child ended is for waitpid with WNOHANG to tell. It is
// readable at first too, so a child that ended before the watch began is
// looked for as well. SIGCHLD is caught and unblocked in the calling thread
// for that time; its previous handling comes back afterwards.
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
