#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "base/path.h"
#include "base/strings.h"
#include "base/unicode.h"
#include "base/utf8.h"

namespace nimbro {
namespace {

TEST(TrimSpace, RemovesUnicodeWhiteSpaceOnly) {
  struct Case {
    const char* name;
    std::string in;
    std::string want;
  } cases[] = {
      {"ascii", " \t\r\n\v\fx y\r\n", "x y"},
      {"next line and no-break space", "\u0085\u00a0x\u00a0", "x"},
      {"ideographic and en spaces", "\u3000\u2002x\u205f", "x"},
      {"zero width space is not white space", "\u200bx", "\u200bx"},
      {"lone 0x85 byte stays", "\x85x\x85", "\x85x\x85"},
      {"lone 0xa0 byte stays", "\xa0x\xa0", "\xa0x\xa0"},
      {"only spaces", " \u00a0 ", ""},
      {"inner space kept", "a  b", "a  b"},
      {"byte order mark stays", "\ufeffx", "\ufeffx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(trimSpace(c.in), c.want);
  }
}

TEST(LowerFirstLetter, TurnsSystemSentencesIntoFragments) {
  // The system's texts for errors and signals both pass here, so "CPU time
  // limit exceeded" keeps its acronym in either.
  struct Case {
    const char* in;
    const char* want;
  } cases[] = {
      {"No such file or directory", "no such file or directory"},
      {"Killed", "killed"},
      {"CPU time limit exceeded", "CPU time limit exceeded"},
      {"already lower", "already lower"},
      {"X", "x"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(lowerFirstLetter(c.in), c.want);
  }
}

TEST(Unicode, Printable) {
  EXPECT_TRUE(isPrint(' '));
  EXPECT_FALSE(isPrint(0x00a0));
  EXPECT_TRUE(isPrint(0x00e7));   // ç
  EXPECT_FALSE(isPrint(0x0085));
  EXPECT_TRUE(isPrint(0x1F600));
  EXPECT_FALSE(isPrint(0x10FFFF));
  EXPECT_TRUE(isPrint(0x4E00));   // inside a First/Last range of the database
}

// The characters whose simple folding is ASCII, as the Unicode data says:
// tests/data/ascii_folds.txt, written by src/base/gen_unicode_tables.py.
std::map<char32_t, char32_t> asciiFoldsFromTheData() {
  std::map<char32_t, char32_t> folds;
  std::ifstream in(NIMBRO_TEST_DATA "/ascii_folds.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    unsigned from = 0, to = 0;
    fields >> std::hex >> from >> to;
    folds[from] = to;
  }
  return folds;
}

std::string utf8(char32_t r) {
  std::string s;
  if (r < 0x80) {
    s += static_cast<char>(r);
  } else if (r < 0x800) {
    s += static_cast<char>(0xC0 | r >> 6);
    s += static_cast<char>(0x80 | (r & 0x3F));
  } else if (r < 0x10000) {
    s += static_cast<char>(0xE0 | r >> 12);
    s += static_cast<char>(0x80 | (r >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (r & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | r >> 18);
    s += static_cast<char>(0x80 | (r >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (r >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (r & 0x3F));
  }
  return s;
}

// Every character against every lower-case ASCII letter: it matches the
// letter exactly when it is the letter or the data folds it to the letter.
TEST(Unicode, EqualFoldASCIIAgreesWithTheData) {
  const std::map<char32_t, char32_t> folds = asciiFoldsFromTheData();
  ASSERT_GE(folds.size(), 28u);  // A to Z, and more
  for (char32_t r = 0; r <= 0x10FFFF; ++r) {
    if (r >= 0xD800 && r <= 0xDFFF) continue;  // surrogates have no encoding
    const std::string s = utf8(r);
    const auto fold = folds.find(r);
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      const bool want = r == static_cast<char32_t>(letter) ||
                        (fold != folds.end() && fold->second == static_cast<char32_t>(letter));
      if (equalFoldASCII(s, std::string(1, letter)) != want) {
        ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(r) << " against " << letter;
      }
    }
  }
}

TEST(Unicode, EqualFoldASCIIWholeWords) {
  EXPECT_TRUE(equalFoldASCII("LocalHost", "localhost"));
  EXPECT_TRUE(equalFoldASCII("LOCALHO\u017FT", "localhost"));
  EXPECT_TRUE(equalFoldASCII("\u212Aey", "key"));
  EXPECT_TRUE(equalFoldASCII("", ""));
  EXPECT_FALSE(equalFoldASCII("localhost.", "localhost"));
  EXPECT_FALSE(equalFoldASCII("localhos", "localhost"));
  EXPECT_FALSE(equalFoldASCII("\u0130", "i"));  // dotted capital I has no simple folding
  EXPECT_FALSE(equalFoldASCII("localhos\xff", "localhost"));
  EXPECT_FALSE(equalFoldASCII("localhos\xc5", "localhost"));  // a cut-off long s
}

TEST(Utf8, DecodesOnlyValidSequences) {
  struct Case {
    const char* name;
    std::string in;
    char32_t rune;
    size_t size;
    bool valid;
  } cases[] = {
      {"ascii", "a", U'a', 1, true},
      {"two bytes", "\u00e7", 0xe7, 2, true},
      {"three bytes", "\u20ac", 0x20ac, 3, true},
      {"four bytes", "\U0010FFFF", 0x10FFFF, 4, true},
      {"overlong two", "\xc1\x81", kRuneError, 1, false},
      {"overlong three", "\xe0\x80\x80", kRuneError, 1, false},
      {"surrogate", "\xed\xb0\x80", kRuneError, 1, false},
      {"beyond range", "\xf4\x90\x80\x80", kRuneError, 1, false},
      {"truncated", "\xe2\x82", kRuneError, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DecodedRune d = decodeRune(c.in);
    EXPECT_EQ(d.rune, c.rune);
    EXPECT_EQ(d.size, c.size);
    EXPECT_EQ(d.valid, c.valid);
  }
}

TEST(Path, CleansLexically) {
  struct Case {
    std::string in, clean, dir;
  } cases[] = {
      {"", ".", "."},
      {"compose.yml", "compose.yml", "."},
      {"/srv/cell/compose.yml", "/srv/cell/compose.yml", "/srv/cell"},
      {"//a//b/./c/", "/a/b/c", "/a/b/c"},
      {"/../a/..", "/", "/a"},
      {"a/../../b", "../b", "a/../.."},
      {"./x/../", ".", "x/.."},
      {"../../x", "../../x", "../.."},
      {"/a/b/../../..", "/", "/a/b/../.."},
      {"/", "/", "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(cleanPath(c.in), c.clean);
    EXPECT_EQ(dirPath(c.in), cleanPath(c.dir));
  }
  EXPECT_EQ(joinPath("/srv/cell", ".env"), "/srv/cell/.env");
  EXPECT_EQ(joinPath(".", ".env"), ".env");
  EXPECT_EQ(joinPath("", "x"), "x");
}

}  // namespace
}  // namespace nimbro
