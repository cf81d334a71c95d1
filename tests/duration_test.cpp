#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "cli/duration.h"

namespace nimbro {
namespace {

constexpr int64_t kMicro = 1'000;
constexpr int64_t kMilli = 1'000'000;
constexpr int64_t kSecond = 1'000'000'000;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(ParseDurationTest, Accepted) {
  struct Case {
    const char* text;
    int64_t ns;
  };
  const Case cases[] = {
      {"30s", 30 * kSecond},
      {"2m", 2 * kMinute},
      {"15m", 15 * kMinute},
      {"1h30m", 90 * kMinute},
      {"1.5h", 90 * kMinute},
      {".5h", 30 * kMinute},
      {"1.h", kHour},
      {"+90s", 90 * kSecond},
      {"250ms", 250 * kMilli},
      {"0", 0},
      {"+0", 0},
      {"-0", 0},
      {"0s", 0},
      {"-5m", -5 * kMinute},
      {"1ns", 1},
      {"1us", kMicro},
      {"1\u00b5s", kMicro},
      {"1\u03bcs", kMicro},
      {"1.5\u00b5s", 1500},
      {"1h1m1s1ms1us1ns", kHour + kMinute + kSecond + kMilli + kMicro + 1},
      {"1s1s", 2 * kSecond},
      {"3.000000001s", 3 * kSecond + 1},
      {"0.1ns", 0},
      {"1.9ns", 1},
      {"1.00000000000000000000000000001s", kSecond},
      {"9223372036854775807ns", kMax},
      {"2562047h47m16.854775807s", kMax},
      {"-9223372036854775808ns", kMin},
      {"-2562047h47m16.854775808s", kMin},
      {"-9223372036854775807ns1ns", kMin},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Expected<int64_t> got = parseDuration(c.text);
    ASSERT_TRUE(got) << got.error().message();
    EXPECT_EQ(*got, c.ns);
  }
}

TEST(ParseDurationTest, Refused) {
  const char* const cases[] = {
      "",
      " 2m",
      "2m ",
      "2 m",
      "2",
      "00",
      "1d",
      "1H",
      "1ss",
      "1s1",
      "s",
      ".",
      ".s",
      "-",
      "+",
      "-.s",
      "--1s",
      "+-1s",
      "1s-1s",
      "1e3s",
      "1,5s",
      "1..5s",
      "\u00b5s",
      "1\u00b5",
      "9223372036854775808ns",
      "2562047h47m16.854775808s",
      "2562048h",
      "-9223372036854775809ns",
      "99999999999999999999ns",
      "9223372036854775807ns1ns",
      "-9223372036854775808ns1ns",
      // Two pieces of exactly 1<<63 ns must not wrap around to zero.
      "9223372036854775808ns9223372036854775808ns",
      "-9223372036854775808ns9223372036854775808ns",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    Expected<int64_t> got = parseDuration(text);
    EXPECT_FALSE(got) << "read as " << *got;
  }
}

TEST(FormatDurationTest, Texts) {
  struct Case {
    int64_t ns;
    const char* text;
  };
  const Case cases[] = {
      {0, "0s"},
      {1, "1ns"},
      {999, "999ns"},
      {kMicro, "1\u00b5s"},
      {1100, "1.1\u00b5s"},
      {2 * kMilli + 200 * kMicro, "2.2ms"},
      {250 * kMilli, "250ms"},
      {kSecond + 500 * kMilli, "1.5s"},
      {3 * kSecond + 1, "3.000000001s"},
      {4 * kMinute + 5 * kSecond, "4m5s"},
      {90 * kMinute, "1h30m0s"},
      {5 * kHour + 6 * kMinute + 7 * kSecond + kMilli, "5h6m7.001s"},
      {-5 * kMinute, "-5m0s"},
      {-1, "-1ns"},
      {kMax, "2562047h47m16.854775807s"},
      {kMin, "-2562047h47m16.854775808s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(formatDuration(c.ns), c.text);
  }
}

TEST(FormatDurationTest, ReadsBack) {
  const int64_t cases[] = {0,         1,      -1,    999,   1000,       1001,   kMilli - 1,   kSecond - 1,
                           kSecond,   -kHour, kMax,  kMin,  kMax - 1,   kMin + 1, 59 * kSecond, 61 * kMinute + 1};
  for (int64_t ns : cases) {
    SCOPED_TRACE(ns);
    std::string text = formatDuration(ns);
    Expected<int64_t> back = parseDuration(text);
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(*back, ns) << text;
  }
}

}  // namespace
}  // namespace nimbro
