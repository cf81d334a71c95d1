// The duration reader: a text that reads writes back to a text that reads to
// the same value; signs behave; --timeout agrees with the reader; every
// value, however large, survives writing and reading.
#include <cstdint>
#include <limits>

#include "base/format.h"
#include "cli/control_url.h"
#include "cli/duration.h"
#include "duration_text.h"
#include "fuzz_support.h"

using namespace nimbro;

namespace {

constexpr std::string_view kTimeoutMessage =
    "--timeout deve ser uma duração positiva, como 30s ou 2m";

void checkText(std::string_view text) {
  const Expected<int64_t> d = parseDuration(text);
  const Error timeoutErr = validateTimeout(text);
  if (!d) {
    FUZZ_CHECK(d.error().message() == format("time: invalid duration %q", text));
    FUZZ_CHECK(timeoutErr && IsUsageError(timeoutErr) && timeoutErr.message() == kTimeoutMessage);
    return;
  }
  FUZZ_CHECK(!timeoutErr == (*d > 0));
  if (timeoutErr) FUZZ_CHECK(timeoutErr.message() == kTimeoutMessage);

  const std::string written = fuzzing::formatDuration(*d);
  const Expected<int64_t> again = parseDuration(written);
  FUZZ_CHECK(again && *again == *d);

  // An unsigned text reads the same behind "+", and negated behind "-".
  if (!text.empty() && text[0] != '+' && text[0] != '-') {
    const Expected<int64_t> plus = parseDuration("+" + std::string(text));
    const Expected<int64_t> minus = parseDuration("-" + std::string(text));
    FUZZ_CHECK(plus && *plus == *d);
    FUZZ_CHECK(minus && *minus == -*d);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput in(data, size);
  // Any count of nanoseconds at all, from the first eight bytes.
  const auto ns = static_cast<int64_t>(in.u64());
  const Expected<int64_t> back = parseDuration(fuzzing::formatDuration(ns));
  FUZZ_CHECK(back && *back == ns);

  checkText(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
