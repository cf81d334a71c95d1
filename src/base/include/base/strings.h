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
// The value of a hexadecimal digit of either case; -1 for any other byte.
int hexDigitValue(char c);
// s with its first letter lower-cased when it is an ASCII capital that
// starts a word, not an acronym: "No such file" reads "no such file", "CPU
// time limit exceeded" stays.
std::string lowerFirstLetter(std::string s);

}  // namespace nimbro
