// %q quoting: whatever the bytes, the quoted text is valid UTF-8 made only of
// printable characters, and it reads back to exactly the bytes quoted.
#include <cstdint>

#include "base/format.h"
#include "base/quote.h"
#include "base/unicode.h"
#include "base/utf8.h"
#include "fuzz_support.h"
#include "unquote.h"
#include "utf8_text.h"

using namespace nimbro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::string q = format("%q", in);

  FUZZ_CHECK(fuzzing::isValidUtf8(q));
  for (std::string_view rest = q; !rest.empty();) {
    const DecodedRune r = decodeRune(rest);
    FUZZ_CHECK(isPrint(r.rune));
    rest.remove_prefix(r.size);
  }
  // No byte grows past a four-character \x escape.
  FUZZ_CHECK(q.size() <= 2 + 4 * in.size());

  const std::optional<std::string> back = fuzzing::unquote(q);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(*back == in);

  // The quoting appends, also after other text.
  std::string appended = "x";
  appendQuoted(appended, in);
  FUZZ_CHECK(appended == "x" + q);
  return 0;
}
