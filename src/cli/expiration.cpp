#include "cli/expiration.h"

#include <array>
#include <cstddef>
#include <limits>

namespace nimbro {
namespace {

constexpr int64_t kNanosecondsPerMilli = 1'000'000;

struct Unit {
  std::string_view name;
  int64_t millis;
};

// Largest first: the only order headscale reads.
constexpr std::array<Unit, 4> kUnits = {{
    {"h", 3'600'000},
    {"m", 60'000},
    {"s", 1'000},
    {"ms", 1},
}};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whole-number pieces in units strictly smaller than the one before. The
// value is not checked here: the tool has read the same text already.
bool isHeadscaleDuration(std::string_view text) {
  if (text.empty()) return false;
  size_t nextUnit = 0;  // index into kUnits of the largest unit still allowed
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
    while (i < kUnits.size() && kUnits[i].name != unit) ++i;
    if (i == kUnits.size()) return false;
    nextUnit = i + 1;
  }
  return true;
}

}  // namespace

std::string headscaleExpiration(std::string_view typed, int64_t nanoseconds) {
  if (isHeadscaleDuration(typed)) return std::string(typed);

  int64_t millis = nanoseconds / kNanosecondsPerMilli;
  // Rounding up within the last millisecond of the range would step past
  // what headscale can hold; a millisecond in 292 years is left out instead.
  constexpr int64_t kMaxMillis = std::numeric_limits<int64_t>::max() / kNanosecondsPerMilli;
  if (nanoseconds % kNanosecondsPerMilli != 0 && millis < kMaxMillis) ++millis;

  std::string text;
  for (const Unit& unit : kUnits) {
    const int64_t count = millis / unit.millis;
    millis %= unit.millis;
    if (count == 0) continue;
    text += std::to_string(count);
    text += unit.name;
  }
  return text;
}

}  // namespace nimbro
