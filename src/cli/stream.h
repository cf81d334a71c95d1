// Byte streams handed to the tool's commands and to child programs. A stream
// backed by an open descriptor reaches a child as that same descriptor; any
// other stream is connected through a pipe that the runner copies.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "cli/errors.h"

namespace nimbro {

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

}  // namespace nimbro
