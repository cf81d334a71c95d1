// Paths the system resolves: the program a child is started from, and the
// working directory relative paths are read against.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace nimbro {

// The path to execute for name. A name that contains "/" is returned as it
// is, without search: whether it can run shows when it is started. A bare
// name is searched for in the directories of PATH, in order, and the first
// executable file that is not a directory wins; a match found through a
// relative PATH entry is refused rather than run.
Expected<std::string> programPath(const std::string& name);

// The working directory: $PWD when it names the same directory as ".", so a
// directory reached through a symbolic link keeps the name the user knows it
// by; otherwise what the system reports.
Expected<std::string> workingDirectory();
// path made absolute against the working directory and cleaned lexically;
// no symbolic link is resolved.
Expected<std::string> absolutePath(std::string_view path);

}  // namespace nimbro
