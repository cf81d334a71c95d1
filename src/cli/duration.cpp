#include "cli/duration.h"

#include <array>
#include <cstdint>
#include <limits>
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

constexpr int64_t kNanosecondsPerMilli = 1'000'000;

struct HeadscaleUnit {
  std::string_view name;
  int64_t millis;
};

// Largest first: the only order headscale reads.
constexpr std::array<HeadscaleUnit, 4> kHeadscaleUnits = {{
    {"h", 3'600'000},
    {"m", 60'000},
    {"s", 1'000},
    {"ms", 1},
}};

// Whole-number pieces in units strictly smaller than the one before. The
// value is not checked here: the tool has read the same text already.
bool isHeadscaleDuration(std::string_view text) {
  if (text.empty()) return false;
  size_t nextUnit = 0;  // index into kHeadscaleUnits of the largest unit still allowed
  while (!text.empty()) {
    size_t digits = 0;
    while (digits < text.size() && isDigit(text[digits])) ++digits;
    if (digits == 0) return false;
    text.remove_prefix(digits);
    size_t unitLength = 0;
    while (unitLength < text.size() && !isDigit(text[unitLength])) ++unitLength;
    const std::string_view unit = text.substr(0, unitLength);
    text.remove_prefix(unitLength);
    size_t i = nextUnit;
    while (i < kHeadscaleUnits.size() && kHeadscaleUnits[i].name != unit) ++i;
    if (i == kHeadscaleUnits.size()) return false;
    nextUnit = i + 1;
  }
  return true;
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

std::string headscaleExpiration(std::string_view typed, int64_t nanoseconds) {
  if (isHeadscaleDuration(typed)) return std::string(typed);

  int64_t millis = nanoseconds / kNanosecondsPerMilli;
  // Rounding up within the last millisecond of the range would step past
  // what headscale can hold; a millisecond in 292 years is left out instead.
  constexpr int64_t kMaxMillis = std::numeric_limits<int64_t>::max() / kNanosecondsPerMilli;
  if (nanoseconds % kNanosecondsPerMilli != 0 && millis < kMaxMillis) ++millis;

  std::string text;
  for (const HeadscaleUnit& unit : kHeadscaleUnits) {
    const int64_t count = millis / unit.millis;
    millis %= unit.millis;
    if (count == 0) continue;
    text += std::to_string(count);
    text += unit.name;
  }
  return text;
}

}  // namespace nimbro
