// The system's own descriptions of error numbers and signals, in its own
// spelling ("No such file or directory", "Killed"). Where they come from
// differs between systems.
#pragma once

namespace nimbro {

// Null when the system has no description for the number.
const char* systemErrorDescription(int errnum);
const char* systemSignalDescription(int sig);

}  // namespace nimbro
