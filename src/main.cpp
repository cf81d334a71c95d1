// The entry: signal watch, App, one error line, exit status.
#include <string>
#include <vector>

#include "cli/app.h"
#include "cli/errors.h"
#include "cli/process.h"

namespace {

// Set by the build, so the version is written once, in the project definition.
constexpr const char* version = NIMBRO_VERSION;

int run(const std::vector<std::string>& args) {
  nimbro::occupyClosedStandardDescriptors();
  nimbro::ignoreBrokenPipe();
  nimbro::restoreChildExitSignal();
  nimbro::SignalWatch watch;
  const nimbro::App app = nimbro::New({.version = version});
  const nimbro::Error err = app.Run(watch.context(), args);
  int status = 0;
  if (err) {
    (void)nimbro::processStderr().write(nimbro::format("nimbro: %v\n", err));
    status = nimbro::exitStatus(err);
  }
  watch.stop();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // First of all: copying the arguments may already need more memory than
  // there is.
  nimbro::reportInternalErrors();
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
