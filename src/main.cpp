// The entry: the tool's own process set up, the signal watch, App, one error
// line, exit status.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "base/error.h"
#include "cli/app.h"
#include "process/file.h"
#include "process/signals.h"

namespace {

// Set by the build, so the version is written once, in the project definition.
constexpr const char* version = NIMBRO_VERSION;

// Entered for an exception nobody catches, which the tool never throws: the
// C++ library gave up (memory that cannot be had, a length beyond what a
// string holds). Writes straight to descriptor 2, as memory may be gone,
// and ends with SIGABRT instead of the library's own report.
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

void writeErrorLine(const nimbro::Error& err) {
  (void)nimbro::processStderr().write(nimbro::format("nimbro: %v\n", err));
}

int run(const std::vector<std::string>& args) {
  // With a standard slot left free, the signal pipe or the key file could
  // take it and reach the engine as its output or its input. The line goes
  // nowhere if descriptor 2 is the slot that stayed closed.
  if (const nimbro::Error err = nimbro::occupyClosedStandardDescriptors()) {
    writeErrorLine(err);
    return 1;
  }
  nimbro::ignoreBrokenPipe();
  nimbro::restoreChildExitSignal();
  nimbro::SignalWatch watch;
  const nimbro::App app = nimbro::New({.version = version});
  const nimbro::Error err = app.Run(watch.context(), args);
  if (err) writeErrorLine(err);
  watch.stop();
  return nimbro::exitStatus(err);
}

}  // namespace

int main(int argc, char** argv) {
  // First of all: copying the arguments may already need more memory than
  // there is.
  std::set_terminate(endWithInternalError);
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
