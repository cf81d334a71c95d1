// The --control check and the loopback test: only the four fixed messages,
// allowing plain HTTP never refuses more, and the only difference plain HTTP
// makes for a host is whether that host is loopback.
#include <array>
#include <cstdint>
#include <string>

#include "cli/control_url.h"
#include "fuzz_support.h"

using namespace nimbro;

namespace {

constexpr std::string_view kInvalid = "--control deve ser uma URL absoluta HTTP ou HTTPS válida";
constexpr std::string_view kUserInfo = "--control não pode incluir usuário ou senha na URL";
constexpr std::string_view kPlainHTTP =
    "HTTP só é permitido para endereços de loopback; use HTTPS ou confirme o risco com "
    "--insecure-http";
constexpr std::string_view kScheme =
    "--control deve usar o esquema https (ou http quando permitido)";

void checkFixedMessage(const Error& err) {
  if (!err) return;
  FUZZ_CHECK(IsUsageError(err));
  const std::string& m = err.message();
  FUZZ_CHECK(m == kInvalid || m == kUserInfo || m == kPlainHTTP || m == kScheme);
}

void checkURL(std::string_view url) {
  const Error strict = validateControlURL(url, false);
  const Error lenient = validateControlURL(url, true);
  checkFixedMessage(strict);
  checkFixedMessage(lenient);
  if (lenient) FUZZ_CHECK(strict && strict.message() == lenient.message());
  if (strict && !lenient) FUZZ_CHECK(strict.message() == kPlainHTTP);
  FUZZ_CHECK(!lenient || lenient.message() != kPlainHTTP);
}

std::string asciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// host as the host of an http and an https URL: with https accepted, http is
// accepted exactly when the host is loopback.
void checkHost(std::string_view host) {
  const bool loopback = isLoopbackHost(host);
  FUZZ_CHECK(isLoopbackHost(asciiUpper(host)) == loopback);
  if (!host.ends_with('.')) FUZZ_CHECK(isLoopbackHost(std::string(host) + ".") == loopback);

  // Characters that end the host or change how it is read are left out.
  if (host.empty() || host.find_first_of("/?@%") != std::string_view::npos) return;
  const bool bracket = host.find(':') != std::string_view::npos;
  const std::string authority = bracket ? "[" + std::string(host) + "]" : std::string(host);
  if (validateControlURL("https://" + authority + "/", false)) return;
  const Error plain = validateControlURL("http://" + authority + "/", false);
  FUZZ_CHECK(!plain == loopback);
  if (plain) FUZZ_CHECK(plain.message() == kPlainHTTP);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkURL(text);
  checkHost(text);
  return 0;
}
