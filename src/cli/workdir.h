#pragma once

#include <string>
#include <string_view>

#include "cli/errors.h"

namespace nimbro {

// The working directory: $PWD when it names the same directory as ".", so a
// directory reached through a symbolic link keeps the name the user knows it
// by; otherwise what the system reports.
Expected<std::string> workingDirectory();
// path made absolute against the working directory and cleaned lexically;
// no symbolic link is resolved.
Expected<std::string> absolutePath(std::string_view path);

}  // namespace nimbro
