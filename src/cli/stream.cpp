#include "cli/stream.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "cli/syserr.h"

namespace nimbro {
namespace {

// Waits until fd is ready for events; a descriptor left non-blocking by
// whoever shares it must not turn into a failed write.
void waitReady(int fd, short events) {
  pollfd p{fd, events, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace

Expected<size_t> FileStream::read(std::span<char> buf) {
  for (;;) {
    const ssize_t n = ::read(fd_, buf.data(), buf.size());
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      waitReady(fd_, POLLIN);
      continue;
    }
    return pathError("read", name_, errno);
  }
}

Error FileStream::write(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n >= 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      waitReady(fd_, POLLOUT);
      continue;
    }
    return pathError("write", name_, errno);
  }
  return {};
}

FileStream& processStdin() {
  static FileStream s(STDIN_FILENO, "/dev/stdin");
  return s;
}

FileStream& processStdout() {
  static FileStream s(STDOUT_FILENO, "/dev/stdout");
  return s;
}

FileStream& processStderr() {
  static FileStream s(STDERR_FILENO, "/dev/stderr");
  return s;
}

}  // namespace nimbro
