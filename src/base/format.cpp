#include "base/format.h"

#include <charconv>

#include "base/error.h"
#include "base/quote.h"

namespace nimbro {
namespace {

std::string_view typeName(const FormatArg& a) {
  switch (a.type()) {
    case FormatArg::Type::String: return "string";
    case FormatArg::Type::Int: return "int";
    case FormatArg::Type::Uint: return "uint";
    case FormatArg::Type::Error: return "error";
  }
  return "?";
}

void appendInt(std::string& out, const FormatArg& a) {
  char buf[24];
  auto res = a.type() == FormatArg::Type::Int ? std::to_chars(buf, buf + sizeof buf, a.intValue())
                                              : std::to_chars(buf, buf + sizeof buf, a.uintValue());
  out.append(buf, res.ptr);
}

bool isInteger(const FormatArg& a) {
  return a.type() == FormatArg::Type::Int || a.type() == FormatArg::Type::Uint;
}

std::string_view text(const FormatArg& a) {
  return a.type() == FormatArg::Type::Error ? std::string_view(a.error().message()) : a.str();
}

// The argument's natural text, as %v renders it.
void appendValue(std::string& out, const FormatArg& a) {
  if (isInteger(a)) {
    appendInt(out, a);
  } else {
    out += text(a);
  }
}

// A verb that does not fit its argument shows both: "%!d(string=x)".
void appendBadVerb(std::string& out, char verb, const FormatArg& a) {
  out += "%!";
  out += verb;
  out += '(';
  out += typeName(a);
  out += '=';
  appendValue(out, a);
  out += ')';
}

// Returns whether the verb was a %w that took its Error argument.
bool appendVerb(std::string& out, char verb, const FormatArg& a) {
  const bool isError = a.type() == FormatArg::Type::Error;
  switch (verb) {
    case 'v':
      appendValue(out, a);
      return false;
    case 'd':
      if (!isInteger(a)) break;
      appendInt(out, a);
      return false;
    case 's':
      if (isInteger(a)) break;
      out += text(a);
      return false;
    case 'q':
      if (isInteger(a)) break;
      appendQuoted(out, text(a));
      return false;
    case 'w':
      if (!isError) break;
      out += text(a);
      return true;
  }
  appendBadVerb(out, verb, a);
  return false;
}

}  // namespace

std::string formatArgs(std::string_view fmt, std::initializer_list<FormatArg> args) {
  return formatWrapping(fmt, args).text;
}

Formatted formatWrapping(std::string_view fmt, std::initializer_list<FormatArg> args) {
  Formatted result;
  std::string& out = result.text;
  out.reserve(fmt.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i == fmt.size()) {
      out += "%!(NOVERB)";
      break;
    }
    const char verb = fmt[i];
    if (verb == '%') {
      out += '%';
    } else if (next == args.end()) {
      out += "%!";
      out += verb;
      out += "(MISSING)";
    } else {
      const FormatArg& arg = *next++;
      if (appendVerb(out, verb, arg) && result.wrapped == nullptr) result.wrapped = &arg.error();
    }
  }
  if (next != args.end()) {
    out += "%!(EXTRA ";
    for (auto it = next; it != args.end(); ++it) {
      if (it != next) out += ", ";
      out += typeName(*it);
      out += '=';
      appendValue(out, *it);
    }
    out += ')';
  }
  return result;
}

}  // namespace nimbro
