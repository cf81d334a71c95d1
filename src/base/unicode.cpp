#include "base/unicode.h"

#include <algorithm>

#include "base/utf8.h"

namespace nimbro {
namespace {

#include "unicode_tables.inc"

// The simple folding of r where it is an ASCII letter; r itself otherwise.
// Besides the capitals only two characters fold onto ASCII letters.
char32_t foldToASCII(char32_t r) {
  if (r >= 'A' && r <= 'Z') return r - 'A' + 'a';
  if (r == 0x017F) return 's';  // LATIN SMALL LETTER LONG S
  if (r == 0x212A) return 'k';  // KELVIN SIGN
  return r;
}

}  // namespace

bool isPrint(char32_t r) {
  if (r < 0x80) return r >= 0x20 && r < 0x7F;
  const auto* end = std::end(kPrintRanges);
  const auto* it = std::upper_bound(std::begin(kPrintRanges), end, r,
                                    [](char32_t v, const RuneRange& g) { return v < g.lo; });
  return it != std::begin(kPrintRanges) && r <= (it - 1)->hi;
}

bool isSpace(char32_t r) {
  switch (r) {
    case '\t': case '\n': case '\v': case '\f': case '\r': case ' ':
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return r >= 0x2000 && r <= 0x200A;
  }
}

bool equalFoldASCII(std::string_view s, std::string_view word) {
  for (const char letter : word) {
    if (s.empty()) return false;
    const DecodedRune d = decodeRune(s);
    if (!d.valid || foldToASCII(d.rune) != static_cast<unsigned char>(letter)) return false;
    s.remove_prefix(d.size);
  }
  return s.empty();
}

}  // namespace nimbro
