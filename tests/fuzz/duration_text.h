// Writes a duration the way the reader reads it back, as the engine prints
// one: "1h30m0s", "1.5s", "250ms", "1µs", "0s", "-5m0s". The tool never
// writes durations; the fuzz target checks the reader against this writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nimbro::fuzzing {

namespace duration_text_detail {

// Writes v / 10^prec's fractional digits before end, without trailing zeros
// and without the point when they are all zero; returns v / 10^prec.
inline uint64_t putFraction(char*& end, uint64_t v, int prec) {
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

inline void putInt(char*& end, uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
}

}  // namespace duration_text_detail

inline std::string formatDuration(int64_t ns) {
  using namespace duration_text_detail;
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

}  // namespace nimbro::fuzzing
