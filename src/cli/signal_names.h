// The descriptions Linux gives the signals, for systems whose own read
// differently (macOS's "Killed: 9"), so that a child's end reads the same
// everywhere: "signal: killed".
#pragma once

namespace nimbro {

// In Linux's sentence case ("Killed", "Segmentation fault"); null for a
// signal Linux has no name for.
const char* linuxSignalDescription(int sig);

}  // namespace nimbro
