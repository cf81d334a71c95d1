#include "base/strings.h"

#include "base/unicode.h"
#include "base/utf8.h"

namespace nimbro {
namespace {

// The length of the valid UTF-8 character that ends at s's end; 0 if none.
size_t lastRuneSize(std::string_view s) {
  for (size_t n = 1; n <= 4 && n <= s.size(); ++n) {
    const DecodedRune d = decodeRune(s.substr(s.size() - n));
    if (d.valid && d.size == n) return n;
  }
  return 0;
}

}  // namespace

std::string_view trimSpace(std::string_view s) {
  while (!s.empty()) {
    const DecodedRune d = decodeRune(s);
    if (!d.valid || !isSpace(d.rune)) break;
    s.remove_prefix(d.size);
  }
  while (!s.empty()) {
    const size_t n = lastRuneSize(s);
    if (n == 0 || !isSpace(decodeRune(s.substr(s.size() - n)).rune)) break;
    s.remove_suffix(n);
  }
  return s;
}

std::string joinWords(std::span<const std::string> words) {
  std::string out;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += ' ';
    out += words[i];
  }
  return out;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string lowerFirstLetter(std::string s) {
  const auto isCapital = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (!s.empty() && isCapital(s[0]) && !(s.size() > 1 && isCapital(s[1])))
    s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

}  // namespace nimbro
