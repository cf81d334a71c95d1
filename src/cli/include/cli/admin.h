// Helpers of the admin command tree that are not App methods.
#pragma once

#include <string>
#include <vector>

#include "base/error.h"

namespace nimbro {

struct ParsedID {
  // The decimal digits as typed, less leading zeros: headscale reads a
  // leading 0 as an octal prefix, so "010" would name node 8.
  std::string id;
  bool help = false;  // a help request; id is empty then
};

// Reads one node or key ID, given as the only word or with --id. command
// names the request in messages ("admin revoke").
Expected<ParsedID> parseID(const std::string& command, const std::vector<std::string>& args);
}  // namespace nimbro
