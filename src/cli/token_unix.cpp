// The key file is vetted on the descriptor that is later handed to the
// engine, never by a second lookup of its path, so the file checked is the
// file passed on.
#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>

#include "cli/syserr.h"
#include "cli/token.h"
#include "cli/workdir.h"

namespace nimbro {
namespace {

// Non-blocking so that a named pipe without a writer cannot hold the open;
// the type check then refuses it.
constexpr int kTokenOpenFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

int openNoFollow(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), kTokenOpenFlags, 0);
  } while (fd < 0 && errno == EINTR);
  return fd;
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

  int fd = openNoFollow(*abs);
  if (fd < 0) {
    int openErrno = errno;
    return usageError("não foi possível abrir com segurança o arquivo de token %q: %v", *abs,
                      pathError("open", *abs, openErrno));
  }
  // From here every early return closes the descriptor through file.
  File file(fd, *abs);

  struct stat st {};
  if (::fstat(file.fd(), &st) != 0) {
    int statErrno = errno;
    return usageError("não foi possível validar o arquivo de token %q: %v", *abs,
                      pathError("stat", *abs, statErrno));
  }
  if (Error err = checkTokenStatus(st, *abs, expectedUID)) {
    return err;
  }
  return TokenFile{std::move(file), std::move(*abs)};
}

}  // namespace nimbro
