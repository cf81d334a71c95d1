#include "process/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/path.h"
#include "process/syserr.h"

namespace nimbro {
namespace {

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0) return true;
  // Without a working effective-ID check (old kernels, seccomp filters in
  // containers) the permission bits are the best answer there is.
  if (errno != ENOSYS && errno != EPERM) return false;
  return (st.st_mode & 0111) != 0;
}

// The directories of a PATH value. An empty value names none at all; within
// a longer one an empty entry stands for the current directory.
std::vector<std::string_view> pathDirs(std::string_view value) {
  std::vector<std::string_view> dirs;
  if (value.empty()) return dirs;
  for (;;) {
    const size_t colon = value.find(':');
    const std::string_view dir = value.substr(0, colon);
    dirs.push_back(dir.empty() ? std::string_view(".") : dir);
    if (colon == std::string_view::npos) return dirs;
    value.remove_prefix(colon + 1);
  }
}

}  // namespace

Expected<std::string> programPath(const std::string& name) {
  if (name.empty()) return errorf("exec: no command");
  if (name.find('/') != std::string::npos) return name;

  const char* pathValue = std::getenv("PATH");
  for (std::string_view dir : pathDirs(pathValue ? pathValue : "")) {
    std::string candidate = joinPath(dir, name);
    if (!isExecutableFile(candidate)) continue;
    // Running a program that happens to sit in the current directory is how
    // a planted file gets executed; refuse instead of running it.
    if (!isAbsPath(candidate))
      return errorf("exec: %q: cannot run executable found relative to current directory",
                    name);
    return candidate;
  }
  return errorf("exec: %q: executable file not found in $PATH", name);
}

Expected<std::string> workingDirectory() {
  const char* pwd = std::getenv("PWD");
  struct stat dot, named;
  if (pwd && pwd[0] == '/' && stat(".", &dot) == 0 && stat(pwd, &named) == 0 &&
      dot.st_dev == named.st_dev && dot.st_ino == named.st_ino)
    return std::string(pwd);
  std::string buf(256, '\0');
  for (;;) {
    if (getcwd(buf.data(), buf.size())) {
      buf.resize(buf.find('\0'));
      return buf;
    }
    if (errno != ERANGE) return Error::plain("getwd: " + errnoText(errno));
    buf.resize(buf.size() * 2);
  }
}

Expected<std::string> absolutePath(std::string_view path) {
  if (isAbsPath(path)) return cleanPath(path);
  Expected<std::string> wd = workingDirectory();
  if (!wd) return wd.error();
  return joinPath(*wd, path);
}

}  // namespace nimbro
