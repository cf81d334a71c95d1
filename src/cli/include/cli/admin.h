// Helpers of the admin command tree that are not App methods.
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "cli/flags.h"

namespace nimbro {

// Reads one node or key ID, given as the only word or with --id: the decimal
// digits as typed, less leading zeros, since headscale reads a leading 0 as
// an octal prefix and "010" would name node 8. command names the request in
// messages ("admin revoke").
Parsed<std::string> parseID(const std::string& command, const std::vector<std::string>& args);
}  // namespace nimbro
