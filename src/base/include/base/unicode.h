// Character classes from the Unicode Character Database (15.0).
#pragma once

#include <string_view>

namespace nimbro {

// Letters, marks, numbers, punctuation, symbols and U+0020.
bool isPrint(char32_t r);
// The Unicode White_Space property.
bool isSpace(char32_t r);
// Simple case folding (CaseFolding.txt statuses C and S); r itself when it
// has no folding.
char32_t simpleFold(char32_t r);
// Whether a and b are equal under simple case folding. Bytes that are not
// valid UTF-8 read as U+FFFD.
bool equalFold(std::string_view a, std::string_view b);

}  // namespace nimbro
