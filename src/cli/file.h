#pragma once

#include <string>
#include <utility>

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

}  // namespace nimbro
