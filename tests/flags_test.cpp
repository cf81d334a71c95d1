#include "cli/flags.h"

#include <gtest/gtest.h>

namespace nimbro {
namespace {

using Words = std::vector<std::string>;

enum class Outcome { Ok, Help, Failed };

// The options of a join-like command: two text options and one boolean.
struct ParsedWords {
  Outcome outcome;
  std::string failure;
  Words positional;
  std::string control;
  std::string timeout;
  bool deleteToken;
};

ParsedWords parseJoinLike(const Words& words) {
  FlagSet flags = newFlagSet("join");
  std::string& control = flags.stringOption("control", "", "control server URL");
  std::string& timeout = flags.stringOption("timeout", "30s", "time limit");
  bool& deleteToken = flags.boolOption("delete-token", false, "remove the key file");
  const Parsed<Words> parsed = flags.parse(words);
  if (!parsed) return {Outcome::Failed, parsed.error().message(), {}, control, timeout, deleteToken};
  if (!*parsed) return {Outcome::Help, "", {}, control, timeout, deleteToken};
  return {Outcome::Ok, "", **parsed, control, timeout, deleteToken};
}

TEST(FlagSetTest, Outcomes) {
  using enum Outcome;
  struct Case {
    const char* name;
    Words words;
    Outcome outcome;
    std::string failure;
  };
  const Case cases[] = {
      {"no words", {}, Ok, ""},
      {"-h", {"-h"}, Help, ""},
      {"--h", {"--h"}, Help, ""},
      {"-help", {"-help"}, Help, ""},
      {"--help", {"--help"}, Help, ""},
      {"--help with value", {"--help=no"}, Help, ""},
      {"-h with empty value", {"-h="}, Help, ""},
      {"help wins over what follows", {"--control", "https://x", "--help", "--verbose", "x"}, Help, ""},
      {"help after an option value", {"--timeout=5s", "-h"}, Help, ""},
      {"help after a positional word", {"extra", "--help"}, Ok, ""},
      {"help after --", {"--", "--help"}, Ok, ""},
      {"help as a text value", {"--control", "--help"}, Ok, ""},
      {"unknown option", {"--verbose"}, Failed, "flag provided but not defined: -verbose"},
      {"unknown option with value", {"--verbose=1"}, Failed, "flag provided but not defined: -verbose"},
      {"number as option", {"-5"}, Failed, "flag provided but not defined: -5"},
      {"three dashes", {"---control"}, Failed, "bad flag syntax: ---control"},
      {"dash equals", {"-=x"}, Failed, "bad flag syntax: -=x"},
      {"two dashes equals", {"--=x"}, Failed, "bad flag syntax: --=x"},
      {"text option last", {"--control"}, Failed, "flag needs an argument: -control"},
      {"text option last after others", {"--delete-token", "--timeout"}, Failed, "flag needs an argument: -timeout"},
      {"bool empty value", {"--delete-token="}, Failed, "invalid boolean value \"\" for -delete-token: parse error"},
      {"bool bad value", {"--delete-token=yes"}, Failed, "invalid boolean value \"yes\" for -delete-token: parse error"},
      {"bool value quoted", {"-delete-token=a\"b\n"}, Failed,
       "invalid boolean value \"a\\\"b\\n\" for -delete-token: parse error"},
      {"failure stops before help", {"--verbose", "--help"}, Failed, "flag provided but not defined: -verbose"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ParsedWords got = parseJoinLike(c.words);
    EXPECT_EQ(got.outcome, c.outcome);
    EXPECT_EQ(got.failure, c.failure);
  }
}

TEST(FlagSetTest, Values) {
  struct Case {
    const char* name;
    Words words;
    std::string control;
    std::string timeout;
    bool deleteToken;
    Words positional;
  };
  const Case cases[] = {
      {"defaults", {}, "", "30s", false, {}},
      {"separate value", {"--control", "https://a"}, "https://a", "30s", false, {}},
      {"attached value", {"-control=https://a"}, "https://a", "30s", false, {}},
      {"attached empty value", {"--control="}, "", "30s", false, {}},
      {"value holding =", {"--control=a=b"}, "a=b", "30s", false, {}},
      {"next word starting with a dash", {"--timeout", "-5m"}, "", "-5m", false, {}},
      {"next word that is --", {"--control", "--", "x"}, "--", "30s", false, {"x"}},
      {"next word that is empty", {"--control", "", "x"}, "", "30s", false, {"x"}},
      {"last occurrence wins", {"--control", "a", "--control=b"}, "b", "30s", false, {}},
      {"bool alone", {"--delete-token"}, "", "30s", true, {}},
      {"bool does not take the next word", {"--delete-token", "false"}, "", "30s", true, {"false"}},
      {"bool =false", {"--delete-token=false"}, "", "30s", false, {}},
      {"bool =T", {"--delete-token=T"}, "", "30s", true, {}},
      {"bool =1", {"--delete-token=1"}, "", "30s", true, {}},
      {"bool =TRUE", {"--delete-token=TRUE"}, "", "30s", true, {}},
      {"bool =True", {"--delete-token=True"}, "", "30s", true, {}},
      {"bool =t", {"--delete-token=t"}, "", "30s", true, {}},
      {"bool =0 after true", {"--delete-token", "--delete-token=0"}, "", "30s", false, {}},
      {"bool =F after true", {"--delete-token", "--delete-token=F"}, "", "30s", false, {}},
      {"bool =FALSE after true", {"--delete-token", "--delete-token=FALSE"}, "", "30s", false, {}},
      {"bool =False after true", {"--delete-token", "--delete-token=False"}, "", "30s", false, {}},
      {"bool =f after true", {"--delete-token", "--delete-token=f"}, "", "30s", false, {}},
      {"lone dash is positional", {"-", "--control", "a"}, "", "30s", false, {"-", "--control", "a"}},
      {"empty word is positional", {"", "--delete-token"}, "", "30s", false, {"", "--delete-token"}},
      {"options stop at a positional word", {"--control", "a", "extra", "--timeout", "1s"}, "a", "30s", false,
       {"extra", "--timeout", "1s"}},
      {"-- is dropped", {"--delete-token", "--", "--control", "a"}, "", "30s", true, {"--control", "a"}},
      {"only the first -- is dropped", {"--", "--"}, "", "30s", false, {"--"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ParsedWords got = parseJoinLike(c.words);
    ASSERT_EQ(got.outcome, Outcome::Ok) << got.failure;
    EXPECT_EQ(got.control, c.control);
    EXPECT_EQ(got.timeout, c.timeout);
    EXPECT_EQ(got.deleteToken, c.deleteToken);
    EXPECT_EQ(got.positional, c.positional);
  }
}

// A command registers its options one after another and keeps the
// references; every one must still be where parse writes its value.
TEST(FlagSetTest, ValuesStayBoundAsOptionsAreAdded) {
  FlagSet flags = newFlagSet("many");
  std::vector<std::string*> texts;
  std::vector<bool*> bools;
  Words words;
  for (int i = 0; i < 64; ++i) {
    const std::string n = std::to_string(i);
    texts.push_back(&flags.stringOption("text-" + n, "default", ""));
    bools.push_back(&flags.boolOption("bool-" + n, false, ""));
    words.insert(words.end(), {"--text-" + n, "value-" + n, "--bool-" + n});
  }
  const Parsed<Words> parsed = flags.parse(words);
  ASSERT_TRUE(parsed && *parsed) << (parsed ? "help" : parsed.error().message());
  EXPECT_TRUE((*parsed)->empty());
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(*texts[i], "value-" + std::to_string(i));
    EXPECT_TRUE(*bools[i]);
  }
}

TEST(IsHelpWord, OnlyTheThreeWords) {
  for (const char* w : {"help", "-h", "--help"}) EXPECT_TRUE(isHelpWord(w)) << w;
  for (const char* w : {"Help", "-help", "--h", "h", "", "--help=1", "help "}) EXPECT_FALSE(isHelpWord(w)) << w;
}

}  // namespace
}  // namespace nimbro
