// Lexical path handling for Unix paths: nothing here touches the file system.
#pragma once

#include <string>
#include <string_view>

namespace nimbro {

// The shortest equivalent path: repeated separators, "." elements and
// resolvable ".." elements removed; "." for an empty path.
std::string cleanPath(std::string_view path);
// Everything but the last element, cleaned; "." when there is no separator.
std::string dirPath(std::string_view path);
// dir and name joined with one separator and cleaned; an empty side is left out.
std::string joinPath(std::string_view dir, std::string_view name);
bool isAbsPath(std::string_view path);

}  // namespace nimbro
