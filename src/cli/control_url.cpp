#include "cli/control_url.h"

#include "base/unicode.h"
#include "cli/duration.h"
#include "cli/ip_addr.h"
#include "cli/request_uri.h"

namespace nimbro {

Error validateControlURL(std::string_view raw, bool insecureHTTP) {
  Expected<RequestURI> uri = parseRequestURI(raw);
  if (!uri || uri->scheme.empty() || uri->host.empty()) {
    return usageError("--control deve ser uma URL absoluta HTTP ou HTTPS válida");
  }
  // Credentials in the URL would reach the engine's command line and the
  // process list.
  if (uri->hasUserInfo) return usageError("--control não pode incluir usuário ou senha na URL");
  if (uri->scheme == "https") return {};
  if (uri->scheme == "http") {
    if (insecureHTTP || isLoopbackHost(hostName(uri->host))) return {};
    return usageError(
        "HTTP só é permitido para endereços de loopback; use HTTPS ou confirme o risco com --insecure-http");
  }
  return usageError("--control deve usar o esquema https (ou http quando permitido)");
}

bool isLoopbackHost(std::string_view host) {
  if (host.ends_with('.')) host.remove_suffix(1);
  if (equalFoldASCII(host, "localhost")) return true;
  std::optional<IPAddress> addr = parseIPAddress(host);
  return addr && isLoopbackAddress(*addr);
}

Error validateTimeout(std::string_view text) {
  Expected<int64_t> d = parseDuration(text);
  if (!d || *d <= 0) return usageError("--timeout deve ser uma duração positiva, como 30s ou 2m");
  return {};
}

}  // namespace nimbro
