#include "cli/errors.h"

namespace nimbro {

struct Error::Node {
  std::string message;
  ErrorKind kind;
  int exitCode;
  Error cause;
};

Error Error::plain(std::string text) {
  Error e;
  e.node_ = std::make_shared<const Node>(Node{std::move(text), ErrorKind::Plain, -1, {}});
  return e;
}

Error Error::exit(std::string text, int code) {
  Error e;
  e.node_ = std::make_shared<const Node>(Node{std::move(text), ErrorKind::Exit, code, {}});
  return e;
}

Error Error::usage(std::string text) {
  Error e;
  e.node_ = std::make_shared<const Node>(Node{std::move(text), ErrorKind::Usage, -1, {}});
  return e;
}

Error Error::wrapped(std::string text, Error cause) {
  Error e;
  e.node_ =
      std::make_shared<const Node>(Node{std::move(text), ErrorKind::Plain, -1, std::move(cause)});
  return e;
}

const std::string& Error::message() const {
  static const std::string empty;
  return node_ ? node_->message : empty;
}

ErrorKind Error::kind() const { return node_ ? node_->kind : ErrorKind::Plain; }

int Error::exitCode() const { return node_ ? node_->exitCode : -1; }

const Error& Error::cause() const {
  static const Error none;
  return node_ ? node_->cause : none;
}

Error errorfArgs(std::string_view fmt, std::initializer_list<FormatArg> args) {
  // Only the argument a %w verb consumes becomes the cause; count verbs to
  // find it, as the formatter consumes arguments in order.
  Error cause;
  auto next = args.begin();
  for (size_t i = 0; i + 1 < fmt.size() && next != args.end(); ++i) {
    if (fmt[i] != '%') continue;
    const char verb = fmt[++i];
    if (verb == '%') continue;
    if (verb == 'w' && next->type() == FormatArg::Type::Error && !cause) cause = next->error();
    ++next;
  }
  std::string text = formatArgs(fmt, args);
  return cause ? Error::wrapped(std::move(text), std::move(cause)) : Error::plain(std::move(text));
}

bool IsUsageError(const Error& err) {
  for (const Error* e = &err; *e; e = &e->cause()) {
    if (e->kind() == ErrorKind::Usage) return true;
  }
  return false;
}

const Error* findExitError(const Error& err) {
  for (const Error* e = &err; *e; e = &e->cause()) {
    if (e->kind() == ErrorKind::Exit) return e;
  }
  return nullptr;
}

}  // namespace nimbro

namespace nimbro {

int exitStatus(const Error& err) {
  if (!err) return 0;
  if (IsUsageError(err)) return 2;
  if (const Error* exit = findExitError(err); exit && exit->exitCode() >= 0)
    return exit->exitCode();
  return 1;
}

}  // namespace nimbro
