// Finding the program a child is started from.
#pragma once

#include <string>

#include "cli/errors.h"

namespace nimbro {

// The path to execute for name. A name that contains "/" is returned as it
// is, without search: whether it can run shows when it is started. A bare
// name is searched for in the directories of PATH, in order, and the first
// executable file that is not a directory wins; a match found through a
// relative PATH entry is refused rather than run.
Expected<std::string> programPath(const std::string& name);

}  // namespace nimbro
