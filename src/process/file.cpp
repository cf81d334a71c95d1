#include "process/file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "process/syserr.h"

namespace nimbro {
namespace {

constexpr const char* kNullPath = "/dev/null";

// Waits until fd is ready for events; a descriptor left non-blocking by
// whoever shares it must not turn into a failed write.
void waitReady(int fd, short events) {
  pollfd p{fd, events, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

// A cell's .env is a few lines. Nothing near this size is one, and an endless
// source (/dev/zero, a FIFO fed forever) must end in an error, not in the
// tool exhausting the machine's memory.
constexpr size_t kMaxFileSize = size_t{64} << 20;

enum class Wait { Ready, Cancelled, Failed };

// Waits until fd has something to say (data, end of file or an error) or the
// run is cancelled; cancellation wins when both happen at once.
Wait waitReadable(const Context& ctx, int fd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {ctx.fd(), POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) >= 0) break;
    if (errno != EINTR) return Wait::Failed;
  }
  if (fds[1].revents != 0) return Wait::Cancelled;
  return Wait::Ready;
}

// Room for the whole of a regular file plus one byte, so its end is seen
// without growing the buffer.
size_t initialCapacity(const struct stat& st) {
  constexpr size_t kSmall = 512;
  if (!S_ISREG(st.st_mode) || st.st_size <= 0) return kSmall;
  auto size = static_cast<unsigned long long>(st.st_size);
  if (size >= std::numeric_limits<size_t>::max() / 2) return kSmall;
  return static_cast<size_t>(size) + 1;
}

}  // namespace

void File::close() {
  if (fd_ < 0) return;
  // Retrying after EINTR could close a descriptor another thread has just
  // been given, so the descriptor is released once whatever close reports.
  ::close(std::exchange(fd_, -1));
}

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

Error occupyClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: fd itself, as the slots below it are taken.
    const int null = open(kNullPath, fd == 0 ? O_WRONLY : O_RDONLY);
    if (null < 0) {
      return errorf("o descritor padrão %d está fechado e não foi possível ocupá-lo com %s: %v",
                    fd, kNullPath, pathError("open", kNullPath, errno));
    }
    if (null == fd) continue;
    dup2(null, fd);
    close(null);
  }
  return {};
}

Expected<File> openNullInput() {
  const int fd = ::open(kNullPath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return pathError("open", kNullPath, errno);
  return File(fd, kNullPath);
}

Expected<std::string> readFile(const Context& ctx, std::string_view path) {
  const std::string name(path);
  // Non-blocking, so a FIFO without a writer opens at once instead of holding
  // the tool beyond cancellation.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return pathError("open", path, errno);
  const File file(fd, name);

  // A FIFO that no writer has opened yet reads as an immediate end of file,
  // so anything but a regular file is polled before it is first read.
  struct stat st {};
  if (::fstat(fd, &st) != 0) return pathError("read", path, errno);
  const bool regular = S_ISREG(st.st_mode);
  if (regular && static_cast<unsigned long long>(st.st_size) > kMaxFileSize)
    return pathError("read", path, EFBIG);
  bool mustWait = !regular;
  std::string data(initialCapacity(st), '\0');
  size_t used = 0;
  for (;;) {
    if (mustWait) {
      switch (waitReadable(ctx, fd)) {
        case Wait::Cancelled:
          return Error::canceled();
        case Wait::Failed:
          return pathError("read", path, errno);
        case Wait::Ready:
          break;
      }
      mustWait = false;
    } else if (!regular && ctx.cancelled()) {
      // A device that never runs dry is never polled; ask between reads.
      return Error::canceled();
    }
    if (used == data.size()) {
      if (used > kMaxFileSize) return pathError("read", path, EFBIG);
      data.resize(std::min(data.size() * 2, kMaxFileSize + 1));
    }
    ssize_t n = ::read(fd, data.data() + used, data.size() - used);
    if (n > 0) {
      used += static_cast<size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      mustWait = true;
    } else if (errno != EINTR) {
      return pathError("read", path, errno);
    }
  }
  data.resize(used);
  return data;
}

}  // namespace nimbro
