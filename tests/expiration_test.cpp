#include "cli/duration.h"

#include <gtest/gtest.h>


namespace nimbro {
namespace {

TEST(HeadscaleExpiration, ForwardsHeadscalesGrammar) {
  struct Case {
    const char* typed;
    const char* want;
  };
  const Case cases[] = {
      // headscale reads these already: they go as typed.
      {"15m", "15m"},
      {"90m", "90m"},
      {"1h30m", "1h30m"},
      {"1500ms", "1500ms"},
      {"0090m", "0090m"},
      {"1h0m", "1h0m"},
      {"2h0m0s0ms", "2h0m0s0ms"},
      {"1m60s", "1m60s"},
      // Sign, fraction, order, repetition and small units are rewritten.
      {"1.5h", "1h30m"},
      {".5h", "30m"},
      {"+90s", "1m30s"},
      {"30m1h", "1h30m"},
      {"1h1h", "2h"},
      {"1.000s", "1s"},
      {"1h.5h", "1h30m"},
      {"61m", "61m"},
      {"1.5s", "1s500ms"},
      {"3600000ms0s", "1h"},
      {"2500000us", "2s500ms"},
      {"2000\u00b5s", "2ms"},
      // Below a millisecond rounds up: a key never expires early.
      {"1ns", "1ms"},
      {"1us", "1ms"},
      {"2m0.0001s", "2m1ms"},
      {"1000001ns", "2ms"},
      {"59.9999999s", "1m"},
      // The largest duration: rounding up would leave headscale's range.
      {"2562047h47m16.854775807s", "2562047h47m16s854ms"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const Expected<int64_t> ns = parseDuration(c.typed);
    ASSERT_TRUE(ns && *ns > 0);
    EXPECT_EQ(headscaleExpiration(c.typed, *ns), c.want);
  }
}

}  // namespace
}  // namespace nimbro
