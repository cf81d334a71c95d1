// Errors as values. An empty Error means success; a failed one holds its
// rendered message, what kind of failure it is, and the error it wraps.
// Every message is a literal at the place that returns it, formatted here,
// and the chain of causes decides the exit status.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "base/format.h"

namespace nimbro {

enum class ErrorKind {
  Plain,     // a failure of the system or of a child program
  Usage,     // the tool was called wrongly; exit status 2
  Exit,      // a child ran and ended unsuccessfully; carries its exit code
  Canceled,  // the run was cancelled before the operation could finish
};

class [[nodiscard]] Error {
 public:
  Error() = default;

  // A plain error whose message is exactly text.
  static Error plain(std::string text);
  // A child's unsuccessful end: code is what it passed to exit, or -1 when
  // it did not exit (killed by a signal).
  static Error exit(std::string text, int code);
  static Error usage(std::string text);
  // The end of an operation because the run was cancelled: "context canceled".
  static Error canceled();
  // A plain error with the given rendered text that keeps cause attached.
  static Error wrapped(std::string text, Error cause);

  // True when this holds a failure.
  explicit operator bool() const { return node_ != nullptr; }

  const std::string& message() const;
  ErrorKind kind() const;
  // The exit code of an Exit error; -1 otherwise.
  int exitCode() const;
  // The wrapped error; an empty Error when there is none.
  const Error& cause() const;

 private:
  struct Node;
  std::shared_ptr<const Node> node_;
};

// A value or the error that prevented it.
template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : v_(std::move(value)) {}
  Expected(Error err) : v_(std::move(err)) {}

  explicit operator bool() const { return std::holds_alternative<T>(v_); }
  T& operator*() { return std::get<T>(v_); }
  const T& operator*() const { return std::get<T>(v_); }
  T* operator->() { return &std::get<T>(v_); }
  const T* operator->() const { return &std::get<T>(v_); }
  // The failure; only valid when this holds no value.
  Error error() const { return std::get<Error>(v_); }

 private:
  std::variant<T, Error> v_;
};

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
