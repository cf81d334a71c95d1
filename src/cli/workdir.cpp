#include "cli/workdir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/path.h"
#include "cli/syserr.h"

namespace nimbro {

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
