#include "base/path.h"

namespace nimbro {

std::string cleanPath(std::string_view path) {
  if (path.empty()) return ".";
  const bool rooted = path[0] == '/';
  const size_t n = path.size();
  std::string out;
  out.reserve(n);
  // dotdot marks where ".." can no longer back up: after the root, or after
  // leading ".." elements of a relative path.
  size_t r = 0, dotdot = 0;
  if (rooted) {
    out += '/';
    r = dotdot = 1;
  }
  while (r < n) {
    if (path[r] == '/') {
      ++r;
    } else if (path[r] == '.' && (r + 1 == n || path[r + 1] == '/')) {
      ++r;
    } else if (path[r] == '.' && path[r + 1] == '.' && (r + 2 == n || path[r + 2] == '/')) {
      r += 2;
      if (out.size() > dotdot) {
        out.pop_back();
        while (out.size() > dotdot && out.back() != '/') out.pop_back();
        if (out.size() > dotdot) out.pop_back();
      } else if (!rooted) {
        if (!out.empty()) out += '/';
        out += "..";
        dotdot = out.size();
      }
    } else {
      if ((rooted && out.size() != 1) || (!rooted && !out.empty())) out += '/';
      for (; r < n && path[r] != '/'; ++r) out += path[r];
    }
  }
  return out.empty() ? "." : out;
}

std::string dirPath(std::string_view path) {
  const size_t slash = path.rfind('/');
  return cleanPath(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1));
}

std::string joinPath(std::string_view dir, std::string_view name) {
  if (dir.empty() && name.empty()) return "";
  if (dir.empty()) return cleanPath(name);
  if (name.empty()) return cleanPath(dir);
  std::string joined(dir);
  joined += '/';
  joined += name;
  return cleanPath(joined);
}

bool isAbsPath(std::string_view path) { return !path.empty() && path[0] == '/'; }

}  // namespace nimbro
