// Checks on the join command's --control URL and --timeout.
#pragma once

#include <string_view>

#include "base/error.h"

namespace nimbro {

// Accepts an absolute http or https URL with a host and no user information;
// plain http only to a loopback host unless insecureHTTP.
Error validateControlURL(std::string_view raw, bool insecureHTTP);
// Whether host (no port, no brackets) names the loopback interface. Never
// looks a name up.
bool isLoopbackHost(std::string_view host);
// Accepts a positive duration.
Error validateTimeout(std::string_view text);

}  // namespace nimbro
