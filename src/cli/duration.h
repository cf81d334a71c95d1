// Durations as the engine and the control server write them: signed sums of
// decimal pieces with units from "ns" to "h", counted in nanoseconds.
#pragma once

#include <cstdint>
#include <string_view>

#include "cli/errors.h"

namespace nimbro {

// Reads a duration ("1h30m", "1.5h", "-5m", "0") into nanoseconds. Fails on
// anything else and on a total beyond the signed 64-bit range.
Expected<int64_t> parseDuration(std::string_view text);

}  // namespace nimbro
