#pragma once

#include <cstddef>
#include <string_view>

namespace nimbro {

inline constexpr char32_t kRuneError = 0xFFFD;

struct DecodedRune {
  char32_t rune;  // kRuneError when the bytes are not valid UTF-8
  size_t size;    // bytes consumed: 1 for an invalid byte, 0 only for empty input
  bool valid;     // false when the first byte does not start a valid encoding
};

// Decodes the first character of s. Overlong forms, surrogates and values
// beyond U+10FFFF are invalid and consume one byte.
DecodedRune decodeRune(std::string_view s);

}  // namespace nimbro
