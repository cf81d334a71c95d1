#include "cli/cell_env.h"

#include "base/strings.h"
#include "process/file.h"

namespace nimbro {

namespace {

constexpr std::string_view kInstanceIDKey = "NIMBRO_INSTANCE_ID";
// Compose would take the project name from this key behind the tool's back.
constexpr std::string_view kProjectNameKey = "COMPOSE_PROJECT_NAME";

bool isLowerAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// The next line of text starting at pos, without its "\n"; pos moves past it.
// The text after the last "\n" is a line too, also when it is empty.
std::string_view nextLine(std::string_view text, size_t& pos) {
  size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(pos, end - pos);
  pos = end + 1;
  return line;
}

}  // namespace

std::string_view trimDotEnvExport(std::string_view line) {
  constexpr std::string_view kKeyword = "export";
  if (line.size() <= kKeyword.size() || !line.starts_with(kKeyword)) return line;
  char after = line[kKeyword.size()];
  if (after != ' ' && after != '\t') return line;
  return trimSpace(line.substr(kKeyword.size() + 1));
}

bool isSafeComposeProjectName(std::string_view name) {
  if (name.empty() || name.find("change-me") != std::string_view::npos) return false;
  if (!isLowerAlnum(name.front())) return false;
  // Checked byte by byte: a byte outside ASCII, valid UTF-8 or not, fails.
  for (char c : name.substr(1)) {
    if (!isLowerAlnum(c) && c != '-' && c != '_') return false;
  }
  return true;
}

Expected<std::string> composeProjectNameFromEnvFile(const Context& ctx, std::string_view path) {
  Expected<std::string> content = readFile(ctx, path);
  if (!content) {
    Error err = content.error();
    if (err.kind() == ErrorKind::Canceled) return err;
    return usageError("não foi possível ler o .env da célula Nimbro %q: %v", path, err);
  }

  const std::string_view text = *content;
  int definitions = 0;
  std::string_view instanceID;
  size_t pos = 0;
  for (int lineNumber = 1; pos <= text.size(); ++lineNumber) {
    std::string_view line = trimSpace(nextLine(text, pos));
    if (line.empty() || line.front() == '#') continue;
    line = trimDotEnvExport(line);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = trimSpace(line.substr(0, eq));
    std::string_view value = trimSpace(line.substr(eq + 1));
    if (key == kProjectNameKey) {
      return usageError(
          "%s:%d não pode definir COMPOSE_PROJECT_NAME; use somente NIMBRO_INSTANCE_ID", path,
          lineNumber);
    }
    if (key == kInstanceIDKey) {
      ++definitions;
      instanceID = value;
    }
  }

  if (definitions != 1) {
    return usageError("%s deve definir NIMBRO_INSTANCE_ID exatamente uma vez", path);
  }
  if (!isSafeComposeProjectName(instanceID)) {
    return usageError(
        "NIMBRO_INSTANCE_ID em %s deve começar com letra ou número minúsculo e usar somente "
        "a-z, 0-9, hífen ou sublinhado",
        path);
  }
  return std::string(instanceID);
}

}  // namespace nimbro
