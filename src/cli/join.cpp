// The join command: attaches this machine to the network by running the
// engine's "up" once, with the pre-authorisation key handed over as an open
// file rather than as text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/strings.h"
#include "cli/app.h"
#include "cli/control_url.h"
#include "cli/flags.h"
#include "cli/token.h"

namespace nimbro {
namespace {

constexpr std::string_view kJoinUsage =
    "Uso: nimbro join --control URL --token-file CAMINHO [opções]\n"
    "\n"
    "Opções:\n"
    "  --hostname NOME       Nome deste nó\n"
    "  --timeout DURAÇÃO     Tempo limite (padrão: 2m)\n"
    "  --delete-token        Apagar o arquivo de token somente após o sucesso\n"
    "  --insecure-http       Permitir HTTP para um servidor fora de loopback";

// The options exactly as typed; blanks are trimmed only to test for absence.
struct joinOptions {
  std::string control;
  std::string tokenFile;
  std::string hostname;
  std::string timeout;
  bool deleteToken = false;
  bool insecureHTTP = false;
};

// The options of one invocation.
Parsed<joinOptions> parseJoinOptions(const std::vector<std::string>& args) {
  FlagSet flags = newFlagSet("join");
  const std::string& control = flags.stringOption("control", "", "URL do servidor de controle");
  const std::string& tokenFile = flags.stringOption("token-file", "", "arquivo que contém o token");
  const std::string& hostname = flags.stringOption("hostname", "", "nome deste nó");
  const std::string& timeout =
      flags.stringOption("timeout", "2m", "tempo limite para entrar na rede");
  const bool& deleteToken =
      flags.boolOption("delete-token", false, "remover o token após o sucesso");
  const bool& insecureHTTP =
      flags.boolOption("insecure-http", false, "permitir HTTP fora de loopback");

  const Parsed<std::vector<std::string>> parsed = flags.parse(args);
  if (!parsed) return usageError("opções inválidas para join: %v", parsed.error());
  if (!*parsed) return std::optional<joinOptions>();
  if (!(*parsed)->empty()) {
    return usageError("join não aceita argumentos posicionais: %s", joinWords(**parsed));
  }
  return std::optional<joinOptions>(
      joinOptions{control, tokenFile, hostname, timeout, deleteToken, insecureHTTP});
}

// Everything that can be refused before the key file is touched.
Error validateJoinOptions(const joinOptions& opts) {
  if (trimSpace(opts.control).empty()) {
    return usageError("a opção --control é obrigatória");
  }
  if (trimSpace(opts.tokenFile).empty()) {
    return usageError("a opção --token-file é obrigatória");
  }
  if (Error err = validateControlURL(opts.control, opts.insecureHTTP)) {
    return err;
  }
  return validateTimeout(opts.timeout);
}

// Where the engine can read the key through the descriptor it inherits, the
// key never travels as a path; elsewhere it is named by its path.
bool passesKeyAsDescriptor(std::string_view goos) {
  return goos == "linux" || goos == "darwin";
}

std::string keyReference(std::string_view goos, std::string_view tokenPath) {
  if (goos == "linux") return "file:/proc/self/fd/3";
  if (goos == "darwin") return "file:/dev/fd/3";
  return "file:" + std::string(tokenPath);
}

std::vector<std::string> engineUpArgs(std::vector<std::string> prefix, const joinOptions& opts,
                                      std::string_view goos, std::string_view keyRef) {
  std::vector<std::string> args = std::move(prefix);
  args.insert(args.end(), {
                              "up",
                              "--reset",
                              "--login-server=" + opts.control,
                              "--auth-key=" + std::string(keyRef),
                              "--accept-dns=true",
                              "--accept-routes=false",
                              "--ssh=false",
                              "--timeout=" + opts.timeout,
                          });
  if (goos == "windows") args.push_back("--unattended=true");
  if (!opts.hostname.empty()) args.push_back("--hostname=" + opts.hostname);
  return args;
}

Error removeJoinedTokenFile(const TokenFile& token) {
  Error removeErr = removeTokenFile(token);
  if (!removeErr) return {};
  return errorf(
      "entrada na rede concluída, mas não foi possível remover o arquivo de token %q: %w",
      token.path, removeErr);
}

}  // namespace

void App::printJoinUsage() const { printUsage(kJoinUsage); }

Error App::runJoin(const Context& ctx, const std::vector<std::string>& args) const {
  const Parsed<joinOptions> parsed = parseJoinOptions(args);
  if (!parsed) return parsed.error();
  if (!*parsed) {
    printJoinUsage();
    return {};
  }
  const joinOptions& opts = **parsed;
  if (Error err = validateJoinOptions(opts)) return err;

  // The key file stays open until this function returns, whatever the path.
  Expected<TokenFile> token = openTokenFile(opts.tokenFile, tokenOwnerUID_);
  if (!token) return token.error();

  std::vector<std::string> engineArgs =
      engineUpArgs(enginePrefix(), opts, goos_, keyReference(goos_, token->path));

  Error runErr;
  if (passesKeyAsDescriptor(goos_)) {
    auto* extraFiles = dynamic_cast<ExtraFileRunner*>(runner_.get());
    if (extraFiles == nullptr) {
      return Error::plain("o executor configurado não oferece passagem segura do arquivo de token");
    }
    const int keyFd[] = {token->file.fd()};
    runErr = extraFiles->RunWithExtraFiles(ctx, tailscaleBin(), engineArgs, *in_, *out_, *err_,
                                           keyFd);
  } else {
    runErr = runner_->Run(ctx, tailscaleBin(), engineArgs, *in_, *out_, *err_);
  }
  if (runErr) return errorf("não foi possível entrar na rede Nimbro: %w", runErr);

  if (opts.deleteToken) return removeJoinedTokenFile(*token);
  return {};
}

}  // namespace nimbro
