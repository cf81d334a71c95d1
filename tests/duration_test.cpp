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

TEST(ParseDurationTest, FractionsAsTheEngineReadsThem) {
  // The engine and the control server read these with Go's time package;
  // the values are what it gives. A fraction computed in another order or
  // precision lands a nanosecond or more away, and the tool would accept a
  // time-out or an expiration that the engine reads differently.
  struct Case {
    const char* text;
    int64_t ns;
  };
  const Case cases[] = {
      {"0.3s", 300000000},
      {"1.1h", 3960000000000},
      {"0.291h", 1047600000000},
      {"0.5185s", 518500000},
      {"0.92876311h", 3343547196000},
      {"0.5567555678m", 33405334068},
      {"0.000000001h", 3600},
      {"0.0000000001h", 360},
      {"1.000000001h", 3600000003600},
      {"0.333333333333s", 333333333},
      {"0.9999999999s", 999999999},
      {"1.9999999999ns", 1},
      {"0.123456789s", 123456789},
      {"59.999999999m", 3599999999940},
      {"2562047.7880152155h", 9223372036854775800},
      {"0.5us", 500},
      {"0.0000001ms", 0},
      {"1.1111111111111111111h", 4000000000000},
      {"3.3ms3.3us3.3ns", 3303303},
      {".1h.1m.1s", 366100000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Expected<int64_t> got = parseDuration(c.text);
    ASSERT_TRUE(got) << got.error().message();
    EXPECT_EQ(*got, c.ns);
  }
}

}  // namespace
}  // namespace nimbro
