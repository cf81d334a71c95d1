// The target of an HTTP request read strictly: an absolute URL or an absolute
// path, with no fragment ("#" is a path byte). Only what the --control check
// needs is kept.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace nimbro {

struct RequestURI {
  std::string scheme;  // lower-cased; empty when the text has none
  // The authority's host with its port, escapes decoded; empty without "//".
  std::string host;
  bool hasUserInfo = false;  // an "@" in the authority
};

// Fails on control bytes, malformed escapes, bytes a host may not hold, a
// port that is not decimal, a second ":" outside brackets, and brackets
// around anything but an IPv6 address with an optional "%25" zone.
Expected<RequestURI> parseRequestURI(std::string_view text);

// The host of a host and port, without the port and without brackets:
// "[::1]:8080" gives "::1".
std::string_view hostName(std::string_view hostPort);

}  // namespace nimbro
