// Character classes from the Unicode Character Database (15.0).
#pragma once

#include <string_view>

namespace nimbro {

// Letters, marks, numbers, punctuation, symbols and U+0020.
bool isPrint(char32_t r);
// The Unicode White_Space property.
bool isSpace(char32_t r);
// Whether s equals word under simple case folding (CaseFolding.txt statuses
// C and S), for a word of lower-case ASCII letters: character by character,
// each of s's is the word's or folds to it. Bytes that are not valid UTF-8
// match nothing.
bool equalFoldASCII(std::string_view s, std::string_view word);

}  // namespace nimbro
