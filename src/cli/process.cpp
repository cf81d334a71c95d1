#include "cli/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace nimbro {

void occupyClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (null < 0 || null == fd) continue;
    dup2(null, fd);
    close(null);
  }
}

void ignoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void restoreChildExitSignal() { signal(SIGCHLD, SIG_DFL); }

namespace {

// Entered for an exception nobody catches, which the tool never throws: the
// library gave up. Writes straight to descriptor 2, as memory may be gone.
[[noreturn]] void endWithInternalError() {
  const char* what = "terminate";
  // Inside the terminate handler the uncaught exception counts as handled,
  // so it can be rethrown here to read its text.
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
  }
  constexpr const char prefix[] = "nimbro: erro interno: ";
  (void)!::write(STDERR_FILENO, prefix, sizeof prefix - 1);
  (void)!::write(STDERR_FILENO, what, std::strlen(what));
  (void)!::write(STDERR_FILENO, "\n", 1);
  std::abort();
}

}  // namespace

void reportInternalErrors() { std::set_terminate(endWithInternalError); }

}  // namespace nimbro
