// Running headscale inside the cell's control service through Docker Compose.
#pragma once

#include <array>
#include <string_view>

namespace nimbro {

// Variables the docker child must not inherit from the user's shell: the
// cell is chosen by the arguments alone.
inline constexpr std::array<std::string_view, 19> composeUnsetEnv = {
    "COMPOSE_FILE",       "COMPOSE_PROFILES",        "COMPOSE_PROJECT_NAME",
    "NIMBRO_INSTANCE_ID", "NIMBRO_HEADSCALE_CONFIG", "NIMBRO_TLS",
    "NIMBRO_TLS_DIR",     "NIMBRO_HTTP_BIND",        "NIMBRO_HTTP_PORT",
    "NIMBRO_CONTROL_CONTAINER_PORT",                 "NIMBRO_STUN_BIND",
    "NIMBRO_STUN_PORT",   "NIMBRO_ACME_HOSTNAME",    "NIMBRO_ACME_EMAIL",
    "NIMBRO_ACME_URL",    "NIMBRO_ACME_CHALLENGE",   "NIMBRO_ACME_CA",
    "NIMBRO_ACME_HTTP_BIND",                         "NIMBRO_ACME_HTTP_PORT",
};

}  // namespace nimbro
