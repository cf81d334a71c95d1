// What every fuzz target shares: a check that stops the run with the input
// saved, and a reader that turns the fuzzer's bytes into structured input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// A violated property is a finding: say which and abort, so libFuzzer keeps
// the input as a crash artifact.
#define FUZZ_CHECK(cond)                                                                  \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

namespace nimbro::fuzzing {

// Consumes the fuzzer's bytes from the front. Every take succeeds: past the
// end it yields zeros and empty texts, so any input is a valid one.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }

  uint64_t u64() {
    uint64_t v = 0;
    const size_t n = rest_.size() < sizeof v ? rest_.size() : sizeof v;
    std::memcpy(&v, rest_.data(), n);
    rest_.remove_prefix(n);
    return v;
  }

  // The bytes up to the next NUL (which is dropped), or all that is left.
  std::string_view word() {
    const size_t nul = rest_.find('\0');
    const std::string_view w = rest_.substr(0, nul);
    rest_.remove_prefix(nul == std::string_view::npos ? rest_.size() : nul + 1);
    return w;
  }

  // Every remaining NUL-separated word. An input ending in NUL ends with
  // an empty word, so empty words can be fuzzed too.
  std::vector<std::string> words() {
    std::vector<std::string> out;
    while (!rest_.empty()) {
      const size_t nul = rest_.find('\0');
      out.emplace_back(rest_.substr(0, nul));
      if (nul == std::string_view::npos) break;
      rest_.remove_prefix(nul + 1);
      if (rest_.empty()) out.emplace_back();
    }
    rest_ = {};
    return out;
  }

  std::string_view rest() {
    const std::string_view r = rest_;
    rest_ = {};
    return r;
  }
  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

}  // namespace nimbro::fuzzing
