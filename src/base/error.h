// Errors as values. An empty Error means success; a failed one holds its
// rendered message, what kind of failure it is, and the error it wraps.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <variant>

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

}  // namespace nimbro
