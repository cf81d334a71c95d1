#include "cli/duration.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbro {
namespace {

// Magnitudes are gathered unsigned up to 1<<63, so that the most negative
// duration can be read before its sign is applied.
constexpr uint64_t kMagnitudeLimit = uint64_t{1} << 63;

struct Unit {
  std::string_view name;
  uint64_t nanoseconds;
};

constexpr std::array<Unit, 8> kUnits = {{
    {"ns", 1},
    {"us", 1'000},
    {"\u00b5s", 1'000},  // micro sign
    {"\u03bcs", 1'000},  // Greek small letter mu
    {"ms", 1'000'000},
    {"s", 1'000'000'000},
    {"m", 60'000'000'000},
    {"h", 3'600'000'000'000},
}};

std::optional<uint64_t> unitNanoseconds(std::string_view name) {
  for (const Unit& u : kUnits) {
    if (u.name == name) return u.nanoseconds;
  }
  return std::nullopt;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Consumes leading digits; nullopt when their value passes 1<<63.
std::optional<uint64_t> leadingInt(std::string_view& s) {
  uint64_t x = 0;
  size_t i = 0;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    if (x > kMagnitudeLimit / 10) return std::nullopt;
    x = x * 10 + static_cast<uint64_t>(s[i] - '0');
    if (x > kMagnitudeLimit) return std::nullopt;
  }
  s.remove_prefix(i);
  return x;
}

struct Fraction {
  uint64_t digits = 0;
  double scale = 1;  // the fraction is digits / scale
};

// Consumes the digits after a decimal point. Digits beyond what 64 bits hold
// are skipped: they are far below a nanosecond.
Fraction leadingFraction(std::string_view& s) {
  Fraction f;
  bool overflow = false;
  size_t i = 0;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    if (overflow) continue;
    if (f.digits > (kMagnitudeLimit - 1) / 10) {
      overflow = true;
      continue;
    }
    uint64_t y = f.digits * 10 + static_cast<uint64_t>(s[i] - '0');
    if (y > kMagnitudeLimit) {
      overflow = true;
      continue;
    }
    f.digits = y;
    f.scale *= 10;
  }
  s.remove_prefix(i);
  return f;
}

Error invalidDuration(std::string_view text) { return Error::plain(format("time: invalid duration %q", text)); }

// Writes v / 10^prec's fractional digits before end, without trailing zeros
// and without the point when they are all zero; returns v / 10^prec.
uint64_t putFraction(char*& end, uint64_t v, int prec) {
  bool print = false;
  for (int i = 0; i < prec; ++i) {
    uint64_t digit = v % 10;
    print = print || digit != 0;
    if (print) *--end = static_cast<char>('0' + digit);
    v /= 10;
  }
  if (print) *--end = '.';
  return v;
}

void putInt(char*& end, uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
}

}  // namespace

Expected<int64_t> parseDuration(std::string_view text) {
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s == "0") return int64_t{0};
  if (s.empty()) return invalidDuration(text);

  uint64_t total = 0;
  while (!s.empty()) {
    if (!(s[0] == '.' || isDigit(s[0]))) return invalidDuration(text);

    size_t before = s.size();
    std::optional<uint64_t> whole = leadingInt(s);
    if (!whole) return invalidDuration(text);
    bool hasWhole = s.size() != before;

    Fraction fraction;
    bool hasFraction = false;
    if (!s.empty() && s[0] == '.') {
      s.remove_prefix(1);
      size_t afterPoint = s.size();
      fraction = leadingFraction(s);
      hasFraction = s.size() != afterPoint;
    }
    if (!hasWhole && !hasFraction) return invalidDuration(text);

    size_t unitLength = 0;
    while (unitLength < s.size() && s[unitLength] != '.' && !isDigit(s[unitLength])) ++unitLength;
    std::optional<uint64_t> unit = unitNanoseconds(s.substr(0, unitLength));
    if (!unit) return invalidDuration(text);
    s.remove_prefix(unitLength);

    uint64_t v = *whole;
    if (v > kMagnitudeLimit / *unit) return invalidDuration(text);
    v *= *unit;
    if (fraction.digits > 0) {
      // A double keeps fractions of an hour exact to the nanosecond.
      v += static_cast<uint64_t>(static_cast<double>(fraction.digits) *
                                 (static_cast<double>(*unit) / fraction.scale));
      if (v > kMagnitudeLimit) return invalidDuration(text);
    }
    // Compared before adding: two pieces of exactly 1<<63 would otherwise
    // wrap around to zero.
    if (v > kMagnitudeLimit - total) return invalidDuration(text);
    total += v;
  }

  if (negative) return static_cast<int64_t>(0 - total);
  if (total > kMagnitudeLimit - 1) return invalidDuration(text);
  return static_cast<int64_t>(total);
}

std::string formatDuration(int64_t ns) {
  // The longest text is "-2562047h47m16.854775808s".
  std::array<char, 32> buf{};
  char* const last = buf.data() + buf.size();
  char* end = last;

  bool negative = ns < 0;
  uint64_t u = static_cast<uint64_t>(ns);
  if (negative) u = 0 - u;

  constexpr uint64_t second = 1'000'000'000;
  if (u < second) {
    // Below a second the unit shrinks instead: "1.2ms", "3µs", "7ns".
    *--end = 's';
    int prec = 0;
    if (u == 0) {
      *--end = '0';
      return std::string(end, last);
    } else if (u < 1'000) {
      *--end = 'n';
    } else if (u < 1'000'000) {
      prec = 3;
      *--end = '\xb5';
      *--end = '\xc2';
    } else {
      prec = 6;
      *--end = 'm';
    }
    u = putFraction(end, u, prec);
    putInt(end, u);
  } else {
    *--end = 's';
    u = putFraction(end, u, 9);
    putInt(end, u % 60);
    u /= 60;
    if (u > 0) {
      *--end = 'm';
      putInt(end, u % 60);
      u /= 60;
      // Hours are the largest unit: days differ in length.
      if (u > 0) {
        *--end = 'h';
        putInt(end, u);
      }
    }
  }
  if (negative) *--end = '-';
  return std::string(end, last);
}

}  // namespace nimbro
