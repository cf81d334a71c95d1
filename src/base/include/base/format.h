// Message formatting with the verbs the tool's messages use: %s %d %v %q %w
// and %%. A verb that does not fit its argument, a missing argument and an
// extra argument are rendered visibly ("%!d(string=x)", "%!s(MISSING)",
// "%!(EXTRA string=x)"), never silently dropped, so a wrong format shows in
// the text instead of corrupting it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace nimbro {

class Error;

// One argument of a format call. Built implicitly from strings, integers and
// errors; it only borrows what it refers to.
class FormatArg {
 public:
  enum class Type { String, Int, Uint, Error };

  FormatArg(std::string_view s) : type_(Type::String), str_(s) {}
  FormatArg(const std::string& s) : type_(Type::String), str_(s) {}
  FormatArg(const char* s) : type_(Type::String), str_(s) {}
  template <typename T>
    requires(std::is_integral_v<T> && std::is_signed_v<T> && !std::is_same_v<T, bool>)
  FormatArg(T v) : type_(Type::Int), int_(v) {}
  template <typename T>
    requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
  FormatArg(T v) : type_(Type::Uint), uint_(v) {}
  FormatArg(const Error& e) : type_(Type::Error), err_(&e) {}

  Type type() const { return type_; }
  std::string_view str() const { return str_; }
  int64_t intValue() const { return int_; }
  uint64_t uintValue() const { return uint_; }
  const Error& error() const { return *err_; }

 private:
  Type type_;
  std::string_view str_;
  int64_t int_ = 0;
  uint64_t uint_ = 0;
  const Error* err_ = nullptr;
};

// Fills fmt with args. An Error argument renders as its message under %s,
// %v, %q and %w.
std::string formatArgs(std::string_view fmt, std::initializer_list<FormatArg> args);

struct Formatted {
  std::string text;
  const Error* wrapped = nullptr;  // the Error argument the first %w took, if any
};
// As formatArgs, and which argument a %w verb consumed, so an error made from
// the text can keep it as its cause.
Formatted formatWrapping(std::string_view fmt, std::initializer_list<FormatArg> args);

template <typename... Args>
std::string format(std::string_view fmt, const Args&... args) {
  return formatArgs(fmt, {FormatArg(args)...});
}

}  // namespace nimbro
