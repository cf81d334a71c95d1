// The admin command tree: each request becomes one headscale argument list,
// run inside the cell by runHeadscale.
#include "cli/admin.h"

#include <cstdint>
#include <limits>

#include "base/strings.h"
#include "cli/app.h"
#include "cli/duration.h"
#include "cli/flags.h"

namespace nimbro {

namespace {

constexpr std::string_view kAdminUsage =
    "Uso: nimbro admin [--compose-file CAMINHO] <comando> [opções]\n"
    "\n"
    "Opções:\n"
    "  --compose-file CAMINHO  Arquivo Compose (usa o .env adjacente)\n"
    "\n"
    "Ambiente: NIMBRO_COMPOSE_FILE e NIMBRO_COMPOSE_ENV_FILE\n"
    "\n"
    "Comandos:\n"
    "  token create [--expiration DURAÇÃO] [--reusable]  (validade padrão: 15m)\n"
    "  token list\n"
    "  token expire <ID>\n"
    "  nodes\n"
    "  revoke <ID>";
constexpr std::string_view kTokenUsage = "Uso: nimbro admin token <create|list|expire> [opções]";
constexpr std::string_view kTokenCreateUsage =
    "Uso: nimbro admin token create [--expiration DURAÇÃO] [--reusable]\n"
    "Padrão de --expiration: 15m";
constexpr std::string_view kTokenExpireUsage = "Uso: nimbro admin token expire <ID>";
constexpr std::string_view kRevokeUsage = "Uso: nimbro admin revoke <ID>";

// Every key the tool creates carries this tag; the user cannot choose another.
constexpr std::string_view kTokenTag = "tag:nimbro";

// Digits only (no sign, blanks, separators or base prefix), leading zeros
// allowed, within 1..2^64-1.
bool isPositiveUint64(std::string_view text) {
  if (text.empty()) return false;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    auto digit = static_cast<uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return value != 0;
}

std::vector<std::string> wordsAfterFirst(const std::vector<std::string>& words) {
  return {words.begin() + 1, words.end()};
}

}  // namespace

Parsed<std::string> parseID(const std::string& command, const std::vector<std::string>& args) {
  FlagSet flags = newFlagSet(command);
  const std::string& idOption = flags.stringOption("id", "", "identificador numérico");
  const Parsed<std::vector<std::string>> parsed = flags.parse(args);
  if (!parsed) return usageError("opções inválidas para %s: %v", command, parsed.error());
  if (!*parsed) return std::optional<std::string>();

  const std::vector<std::string>& words = **parsed;
  std::string candidate;
  if (!idOption.empty()) {
    if (!words.empty()) {
      return usageError("%s aceita o ID como argumento ou em --id, não ambos", command);
    }
    candidate = idOption;
  } else {
    if (words.size() != 1) return usageError("%s exige exatamente um ID numérico", command);
    candidate = words.front();
  }
  if (!isPositiveUint64(candidate)) {
    return usageError("o ID de %s deve ser um inteiro positivo", command);
  }
  candidate.erase(0, candidate.find_first_not_of('0'));
  return std::optional<std::string>(std::move(candidate));
}

void App::printAdminUsage() const { printUsage(kAdminUsage); }

Error App::runAdmin(const Context& ctx, const std::vector<std::string>& args) const {
  FlagSet flags = newFlagSet("admin");
  const std::string& composeOption =
      flags.stringOption("compose-file", "", "caminho do arquivo Docker Compose");
  const Parsed<std::vector<std::string>> parsed = flags.parse(args);
  if (!parsed) return usageError("opções inválidas para admin: %v", parsed.error());
  if (!*parsed) {
    printAdminUsage();
    return {};
  }
  const std::string composeFile(trimSpace(composeOption));

  const std::vector<std::string>& words = **parsed;
  if (words.empty()) return usageError("subcomando admin ausente; use 'nimbro admin --help'");
  const std::string& command = words.front();
  const std::vector<std::string> rest = wordsAfterFirst(words);

  if (isHelpWord(command)) {
    if (!rest.empty()) return usageError("admin --help não aceita argumentos");
    printAdminUsage();
    return {};
  }
  if (command == "token") return runAdminToken(ctx, composeFile, rest);
  if (command == "nodes") {
    if (!rest.empty()) return usageError("admin nodes não aceita argumentos");
    return runHeadscale(ctx, composeFile, {"nodes", "list"});
  }
  if (command == "revoke") {
    const Parsed<std::string> id = parseID("admin revoke", rest);
    if (!id) return id.error();
    if (!*id) {
      printUsage(kRevokeUsage);
      return {};
    }
    return runHeadscale(ctx, composeFile, {"nodes", "expire", "-i", **id});
  }
  return usageError("subcomando admin desconhecido %q; use 'nimbro admin --help'", command);
}

Error App::runAdminToken(const Context& ctx, const std::string& composeFile,
                         const std::vector<std::string>& args) const {
  if (args.empty()) return usageError("ação de token ausente; use create, list ou expire");
  const std::string& action = args.front();
  const std::vector<std::string> rest = wordsAfterFirst(args);

  if (isHelpWord(action)) {
    if (!rest.empty()) return usageError("admin token --help não aceita argumentos");
    printUsage(kTokenUsage);
    return {};
  }
  if (action == "list") {
    if (!rest.empty()) return usageError("admin token list não aceita argumentos");
    return runHeadscale(ctx, composeFile, {"preauthkeys", "list"});
  }
  if (action == "create") return runAdminTokenCreate(ctx, composeFile, rest);
  if (action == "expire") {
    const Parsed<std::string> id = parseID("admin token expire", rest);
    if (!id) return id.error();
    if (!*id) {
      printUsage(kTokenExpireUsage);
      return {};
    }
    return runHeadscale(ctx, composeFile, {"preauthkeys", "expire", "--id", **id});
  }
  return usageError("ação de token desconhecida %q; use create, list ou expire", action);
}

Error App::runAdminTokenCreate(const Context& ctx, const std::string& composeFile,
                               const std::vector<std::string>& args) const {
  FlagSet flags = newFlagSet("admin token create");
  const std::string& expiration =
      flags.stringOption("expiration", "15m", "validade do token (padrão: 15m)");
  const bool& reusable = flags.boolOption("reusable", false, "permitir mais de um uso");
  const Parsed<std::vector<std::string>> parsed = flags.parse(args);
  if (!parsed) return usageError("opções inválidas para admin token create: %v", parsed.error());
  if (!*parsed) {
    printUsage(kTokenCreateUsage);
    return {};
  }
  if (!(*parsed)->empty()) {
    return usageError("admin token create não aceita argumentos posicionais: %s",
                      joinWords(**parsed));
  }

  Expected<int64_t> duration = parseDuration(expiration);
  if (!duration || *duration <= 0) {
    return usageError("--expiration deve ser uma duração positiva, como 30m ou 24h");
  }

  std::vector<std::string> headscaleArgs = {"preauthkeys",  "create",
                                            "--tags",       std::string(kTokenTag),
                                            "--expiration", headscaleExpiration(expiration, *duration)};
  if (reusable) headscaleArgs.push_back("--reusable");
  return runHeadscale(ctx, composeFile, headscaleArgs);
}

}  // namespace nimbro
