// Durations as the engine writes them, signed sums of decimal pieces with
// units from "ns" to "h" counted in nanoseconds, and the key lifetime as the
// control server reads it: headscale takes whole numbers of h, m, s and ms,
// each unit at most once and the largest first, with no sign, no fraction
// and nothing below a millisecond.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"

namespace nimbro {

// Reads a duration ("1h30m", "1.5h", "-5m", "0") into nanoseconds. Fails on
// anything else and on a total beyond the signed 64-bit range.
Expected<int64_t> parseDuration(std::string_view text);

// typed is a duration the tool has accepted and nanoseconds its value
// (positive). A text headscale already reads comes back unchanged; any other
// becomes the same length of time in h, m, s and ms pieces, rounded up to
// the next millisecond so that a key never expires earlier than asked.
std::string headscaleExpiration(std::string_view typed, int64_t nanoseconds);


}  // namespace nimbro
