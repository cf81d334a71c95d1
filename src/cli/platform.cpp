#include "cli/app.h"

namespace nimbro {

PlatformDefaults platformDefaults(std::string_view goos) {
  if (goos == "linux") return {"/usr/local/libexec/nimbro/tailscale", "/run/nimbro/nimbrod.sock"};
  if (goos == "darwin") return {"/usr/local/bin/tailscale", ""};
  if (goos == "windows") return {"C:\\Program Files\\Tailscale\\tailscale.exe", ""};
  return {"tailscale", ""};
}

std::string buildGoos() {
#if defined(__linux__)
  return "linux";
#elif defined(__APPLE__)
  return "darwin";
#elif defined(_WIN32)
  return "windows";
#elif defined(__FreeBSD__)
  return "freebsd";
#elif defined(__OpenBSD__)
  return "openbsd";
#elif defined(__NetBSD__)
  return "netbsd";
#else
  return "unknown";
#endif
}

}  // namespace nimbro
