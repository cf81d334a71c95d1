// The message formatter: literal text and well-typed arguments come out
// exactly, in order; any format at all is rendered with its mistakes shown,
// within a size the input bounds; errorf keeps the cause that %w consumed.
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/format.h"
#include "fuzz_support.h"

using namespace nimbro;

namespace {

// The arguments own what the FormatArgs borrow.
struct Arg {
  FormatArg::Type type;
  std::string text;
  int64_t i = 0;
  uint64_t u = 0;
  Error err;

  FormatArg view() const {
    switch (type) {
      case FormatArg::Type::String: return FormatArg(text);
      case FormatArg::Type::Int: return FormatArg(i);
      case FormatArg::Type::Uint: return FormatArg(u);
      case FormatArg::Type::Error: return FormatArg(err);
    }
    return FormatArg(text);
  }
  size_t renderedBound() const { return 2 + 4 * text.size() + 32; }
};

Arg takeArg(fuzzing::FuzzInput& in) {
  Arg a{.type = static_cast<FormatArg::Type>(in.byte() % 4), .text = {}};
  switch (a.type) {
    case FormatArg::Type::String: a.text = in.word(); break;
    case FormatArg::Type::Int: a.i = static_cast<int64_t>(in.u64()); break;
    case FormatArg::Type::Uint: a.u = in.u64(); break;
    case FormatArg::Type::Error:
      a.text = in.word();
      a.err = in.byte() % 2 ? Error::usage(a.text) : Error::exit(a.text, 3);
      break;
  }
  return a;
}

// A verb this argument fits, and what it must render as.
std::pair<char, std::string> fittingVerb(const Arg& a, uint8_t pick) {
  switch (a.type) {
    case FormatArg::Type::Int:
      return {pick % 2 ? 'd' : 'v', std::to_string(a.i)};
    case FormatArg::Type::Uint:
      return {pick % 2 ? 'd' : 'v', std::to_string(a.u)};
    case FormatArg::Type::String:
      if (pick % 3 == 0) return {'q', format("%q", a.text)};
      return {pick % 3 == 1 ? 's' : 'v', a.text};
    case FormatArg::Type::Error:
      if (pick % 4 == 0) return {'q', format("%q", a.text)};
      return {"swv"[pick % 3], a.text};
  }
  return {'v', a.text};
}

std::string render(std::string_view fmt, const std::vector<Arg>& args) {
  switch (args.size()) {
    case 0: return format(fmt);
    case 1: return format(fmt, args[0].view());
    case 2: return format(fmt, args[0].view(), args[1].view());
    default: return format(fmt, args[0].view(), args[1].view(), args[2].view());
  }
}

Error renderError(std::string_view fmt, const std::vector<Arg>& args) {
  switch (args.size()) {
    case 0: return errorf(fmt);
    case 1: return errorf(fmt, args[0].view());
    case 2: return errorf(fmt, args[0].view(), args[1].view());
    default: return errorf(fmt, args[0].view(), args[1].view(), args[2].view());
  }
}

// Literal pieces (without "%") and one fitting verb per argument.
void checkWellTyped(fuzzing::FuzzInput& in, const std::vector<Arg>& args) {
  std::string fmt, want;
  const Error* wantCause = nullptr;
  for (const Arg& a : args) {
    std::string literal(in.word());
    std::erase(literal, '%');
    const auto [verb, text] = fittingVerb(a, in.byte());
    fmt += literal + "%" + verb;
    want += literal + text;
    if (in.byte() % 2) {
      fmt += "%%";
      want += "%";
    }
    if (verb == 'w' && wantCause == nullptr) wantCause = &a.err;
  }
  FUZZ_CHECK(render(fmt, args) == want);
  const Error e = renderError(fmt, args);
  FUZZ_CHECK(e && e.message() == want);
  if (wantCause == nullptr) {
    FUZZ_CHECK(!e.cause());
  } else {
    FUZZ_CHECK(e.cause().message() == wantCause->message());
    FUZZ_CHECK(e.cause().kind() == wantCause->kind());
    FUZZ_CHECK(IsUsageError(e) == (wantCause->kind() == ErrorKind::Usage));
  }
}

// Any format with any arguments: the count of verbs against arguments shows
// as MISSING or EXTRA, and the text stays within what the input bounds.
void checkAnyFormat(std::string_view fmt, const std::vector<Arg>& args) {
  const std::string out = render(fmt, args);
  size_t verbs = 0;
  bool dangling = false;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%') continue;
    if (i + 1 == fmt.size()) {
      dangling = true;
      break;
    }
    if (fmt[++i] != '%') ++verbs;
  }
  if (fmt.find('%') == std::string_view::npos && args.empty()) FUZZ_CHECK(out == fmt);
  if (verbs > args.size()) FUZZ_CHECK(out.find("(MISSING)") != std::string::npos);
  if (verbs < args.size()) FUZZ_CHECK(out.find("%!(EXTRA ") != std::string::npos);
  if (dangling) FUZZ_CHECK(out.find("%!(NOVERB)") != std::string::npos);

  size_t bound = 16 + 12 * fmt.size();
  for (const Arg& a : args) bound += a.renderedBound() + 16;
  FUZZ_CHECK(out.size() <= bound);
  FUZZ_CHECK(renderError(fmt, args).message() == out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput in(data, size);
  const uint8_t mode = in.byte();
  std::vector<Arg> args;
  for (int n = in.byte() % 4; n > 0; --n) args.push_back(takeArg(in));
  if (mode % 2 == 0) {
    checkWellTyped(in, args);
  } else {
    checkAnyFormat(in.rest(), args);
  }
  return 0;
}
