// How the tool makes its errors and reads their outcome: every message is a
// literal at the place that returns it, formatted here, and the chain of
// causes decides the exit status.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/format.h"

namespace nimbro {

// A usage error whose message is fmt filled with args (always formatted, also
// without arguments, so a stray % shows).
template <typename... Args>
Error usageError(std::string_view fmt, const Args&... args) {
  return Error::usage(format(fmt, args...));
}

// A plain error whose message is fmt filled with args. The Error argument
// that fills a %w verb becomes the wrapped cause.
Error errorfArgs(std::string_view fmt, std::initializer_list<FormatArg> args);
template <typename... Args>
Error errorf(std::string_view fmt, const Args&... args) {
  return errorfArgs(fmt, {FormatArg(args)...});
}

// Whether err or any error it wraps is a usage error.
bool IsUsageError(const Error& err);
// The exit error nearest the top of err's chain, if any.
const Error* findExitError(const Error& err);

// The process exit status for a command's outcome: 0 for success, 2 when a
// usage error is anywhere in the chain, a child's own exit code when an exit
// error with a code of 0 or more is, and 1 otherwise.
int exitStatus(const Error& err);

}  // namespace nimbro
