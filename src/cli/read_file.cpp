#include "cli/read_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "cli/file.h"
#include "cli/syserr.h"

namespace nimbro {

namespace {

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
