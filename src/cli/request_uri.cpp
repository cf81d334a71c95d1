#include "cli/request_uri.h"

#include <algorithm>

#include "base/strings.h"
#include "cli/ip_addr.h"

namespace nimbro {
namespace {

// Which part of the URL a text is, for what it may hold.
enum class Part { Host, Zone, UserInfo, Path };

bool isAlnum(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// ASCII bytes a host may hold as written. ":" and the brackets belong to the
// port and the IPv6 literal; "<", ">" and '"' are tolerated because escaping
// them would not be accepted either.
bool isRawHostByte(unsigned char c) {
  if (isAlnum(c)) return true;
  return std::string_view("-_.~!$&'()*+,;=:[]<>\"").find(static_cast<char>(c)) != std::string_view::npos;
}

bool isUserInfoByte(unsigned char c) {
  if (isAlnum(c)) return true;
  return std::string_view("-._:~!$&'()*+,;=%@").find(static_cast<char>(c)) != std::string_view::npos;
}

Error parseError(std::string_view what, std::string_view text) {
  return Error::plain(format("parse %q: %s", text, what));
}

// Decodes %XX escapes, refusing what the part may not hold. A host may
// escape only bytes from 0x80 up, and "%25" for the zone of an IPv6
// literal; a zone may escape only what a host could hold as written, or a
// space.
Expected<std::string> unescape(std::string_view s, Part part) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '%') {
      if (i + 2 >= s.size() || hexDigitValue(s[i + 1]) < 0 || hexDigitValue(s[i + 2]) < 0) {
        return parseError("invalid URL escape", s);
      }
      int high = hexDigitValue(s[i + 1]);
      auto value = static_cast<unsigned char>(high << 4 | hexDigitValue(s[i + 2]));
      bool percent = s.substr(i, 3) == "%25";
      if (part == Part::Host && high < 8 && !percent) return parseError("invalid URL escape", s);
      if (part == Part::Zone && !percent && value != ' ' && !(value < 0x80 && isRawHostByte(value))) {
        return parseError("invalid URL escape", s);
      }
      out += static_cast<char>(value);
      i += 3;
      continue;
    }
    if ((part == Part::Host || part == Part::Zone) && c < 0x80 && !isRawHostByte(c)) {
      return parseError("invalid character in host name", s);
    }
    out += static_cast<char>(c);
    ++i;
  }
  return out;
}

// "" or ":" followed by decimal digits only.
bool isOptionalPort(std::string_view colonPort) {
  if (colonPort.empty()) return true;
  if (colonPort[0] != ':') return false;
  return std::all_of(colonPort.begin() + 1, colonPort.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "[" IPv6 [ "%25" zone ] "]" [ ":" port ]
Expected<std::string> parseBracketedHost(std::string_view host) {
  size_t close = host.rfind(']');
  if (close == std::string_view::npos) return parseError("missing ']' in host", host);
  std::string_view colonPort = host.substr(close + 1);
  if (!isOptionalPort(colonPort)) return parseError("invalid port after host", host);

  std::string_view inside = host.substr(1, close - 1);
  size_t zoneAt = inside.find("%25");
  std::string_view address = inside.substr(0, zoneAt);
  // Brackets hold an IPv6 address only, never a name or a bare IPv4 one.
  if (!parseIPv6Address(address)) return parseError("invalid IP-literal", host);

  std::string out = "[";
  out += address;
  if (zoneAt != std::string_view::npos) {
    std::string_view zone = inside.substr(zoneAt);
    if (zone.size() == 3) return parseError("empty zone in IP-literal", host);
    Expected<std::string> decoded = unescape(zone, Part::Zone);
    if (!decoded) return decoded.error();
    out += *decoded;
  }
  out += ']';
  out += colonPort;
  return out;
}

Expected<std::string> parseHost(std::string_view host) {
  // "[" opens an IPv6 literal and nothing else: "a[b]" is no host.
  size_t open = host.rfind('[');
  if (open != std::string_view::npos && open > 0) return parseError("invalid IP-literal", host);
  if (open == 0) return parseBracketedHost(host);
  size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    // A second ":" means two ports or an IPv6 address without brackets.
    if (host.find(':') != colon) return parseError("too many colons in host", host);
    if (!isOptionalPort(host.substr(colon))) return parseError("invalid port after host", host);
  }
  return unescape(host, Part::Host);
}

// Fills the host and user-information flag of uri from an authority.
Error parseAuthority(std::string_view authority, RequestURI& uri) {
  // The host cannot hold "@", so the last one ends the user information.
  size_t at = authority.rfind('@');
  std::string_view hostPart = at == std::string_view::npos ? authority : authority.substr(at + 1);
  Expected<std::string> host = parseHost(hostPart);
  if (!host) return host.error();
  uri.host = std::move(*host);
  if (at == std::string_view::npos) return {};

  std::string_view userInfo = authority.substr(0, at);
  if (!std::all_of(userInfo.begin(), userInfo.end(),
                   [](char c) { return isUserInfoByte(static_cast<unsigned char>(c)); })) {
    return parseError("invalid userinfo", authority);
  }
  if (Expected<std::string> decoded = unescape(userInfo, Part::UserInfo); !decoded) return decoded.error();
  uri.hasUserInfo = true;
  return {};
}

struct SchemeSplit {
  std::string_view scheme;
  std::string_view rest;
};

// A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
// Anything else before a ":" means the text has no scheme at all.
Expected<SchemeSplit> splitScheme(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) continue;
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      if (i == 0) return SchemeSplit{{}, text};
      continue;
    }
    if (c == ':') {
      if (i == 0) return parseError("missing protocol scheme", text);
      return SchemeSplit{text.substr(0, i), text.substr(i + 1)};
    }
    return SchemeSplit{{}, text};
  }
  return SchemeSplit{{}, text};
}

}  // namespace

Expected<RequestURI> parseRequestURI(std::string_view text) {
  if (std::any_of(text.begin(), text.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7f;
      })) {
    return parseError("invalid control character in URL", text);
  }
  if (text.empty()) return parseError("empty url", text);

  Expected<SchemeSplit> split = splitScheme(text);
  if (!split) return split.error();
  RequestURI uri;
  uri.scheme = std::string(split->scheme);
  std::transform(uri.scheme.begin(), uri.scheme.end(), uri.scheme.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });

  // The query is not looked into.
  std::string_view rest = split->rest.substr(0, split->rest.find('?'));

  if (!rest.starts_with('/')) {
    // "scheme:rest" without a leading "/" is opaque: it has no host.
    if (!uri.scheme.empty()) return uri;
    return parseError("invalid URI for request", text);
  }

  if (!uri.scheme.empty() && rest.starts_with("//")) {
    std::string_view authority = rest.substr(2);
    size_t slash = authority.find('/');
    rest = slash == std::string_view::npos ? std::string_view{} : authority.substr(slash);
    authority = authority.substr(0, slash);
    if (Error err = parseAuthority(authority, uri)) return err;
  }

  if (Expected<std::string> path = unescape(rest, Part::Path); !path) return path.error();
  return uri;
}

std::string_view hostName(std::string_view hostPort) {
  std::string_view host = hostPort;
  size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && isOptionalPort(host.substr(colon))) host = host.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return host;
}

}  // namespace nimbro
