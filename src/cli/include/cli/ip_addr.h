// IP address texts, read without any name lookup: dotted IPv4 and the
// standard IPv6 form with "::" compression and an optional IPv4 tail.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nimbro {

struct IPAddress {
  // IPv4 addresses are held in their IPv4-mapped IPv6 form.
  std::array<uint8_t, 16> bytes{};
  bool writtenAsIPv4 = false;
};

// Four decimal parts from 0 to 255, without leading zeros.
std::optional<IPAddress> parseIPv4Address(std::string_view text);
// The standard IPv6 text. A zone suffix ("%eth0") is refused.
std::optional<IPAddress> parseIPv6Address(std::string_view text);
// Either form, chosen by whether a "." or a ":" comes first.
std::optional<IPAddress> parseIPAddress(std::string_view text);

// 127.0.0.0/8, also in its IPv4-mapped IPv6 form, and ::1.
bool isLoopbackAddress(const IPAddress& addr);

}  // namespace nimbro
