// A strict reader of the quoted form that %q writes, so a fuzz target can
// check that quoting loses nothing. It accepts only what a faithful quoter
// may produce: a printable character as itself, the seven named escapes,
// \\ and \", \x for a byte, and \u or \U only for a character that is not
// printable. Anything else (a raw control byte, an escape that was not
// needed, an unknown escape) is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/strings.h"
#include "base/unicode.h"
#include "utf8_text.h"

namespace nimbro::fuzzing {

namespace unquote_detail {

inline std::optional<char32_t> hexNumber(std::string_view digits) {
  char32_t v = 0;
  for (char c : digits) {
    // The quoter writes lower-case hex only.
    const int d = c >= 'A' && c <= 'F' ? -1 : hexDigitValue(c);
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<char32_t>(d);
  }
  return v;
}

inline bool isUnicodeScalar(char32_t r) { return r <= 0x10FFFF && !(r >= 0xD800 && r <= 0xDFFF); }

}  // namespace unquote_detail

inline std::optional<std::string> unquote(std::string_view q) {
  using namespace unquote_detail;
  if (q.size() < 2 || q.front() != '"' || q.back() != '"') return std::nullopt;
  q = q.substr(1, q.size() - 2);
  std::string out;
  while (!q.empty()) {
    const char c = q.front();
    if (c == '"') return std::nullopt;  // an unescaped quote ends the text early
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '\\') {
      out += c;
      q.remove_prefix(1);
      continue;
    }
    if (q.size() < 2) return std::nullopt;
    const char e = q[1];
    q.remove_prefix(2);
    switch (e) {
      case 'a': out += '\a'; continue;
      case 'b': out += '\b'; continue;
      case 'f': out += '\f'; continue;
      case 'n': out += '\n'; continue;
      case 'r': out += '\r'; continue;
      case 't': out += '\t'; continue;
      case 'v': out += '\v'; continue;
      case '\\': out += '\\'; continue;
      case '"': out += '"'; continue;
      case 'x': {
        if (q.size() < 2) return std::nullopt;
        const std::optional<char32_t> v = hexNumber(q.substr(0, 2));
        if (!v) return std::nullopt;
        // A printable ASCII byte never needs \x, nor one with a named escape.
        if (*v >= 0x20 && *v < 0x7F) return std::nullopt;
        if (std::string_view("\a\b\f\n\r\t\v").find(static_cast<char>(*v)) !=
            std::string_view::npos)
          return std::nullopt;
        out += static_cast<char>(*v);
        q.remove_prefix(2);
        continue;
      }
      case 'u':
      case 'U': {
        const size_t n = e == 'u' ? 4 : 8;
        if (q.size() < n) return std::nullopt;
        const std::optional<char32_t> v = hexNumber(q.substr(0, n));
        if (!v || !isUnicodeScalar(*v) || isPrint(*v)) return std::nullopt;
        // \U only for what \u cannot hold; control bytes only as \x.
        if (e == 'U' && *v < 0x10000) return std::nullopt;
        if (*v < 0x20 || *v == 0x7F) return std::nullopt;
        appendRune(out, *v);
        q.remove_prefix(n);
        continue;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace nimbro::fuzzing
