#include "base/error.h"

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

Error Error::canceled() {
  Error e;
  e.node_ = std::make_shared<const Node>(Node{"context canceled", ErrorKind::Canceled, -1, {}});
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
  Formatted f = formatWrapping(fmt, args);
  if (f.wrapped == nullptr) return Error::plain(std::move(f.text));
  return Error::wrapped(std::move(f.text), *f.wrapped);
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

int exitStatus(const Error& err) {
  if (!err) return 0;
  if (IsUsageError(err)) return 2;
  if (const Error* exit = findExitError(err); exit && exit->exitCode() >= 0)
    return exit->exitCode();
  return 1;
}

}  // namespace nimbro
