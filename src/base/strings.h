#pragma once

#include <span>
#include <string>
#include <string_view>

namespace nimbro {

// Removes Unicode white space from both ends. A byte that is not part of
// valid UTF-8 is never white space.
std::string_view trimSpace(std::string_view s);
// The words joined by single spaces.
std::string joinWords(std::span<const std::string> words);

}  // namespace nimbro
