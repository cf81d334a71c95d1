// Texts of system errors and signals in the lower-case form the tool's
// messages use: "no such file or directory", "open /x: permission denied",
// "killed".
#pragma once

#include <string>
#include <string_view>

#include "cli/errors.h"

namespace nimbro {

std::string errnoText(int errnum);
// "signal N" when the system has no description for sig.
std::string signalText(int sig);
// A plain error "op path: text", as a failed operation on a named file reads.
Error pathError(std::string_view op, std::string_view path, int errnum);

}  // namespace nimbro
