// The key file is vetted on the descriptor that is later handed to the
// engine, never by a second lookup of its path, so the file checked is the
// file passed on. Its directory is held open as well, so a removal after the
// engine has ended looks in the directory the key was found in, whatever
// the path names by then.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/token.h"
#include "process/paths.h"
#include "process/syserr.h"

namespace nimbro {
namespace {

// Non-blocking so that a named pipe without a writer cannot hold the open;
// the type check then refuses it.
constexpr int kTokenOpenFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Looking up and removing an entry needs no right to list the directory, so
// where the system allows, the directory is opened for lookups only: a key
// in a directory its owner may search but not read opens as before.
#if defined(O_PATH)
constexpr int kDirectoryOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#elif defined(O_SEARCH)
constexpr int kDirectoryOpenFlags = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kDirectoryOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

int openRetrying(int dirFd, const char* name, int flags) {
  int fd;
  do {
    fd = ::openat(dirFd, name, flags, 0);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The directory part and the entry of a cleaned absolute path: "/a/b" is
// "/a" and "b"; "/" is "/" and ".".
std::pair<std::string, std::string> splitEntry(const std::string& abs) {
  const size_t slash = abs.rfind('/');
  std::string dir = slash == 0 ? "/" : abs.substr(0, slash);
  std::string name = abs.substr(slash + 1);
  return {std::move(dir), name.empty() ? "." : std::move(name)};
}

// The key's directory and the key in it, or the error number of the first
// failure. A whole path the system would refuse as too long is refused
// even when its parts would each pass, as one open of it would be.
int openInDirectory(const std::string& abs, File& directory, File& file,
                    std::string& name) {
  if (abs.size() >= PATH_MAX) return ENAMETOOLONG;
  auto [dirPath, entry] = splitEntry(abs);
  const int dirFd = openRetrying(AT_FDCWD, dirPath.c_str(), kDirectoryOpenFlags);
  if (dirFd < 0) return errno;
  directory = File(dirFd, dirPath);
  const int fd = openRetrying(dirFd, entry.c_str(), kTokenOpenFlags);
  if (fd < 0) return errno;
  file = File(fd, abs);
  name = std::move(entry);
  return 0;
}

Error checkTokenStatus(const struct stat& st, const std::string& path, uint32_t expectedUID) {
  if (!S_ISREG(st.st_mode)) {
    return usageError(
        "o arquivo de token %q deve ser um arquivo regular (links simbólicos não são aceitos)",
        path);
  }
  if (st.st_size == 0) {
    return usageError("o arquivo de token %q está vazio", path);
  }
  if ((st.st_mode & 077) != 0) {
    return usageError(
        "permissões inseguras no arquivo de token %q: remova todo acesso de grupo e outros "
        "(use chmod 600 ou 400)",
        path);
  }
  if (st.st_uid != expectedUID) {
    return usageError("proprietário inseguro no arquivo de token %q: o UID deve ser %d", path,
                      expectedUID);
  }
  return {};
}

}  // namespace

Expected<TokenFile> openTokenFile(std::string_view path, uint32_t expectedUID) {
  Expected<std::string> abs = absolutePath(path);
  if (!abs) {
    return usageError("não foi possível resolver o caminho do arquivo de token %q: %v", path,
                      abs.error());
  }

  // From here every early return closes the descriptors.
  File directory(-1, std::string());
  File file(-1, std::string());
  std::string name;
  if (const int openErrno = openInDirectory(*abs, directory, file, name); openErrno != 0) {
    return usageError("não foi possível abrir com segurança o arquivo de token %q: %v", *abs,
                      pathError("open", *abs, openErrno));
  }

  struct stat st {};
  if (::fstat(file.fd(), &st) != 0) {
    int statErrno = errno;
    return usageError("não foi possível validar o arquivo de token %q: %v", *abs,
                      pathError("stat", *abs, statErrno));
  }
  if (Error err = checkTokenStatus(st, *abs, expectedUID)) {
    return err;
  }
  return TokenFile{std::move(file), std::move(*abs), std::move(directory), std::move(name)};
}

Error removeTokenFile(const TokenFile& token) {
  struct stat opened {}, entry {};
  if (::fstat(token.file.fd(), &opened) != 0) return pathError("remove", token.path, errno);
  if (::fstatat(token.directory.fd(), token.name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
    return pathError("remove", token.path, errno);
  // Between this comparison and the removal the entry could still be
  // swapped; no system call removes an entry only if it is a given file.
  // Whoever can do that owns the directory and could remove the key anyway.
  if (entry.st_dev != opened.st_dev || entry.st_ino != opened.st_ino) {
    return Error::plain(
        format("remove %s: o arquivo mudou desde que foi verificado", token.path));
  }
  if (::unlinkat(token.directory.fd(), token.name.c_str(), 0) != 0)
    return pathError("remove", token.path, errno);
  return {};
}

}  // namespace nimbro
