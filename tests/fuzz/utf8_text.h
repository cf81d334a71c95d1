// UTF-8 writing and validation for the fuzz targets' checks; the tool itself
// only ever decodes.
#pragma once

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace nimbro::fuzzing {

// Appends r encoded as UTF-8; a surrogate or a value beyond U+10FFFF is
// written as U+FFFD.
inline void appendRune(std::string& out, char32_t r) {
  if (r > 0x10FFFF || (r >= 0xD800 && r <= 0xDFFF)) r = kRuneError;
  if (r < 0x80) {
    out += static_cast<char>(r);
  } else if (r < 0x800) {
    out += static_cast<char>(0xC0 | (r >> 6));
    out += static_cast<char>(0x80 | (r & 0x3F));
  } else if (r < 0x10000) {
    out += static_cast<char>(0xE0 | (r >> 12));
    out += static_cast<char>(0x80 | ((r >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (r & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (r >> 18));
    out += static_cast<char>(0x80 | ((r >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((r >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (r & 0x3F));
  }
}

inline bool isValidUtf8(std::string_view s) {
  while (!s.empty()) {
    const DecodedRune d = decodeRune(s);
    if (!d.valid) return false;
    s.remove_prefix(d.size);
  }
  return true;
}

}  // namespace nimbro::fuzzing
