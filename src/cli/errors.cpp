#include "cli/errors.h"

namespace nimbro {

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
