// Texts of system errors and signals in the lower-case form the tool's
// messages use: "no such file or directory", "open /x: permission denied",
// "killed".
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace nimbro {

std::string errnoText(int errnum);
// "signal N" when the system has no description for sig.
std::string signalText(int sig);
// A plain error "op path: text", as a failed operation on a named file reads.
Error pathError(std::string_view op, std::string_view path, int errnum);

// The descriptions Linux gives the signals, in its sentence case ("Killed",
// "Segmentation fault"), for systems whose own read differently (macOS's
// "Killed: 9"), so that a child's end reads the same everywhere: "signal:
// killed". Null for a signal Linux has no name for.
const char* linuxSignalDescription(int sig);

}  // namespace nimbro
