#include "base/quote.h"

#include "base/unicode.h"
#include "base/utf8.h"

namespace nimbro {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendHex(std::string& out, char32_t v, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 0xF];
}

void appendEscaped(std::string& out, char32_t r) {
  switch (r) {
    case '\a': out += "\\a"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    case '\v': out += "\\v"; return;
  }
  if (r < ' ' || r == 0x7F) {
    out += "\\x";
    appendHex(out, r, 2);
  } else if (r < 0x10000) {
    out += "\\u";
    appendHex(out, r, 4);
  } else {
    out += "\\U";
    appendHex(out, r, 8);
  }
}

}  // namespace

void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  while (!s.empty()) {
    const DecodedRune d = decodeRune(s);
    const std::string_view bytes = s.substr(0, d.size);
    s.remove_prefix(d.size);
    if (!d.valid) {
      out += "\\x";
      appendHex(out, static_cast<unsigned char>(bytes[0]), 2);
    } else if (d.rune == '"' || d.rune == '\\') {
      out += '\\';
      out += bytes;
    } else if (isPrint(d.rune)) {
      out += bytes;
    } else {
      appendEscaped(out, d.rune);
    }
  }
  out += '"';
}

}  // namespace nimbro
