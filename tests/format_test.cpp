#include "base/format.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace nimbro {
namespace {

TEST(Quote, EscapesLikeTheMessagesNeed) {
  struct Case {
    const char* name;
    std::string in;
    std::string want;
  } cases[] = {
      {"empty", "", R"("")"},
      {"plain", "join", R"("join")"},
      {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
      {"named controls", "\a\b\f\n\r\t\v", R"("\a\b\f\n\r\t\v")"},
      {"other control bytes", std::string("\x00\x01\x1b\x7f", 4), R"("\x00\x01\x1b\x7f")"},
      {"accented letters stay", "ação é", "\"ação é\""},
      {"no-break space", "a\u00a0b", R"("a\u00a0b")"},
      {"C1 control is a character", "\u009b", R"("\u009b")"},
      {"lone continuation byte", "\x9b", R"("\x9b")"},
      {"truncated sequence", "\xc3", R"("\xc3")"},
      {"overlong slash", "\xc0\xaf", R"("\xc0\xaf")"},
      {"surrogate bytes", "\xed\xa0\x80", R"("\xed\xa0\x80")"},
      {"zero width space", "\u200b", R"("\u200b")"},
      {"line separator", "\u2028", R"("\u2028")"},
      {"emoji is printable", "\U0001F600", "\"\U0001F600\""},
      {"unassigned plane", "\U000E0001", R"("\U000e0001")"},
      {"replacement character itself", "\uFFFD", "\"\uFFFD\""},
      {"private use", "\uE000", R"("\ue000")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(format("%q", c.in), c.want);
  }
}

TEST(Format, FillsVerbs) {
  const Error cause = Error::plain("exit status 3");
  struct Case {
    const char* name;
    std::string got;
    std::string want;
  } cases[] = {
      {"string", format("a %s b", "x y"), "a x y b"},
      {"quoted", format("%q", "Help"), "\"Help\""},
      {"signed", format("%d", -42), "-42"},
      {"unsigned max", format("%d", uint64_t{18446744073709551615u}), "18446744073709551615"},
      {"uint32", format("o UID deve ser %d", uint32_t{0}), "o UID deve ser 0"},
      {"error under v", format("x: %v", cause), "x: exit status 3"},
      {"error under w", format("x: %w", cause), "x: exit status 3"},
      {"percent", format("100%%"), "100%"},
      {"no arguments still formats", format("a %% b"), "a % b"},
      {"missing", format("%s and %s", "a"), "a and %!s(MISSING)"},
      {"extra", format("%s", "a", 5), "a%!(EXTRA int=5)"},
      {"wrong verb", format("%d", "x"), "%!d(string=x)"},
      {"w on a string", format("%w", "x"), "%!w(string=x)"},
      {"unknown verb", format("%z", 1), "%!z(int=1)"},
      {"trailing percent", format("50%"), "50%!(NOVERB)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(Format, ReportsTheErrorThatPercentWTook) {
  const Error first = Error::plain("first"), second = Error::plain("second");
  struct Case {
    const char* name;
    Formatted got;
    const Error* want;
  } cases[] = {
      {"after an error under v", formatWrapping("%v: %w", {first, second}), &second},
      {"the first of two", formatWrapping("%w %w", {first, second}), &first},
      {"after an escaped percent", formatWrapping("%%w %w", {first}), &first},
      {"after a string", formatWrapping("%s %w", {"a", second}), &second},
      {"w on a string takes nothing", formatWrapping("%w %v", {"a", first}), nullptr},
      {"w without an argument", formatWrapping("%v %w", {first}), nullptr},
      {"no w", formatWrapping("%v %s", {first, second}), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got.wrapped, c.want);
  }
}

}  // namespace
}  // namespace nimbro
