// The key lifetime as the control server reads it. headscale takes whole
// numbers of h, m, s and ms, each unit at most once and the largest first:
// no sign, no fraction, nothing below a millisecond.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbro {

// typed is a duration the tool has accepted and nanoseconds its value
// (positive). A text headscale already reads comes back unchanged; any other
// becomes the same length of time in h, m, s and ms pieces, rounded up to
// the next millisecond so that a key never expires earlier than asked.
std::string headscaleExpiration(std::string_view typed, int64_t nanoseconds);

}  // namespace nimbro
