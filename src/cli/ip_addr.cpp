#include "cli/ip_addr.h"

#include <algorithm>

#include "base/strings.h"

namespace nimbro {
namespace {

constexpr std::array<uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

std::optional<std::array<uint8_t, 4>> parseIPv4Fields(std::string_view s) {
  std::array<uint8_t, 4> fields{};
  size_t pos = 0;
  unsigned value = 0;
  size_t digits = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      // "01" would read as octal to some programs and as decimal to others.
      if (digits == 1 && value == 0) return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - '0');
      ++digits;
      if (value > 255) return std::nullopt;
    } else if (c == '.') {
      if (digits == 0 || i == s.size() - 1 || pos == 3) return std::nullopt;
      fields[pos++] = static_cast<uint8_t>(value);
      value = 0;
      digits = 0;
    } else {
      return std::nullopt;
    }
  }
  if (pos < 3 || digits == 0) return std::nullopt;
  fields[3] = static_cast<uint8_t>(value);
  return fields;
}

}  // namespace

std::optional<IPAddress> parseIPv4Address(std::string_view text) {
  std::optional<std::array<uint8_t, 4>> fields = parseIPv4Fields(text);
  if (!fields) return std::nullopt;
  IPAddress addr;
  std::copy(kMappedPrefix.begin(), kMappedPrefix.end(), addr.bytes.begin());
  std::copy(fields->begin(), fields->end(), addr.bytes.begin() + 12);
  addr.writtenAsIPv4 = true;
  return addr;
}

std::optional<IPAddress> parseIPv6Address(std::string_view text) {
  std::string_view s = text;
  IPAddress addr;
  std::array<uint8_t, 16>& ip = addr.bytes;
  int ellipsis = -1;  // where "::" stands among the bytes

  if (s.size() >= 2 && s[0] == ':' && s[1] == ':') {
    ellipsis = 0;
    s.remove_prefix(2);
    if (s.empty()) return addr;
  }

  int i = 0;
  while (i < 16) {
    size_t off = 0;
    uint32_t acc = 0;
    for (; off < s.size(); ++off) {
      int h = hexDigitValue(s[off]);
      if (h < 0) break;
      if (off > 3) return std::nullopt;
      acc = (acc << 4) + static_cast<uint32_t>(h);
    }
    if (off == 0) return std::nullopt;

    if (off < s.size() && s[off] == '.') {
      // A dotted tail stands for the last two groups.
      if (ellipsis < 0 && i != 12) return std::nullopt;
      if (i + 4 > 16) return std::nullopt;
      std::optional<std::array<uint8_t, 4>> tail = parseIPv4Fields(s);
      if (!tail) return std::nullopt;
      std::copy(tail->begin(), tail->end(), ip.begin() + i);
      s = {};
      i += 4;
      break;
    }

    ip[static_cast<size_t>(i)] = static_cast<uint8_t>(acc >> 8);
    ip[static_cast<size_t>(i) + 1] = static_cast<uint8_t>(acc);
    i += 2;

    s.remove_prefix(off);
    if (s.empty()) break;
    if (s[0] != ':' || s.size() == 1) return std::nullopt;
    s.remove_prefix(1);

    if (s[0] == ':') {
      if (ellipsis >= 0) return std::nullopt;
      ellipsis = i;
      s.remove_prefix(1);
      if (s.empty()) break;
    }
  }

  // Also catches a zone suffix, which no caller here takes as an address.
  if (!s.empty()) return std::nullopt;

  if (i < 16) {
    if (ellipsis < 0) return std::nullopt;
    int n = 16 - i;
    for (int j = i - 1; j >= ellipsis; --j) ip[static_cast<size_t>(j + n)] = ip[static_cast<size_t>(j)];
    std::fill(ip.begin() + ellipsis, ip.begin() + ellipsis + n, uint8_t{0});
  } else if (ellipsis >= 0) {
    // "::" must stand for at least one group of zeros.
    return std::nullopt;
  }
  return addr;
}

std::optional<IPAddress> parseIPAddress(std::string_view text) {
  for (char c : text) {
    if (c == '.') return parseIPv4Address(text);
    if (c == ':') return parseIPv6Address(text);
    if (c == '%') return std::nullopt;
  }
  return std::nullopt;
}

bool isLoopbackAddress(const IPAddress& addr) {
  const std::array<uint8_t, 16>& b = addr.bytes;
  if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), b.begin())) return b[12] == 127;
  static constexpr std::array<uint8_t, 16> kIPv6Loopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return b == kIPv6Loopback;
}

}  // namespace nimbro
