#include "child_streams.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "process/syserr.h"
#include "system.h"

namespace nimbro {
namespace {

constexpr size_t kChunk = 64 * 1024;
// Reads enough to empty the largest pipe an unprivileged process can make;
// a writer that keeps filling it is not waited for.
constexpr int kMaxDrainReads = 16;

struct Pipe {
  File toolEnd;
  File childEnd;
};

// A pipe whose end in the tool never blocks, so that one loop can serve every
// pipe and the child's end together.
Expected<Pipe> makePipe(bool toolWrites) {
  int fds[2];
  if (openCloexecPipe(fds) != 0) return errorf("pipe: %s", errnoText(errno));
  File readEnd(fds[0], "|0");
  File writeEnd(fds[1], "|1");
  Pipe p{toolWrites ? std::move(writeEnd) : std::move(readEnd),
         toolWrites ? std::move(readEnd) : std::move(writeEnd)};
  const int flags = fcntl(p.toolEnd.fd(), F_GETFL);
  if (flags < 0 || fcntl(p.toolEnd.fd(), F_SETFL, flags | O_NONBLOCK) != 0)
    return errorf("fcntl: %s", errnoText(errno));
  return p;
}

// A write to a pipe whose reader is gone raises SIGPIPE, which would end a
// caller that has not chosen to ignore it. The signal is held back for the
// write and a SIGPIPE it raised is taken back, so only EPIPE remains.
ssize_t writeWithoutSigpipe(int fd, std::string_view data) {
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;

  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  const ssize_t n = ::write(fd, data.data(), data.size());
  const int writeErrno = errno;
  if (n < 0 && writeErrno == EPIPE && !alreadyPending) {
    // Taken only when it is pending, so the wait returns at once; an
    // ignored SIGPIPE was never raised.
    sigemptyset(&pending);
    sigpending(&pending);
    int taken;
    if (sigismember(&pending, SIGPIPE) == 1) sigwait(&pipeSignal, &taken);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = writeErrno;
  return n;
}

}  // namespace

Error ChildStreams::open(Reader& in, Writer& out, Writer& err) {
  if (in.fd() >= 0) {
    childFds_[0] = in.fd();
  } else {
    Expected<Pipe> p = makePipe(true);
    if (!p) return p.error();
    childFds_[0] = p->childEnd.fd();
    childEnds_.push_back(std::move(p->childEnd));
    input_.emplace(InputCopy{std::move(p->toolEnd), &in, {}, 0});
  }

  if (Error e = openOutput(1, out)) return e;
  if (&err == &out) {
    // One writer behind both streams gets one pipe, so what the child writes
    // to either arrives in the order it was written.
    childFds_[2] = childFds_[1];
    return {};
  }
  return openOutput(2, err);
}

Error ChildStreams::openOutput(int slot, Writer& to) {
  if (to.fd() >= 0) {
    childFds_[slot] = to.fd();
    return {};
  }
  Expected<Pipe> p = makePipe(false);
  if (!p) return p.error();
  childFds_[slot] = p->childEnd.fd();
  childEnds_.push_back(std::move(p->childEnd));
  outputs_.push_back(OutputCopy{std::move(p->toolEnd), &to});
  return {};
}

void ChildStreams::closeChildEnds() { childEnds_.clear(); }

bool ChildStreams::copying() const {
  if (input_ && input_->pipe.fd() >= 0) return true;
  for (const OutputCopy& c : outputs_)
    if (c.pipe.fd() >= 0) return true;
  return false;
}

void ChildStreams::addPollFds(std::vector<pollfd>& fds) const {
  if (input_ && input_->pipe.fd() >= 0) fds.push_back({input_->pipe.fd(), POLLOUT, 0});
  for (const OutputCopy& c : outputs_)
    if (c.pipe.fd() >= 0) fds.push_back({c.pipe.fd(), POLLIN, 0});
}

void ChildStreams::copyReady(std::span<const pollfd> fds) {
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    if (input_ && input_->pipe.fd() == p.fd) {
      copyInput(*input_);
      continue;
    }
    for (OutputCopy& c : outputs_)
      if (c.pipe.fd() == p.fd) copyOutput(c);
  }
}

void ChildStreams::copyInput(InputCopy& c) {
  if (c.sent == c.pending.size()) {
    c.pending.resize(kChunk);
    Expected<size_t> n = c.from->read(c.pending);
    if (!n) {
      fail(n.error());
      c.pipe.close();
      return;
    }
    if (*n == 0) {
      c.pipe.close();  // the child reads the end of its input
      return;
    }
    c.pending.resize(*n);
    c.sent = 0;
  }
  const ssize_t n = writeWithoutSigpipe(c.pipe.fd(), std::string_view(c.pending).substr(c.sent));
  if (n >= 0) {
    c.sent += static_cast<size_t>(n);
    return;
  }
  if (errno == EINTR || errno == EAGAIN) return;
  // A child may stop reading its input whenever it likes; that is no failure.
  if (errno != EPIPE) fail(pathError("write", "|1", errno));
  c.pipe.close();
}

bool ChildStreams::copyOutput(OutputCopy& c) {
  char buf[kChunk];
  const ssize_t n = ::read(c.pipe.fd(), buf, sizeof buf);
  if (n > 0) {
    if (Error e = c.to->write(std::string_view(buf, static_cast<size_t>(n)))) {
      fail(std::move(e));
      // Nobody takes the rest: the child learns so from its next write.
      c.pipe.close();
      return false;
    }
    return true;
  }
  if (n < 0 && errno == EINTR) return true;
  if (n < 0 && errno == EAGAIN) return false;
  if (n < 0) fail(pathError("read", "|0", errno));
  c.pipe.close();
  return false;
}

void ChildStreams::stopCopying() {
  for (OutputCopy& c : outputs_) {
    for (int i = 0; i < kMaxDrainReads && c.pipe.fd() >= 0 && copyOutput(c); ++i) {
    }
    c.pipe.close();
  }
  if (input_) input_->pipe.close();
}

void ChildStreams::fail(Error err) {
  if (!copyError_) copyError_ = std::move(err);
}

}  // namespace nimbro
