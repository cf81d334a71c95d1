// Scratch directories and key files for tests that open real files, and a
// count of the process's open descriptors to show nothing was left open.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace nimbro::testing {

// A fresh directory under the test temporary directory, removed with
// everything in it when the object goes away.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "nimbro-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
      return;
    }
    // The canonical name, so it compares equal to what getcwd reports.
    path_ = std::filesystem::canonical(pattern).string();
  }
  ~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string join(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Writes content to path with exactly the given mode (umask does not apply).
inline void writeFileWithMode(const std::string& path, std::string_view content, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0) << "create " << path << ": " << std::strerror(errno);
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ASSERT_EQ(::fchmod(fd, mode), 0);
  ::close(fd);
}

inline bool pathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The number of descriptors open in this process.
inline int openDescriptorCount() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) {
    ADD_FAILURE() << "opendir /proc/self/fd: " << std::strerror(errno);
    return -1;
  }
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count;
}

// Moves into dir for the life of the object and back again afterwards.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& dir) {
    old_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(old_, 0);
    EXPECT_EQ(::chdir(dir.c_str()), 0) << "chdir " << dir << ": " << std::strerror(errno);
  }
  ~ScopedChdir() {
    if (old_ < 0) return;
    EXPECT_EQ(::fchdir(old_), 0);
    ::close(old_);
  }
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  int old_ = -1;
};

}  // namespace nimbro::testing
