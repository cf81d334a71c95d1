#include "base/utf8.h"

#include <cstdint>

namespace nimbro {
namespace {

bool isContinuation(uint8_t b, uint8_t lo = 0x80, uint8_t hi = 0xBF) { return b >= lo && b <= hi; }

}  // namespace

DecodedRune decodeRune(std::string_view s) {
  if (s.empty()) return {kRuneError, 0, false};
  const auto b = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t b0 = b(0);
  const DecodedRune invalid{kRuneError, 1, false};
  if (b0 < 0x80) return {b0, 1, true};
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (s.size() < 2 || !isContinuation(b(1))) return invalid;
    return {char32_t(b0 & 0x1F) << 6 | (b(1) & 0x3F), 2, true};
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    // The second byte's range excludes overlong forms (E0) and surrogates (ED).
    const uint8_t lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const uint8_t hi = b0 == 0xED ? 0x9F : 0xBF;
    if (s.size() < 3 || !isContinuation(b(1), lo, hi) || !isContinuation(b(2))) return invalid;
    return {char32_t(b0 & 0x0F) << 12 | char32_t(b(1) & 0x3F) << 6 | (b(2) & 0x3F), 3, true};
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    // Overlong forms (F0) and values beyond U+10FFFF (F4) are excluded here.
    const uint8_t lo = b0 == 0xF0 ? 0x90 : 0x80;
    const uint8_t hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (s.size() < 4 || !isContinuation(b(1), lo, hi) || !isContinuation(b(2)) ||
        !isContinuation(b(3)))
      return invalid;
    return {char32_t(b0 & 0x07) << 18 | char32_t(b(1) & 0x3F) << 12 |
                char32_t(b(2) & 0x3F) << 6 | (b(3) & 0x3F),
            4, true};
  }
  return invalid;
}

}  // namespace nimbro
