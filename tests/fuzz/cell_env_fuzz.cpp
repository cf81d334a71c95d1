// The cell's .env reader on arbitrary file contents: the name it returns
// passes the project-name rule and stands in the file; a refusal is one of
// the fixed usage errors, and a line it names exists and holds the key.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/format.h"
#include "base/strings.h"
#include "cli/cell_env.h"
#include "fuzz_support.h"

using namespace nimbro;

namespace {

// One in-memory file for the whole run, rewritten for each input, so that
// the reader opens a real path without the fuzzer touching a disk.
const std::string& envFile(std::string_view content) {
  static const int fd = memfd_create("cell.env", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(ftruncate(fd, 0) == 0);
  FUZZ_CHECK(pwrite(fd, content.data(), content.size(), 0) == static_cast<ssize_t>(content.size()));
  return path;
}

// Line n (from 1) of text, split at every "\n".
std::string_view line(std::string_view text, size_t n) {
  for (size_t i = 1; i < n; ++i) text.remove_prefix(text.find('\n') + 1);
  return text.substr(0, text.find('\n'));
}

void checkProjectNameRule(std::string_view name) {
  if (!isSafeComposeProjectName(name)) return;
  FUZZ_CHECK(!name.empty());
  FUZZ_CHECK(name.find("change-me") == std::string_view::npos);
  FUZZ_CHECK((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9'));
  for (char c : name)
    FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_');
}

void checkExportTrim(std::string_view text) {
  const std::string_view trimmed = trimSpace(text);
  const std::string_view out = trimDotEnvExport(trimmed);
  if (out == trimmed) return;
  // Only "export" and one blank go, and what is left is trimmed.
  FUZZ_CHECK(trimmed.starts_with("export ") || trimmed.starts_with("export\t"));
  FUZZ_CHECK(trimmed.ends_with(out));
  FUZZ_CHECK(trimSpace(out) == out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  checkProjectNameRule(content);
  checkExportTrim(content);

  const std::string& path = envFile(content);
  const Expected<std::string> name = composeProjectNameFromEnvFile(Context(), path);
  if (name) {
    FUZZ_CHECK(isSafeComposeProjectName(*name));
    FUZZ_CHECK(content.find("NIMBRO_INSTANCE_ID") != std::string_view::npos);
    FUZZ_CHECK(content.find(*name) != std::string_view::npos);
    return 0;
  }

  const Error err = name.error();
  FUZZ_CHECK(IsUsageError(err));
  const std::string& m = err.message();
  if (m == format("%s deve definir NIMBRO_INSTANCE_ID exatamente uma vez", path)) return 0;
  if (m == format("NIMBRO_INSTANCE_ID em %s deve começar com letra ou número minúsculo e usar "
                  "somente a-z, 0-9, hífen ou sublinhado",
                  path)) {
    FUZZ_CHECK(content.find("NIMBRO_INSTANCE_ID") != std::string_view::npos);
    return 0;
  }
  // Otherwise the refusal names a line: it must exist and hold the key.
  const std::string prefix = path + ":";
  const std::string_view suffix =
      " não pode definir COMPOSE_PROJECT_NAME; use somente NIMBRO_INSTANCE_ID";
  FUZZ_CHECK(m.starts_with(prefix) && m.ends_with(suffix));
  const std::string number = m.substr(prefix.size(), m.size() - prefix.size() - suffix.size());
  FUZZ_CHECK(!number.empty() && number.size() <= 20 && number[0] != '0');
  for (char c : number) FUZZ_CHECK(c >= '0' && c <= '9');
  const size_t lineNumber = std::stoull(number);
  const size_t lines = static_cast<size_t>(std::count(content.begin(), content.end(), '\n')) + 1;
  FUZZ_CHECK(lineNumber >= 1 && lineNumber <= lines);
  const std::string_view named = line(content, lineNumber);
  FUZZ_CHECK(named.find("COMPOSE_PROJECT_NAME") != std::string_view::npos);
  FUZZ_CHECK(named.find('=') != std::string_view::npos);
  return 0;
}
