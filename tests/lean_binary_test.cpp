// What the built tool must not carry: machinery that would run or be paged
// in at every start although no command needs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "support/process.h"

namespace nimbro::testing {
namespace {

// Whether the symbol table listing holds name as a whole symbol, defined or
// only referenced.
bool listsSymbol(std::string_view listing, std::string_view name) {
  size_t at = 0;
  while ((at = listing.find(name, at)) != std::string_view::npos) {
    const bool starts = at > 0 && listing[at - 1] == ' ';
    const size_t end = at + name.size();
    const bool ends = end == listing.size() || listing[end] == '\n';
    if (starts && ends) return true;
    at = end;
  }
  return false;
}

TEST(LeanBinary, CarriesNoStartUpMachineryItDoesNotUse) {
  const std::string nm = "/usr/bin/nm";
  if (access(nm.c_str(), X_OK) != 0) GTEST_SKIP() << "nm is not installed";
  const ProcessResult listing = runProcess({.argv = {nm, "-C", NIMBRO_BINARY}, .env = {}});
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  ASSERT_TRUE(listsSymbol(listing.out, "main")) << "no symbol table to check";

  struct Case {
    const char* name;
    const char* symbol;
  };
  const Case cases[] = {
      // Any use of iostreams constructs the standard streams and the locale
      // before main.
      {"iostreams", "std::ios_base::Init::Init()"},
      {"locale", "std::locale::classic()"},
      // The library's report of an uncaught exception demangles its type
      // name; the tool ends such a run with a line of its own.
      {"demangler", "__cxa_demangle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(listsSymbol(listing.out, c.symbol)) << c.symbol;
  }
}

}  // namespace
}  // namespace nimbro::testing
