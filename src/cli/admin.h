// Helpers of the admin command tree that are not App methods.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "cli/errors.h"

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

// Variables the docker child must not inherit from the user's shell: the
// cell is chosen by the arguments alone.
inline constexpr std::array<std::string_view, 11> composeUnsetEnv = {
    "COMPOSE_FILE",          "COMPOSE_PROFILES",        "COMPOSE_PROJECT_NAME",
    "NIMBRO_INSTANCE_ID",    "NIMBRO_HEADSCALE_CONFIG", "NIMBRO_TLS_DIR",
    "NIMBRO_HTTP_BIND",      "NIMBRO_HTTP_PORT",        "NIMBRO_CONTROL_CONTAINER_PORT",
    "NIMBRO_STUN_BIND",      "NIMBRO_STUN_PORT",
};

}  // namespace nimbro
