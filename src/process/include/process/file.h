// Open descriptors and the byte streams handed to the tool's commands and to
// child programs. A stream backed by an open descriptor reaches a child as
// that same descriptor; any other stream is connected through a pipe that
// the runner copies.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/error.h"
#include "process/context.h"

namespace nimbro {

// An open descriptor, closed when the File goes away; named for messages.
class File {
 public:
  File(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  ~File() { close(); }
  File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
      name_ = std::move(other.name_);
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }
  // Closes the descriptor now; a failure to close is ignored.
  void close();

 private:
  int fd_ = -1;
  std::string name_;
};

class Reader {
 public:
  virtual ~Reader() = default;
  // The open descriptor behind the stream, or -1.
  virtual int fd() const { return -1; }
  // Reads at most buf.size() bytes; 0 means the end of the stream.
  virtual Expected<size_t> read(std::span<char> buf) = 0;
};

class Writer {
 public:
  virtual ~Writer() = default;
  // The open descriptor behind the stream, or -1.
  virtual int fd() const { return -1; }
  // Writes all of data or fails.
  virtual Error write(std::string_view data) = 0;
};

// An open descriptor the stream does not own, named for error texts
// ("write /dev/stdout: broken pipe").
class FileStream final : public Reader, public Writer {
 public:
  FileStream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  int fd() const override { return fd_; }
  Expected<size_t> read(std::span<char> buf) override;
  Error write(std::string_view data) override;

 private:
  int fd_;
  std::string name_;
};

// The process's own standard streams.
FileStream& processStdin();
FileStream& processStdout();
FileStream& processStderr();

// Occupies each of descriptors 0, 1 and 2 that is closed with /dev/null,
// opened in the direction that refuses the stream's use (write-only for 0,
// read-only for 1 and 2). A file opened later can then never take a standard
// slot and become a child's standard stream, while a closed stream still
// refuses to be read or written. Fails when a slot is closed and /dev/null
// cannot be opened (a minimal chroot): the tool must not run then.
Error occupyClosedStandardDescriptors();

// Opens /dev/null for reading, close-on-exec.
Expected<File> openNullInput();

// Reads the whole file at path. Opening and reading never block beyond the
// run's cancellation, so a FIFO without a writer or a terminal cannot hold
// the tool: on cancellation the result is Error::canceled().
// Other failures read "open P: ..." or "read P: ..."; a file of more than
// 64 MiB, or a source that never ends, fails with "read P: file too large".
Expected<std::string> readFile(const Context& ctx, std::string_view path);

}  // namespace nimbro
