// How the tool ends when the C++ library gives up: a length beyond what a
// string can hold, memory that cannot be had. Errors of the tool itself are
// values and nothing is ever caught, so each of these ends the process by
// SIGABRT whatever handles it. Handling it here, in a few lines, keeps the
// library's own report out of the static binary: a C++ name demangler, the
// exception classes with a second copy of the string code, and what those
// drag in, all of which would be mapped at every start.
//
// The throw helpers are defined with the signatures the library declares; if
// the library ever needs one that is missing here, the link fails on a
// duplicate definition instead of quietly taking its own.
#include <bits/functexcept.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <string_view>

namespace {

[[noreturn]] void abortWith(std::string_view what) {
  constexpr std::string_view prefix = "nimbro: erro interno: ";
  (void)!::write(STDERR_FILENO, prefix.data(), prefix.size());
  (void)!::write(STDERR_FILENO, what.data(), what.size());
  (void)!::write(STDERR_FILENO, "\n", 1);
  std::abort();
}

}  // namespace

namespace std {

void __throw_bad_exception() { abortWith("bad_exception"); }
void __throw_bad_alloc() { abortWith("bad_alloc"); }
void __throw_bad_array_new_length() { abortWith("bad_array_new_length"); }
void __throw_bad_cast() { abortWith("bad_cast"); }
void __throw_bad_typeid() { abortWith("bad_typeid"); }
void __throw_logic_error(const char* what) { abortWith(what); }
void __throw_domain_error(const char* what) { abortWith(what); }
void __throw_invalid_argument(const char* what) { abortWith(what); }
void __throw_length_error(const char* what) { abortWith(what); }
void __throw_out_of_range(const char* what) { abortWith(what); }
// The format begins with the name of the function that refused; the rest
// only adds numbers.
void __throw_out_of_range_fmt(const char* format, ...) {
  const std::string_view text(format);
  abortWith(text.substr(0, text.find(": ")));
}
void __throw_runtime_error(const char* what) { abortWith(what); }
void __throw_range_error(const char* what) { abortWith(what); }
void __throw_overflow_error(const char* what) { abortWith(what); }
void __throw_underflow_error(const char* what) { abortWith(what); }

}  // namespace std

namespace __gnu_cxx {

// Reached by anything thrown that nobody catches, such as operator new's
// bad_alloc.
void __verbose_terminate_handler() {
  const char* what = "terminate";
  if (std::current_exception()) {
    try {
      throw;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
  }
  abortWith(what);
}

}  // namespace __gnu_cxx
