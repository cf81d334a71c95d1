// Durations as the engine and the control server write them: signed sums of
// decimal pieces with units from "ns" to "h", counted in nanoseconds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/errors.h"

namespace nimbro {

// Reads a duration ("1h30m", "1.5h", "-5m", "0") into nanoseconds. Fails on
// anything else and on a total beyond the signed 64-bit range.
Expected<int64_t> parseDuration(std::string_view text);
// Writes a duration the way parseDuration reads it back: "1h30m0s", "1.5s",
// "250ms", "1µs", "0s", "-5m0s".
std::string formatDuration(int64_t ns);

}  // namespace nimbro
