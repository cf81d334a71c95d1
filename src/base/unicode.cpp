#include "base/unicode.h"

#include <algorithm>

#include "base/utf8.h"

namespace nimbro {
namespace {

#include "unicode_tables.inc"

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

char32_t simpleFold(char32_t r) {
  const auto* end = std::end(kSimpleFolds);
  const auto* it = std::lower_bound(std::begin(kSimpleFolds), end, r,
                                    [](const RuneFold& f, char32_t v) { return f.from < v; });
  return it != end && it->from == r ? it->to : r;
}

bool equalFold(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    const DecodedRune ra = decodeRune(a);
    const DecodedRune rb = decodeRune(b);
    if (ra.rune != rb.rune && simpleFold(ra.rune) != simpleFold(rb.rune)) return false;
    a.remove_prefix(ra.size);
    b.remove_prefix(rb.size);
  }
  return a.empty() && b.empty();
}

}  // namespace nimbro
