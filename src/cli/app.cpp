#include "cli/app.h"

#include <cstdlib>

#include "base/strings.h"
#include "cli/flags.h"

namespace nimbro {
namespace {

constexpr std::string_view kRootUsage =
    "Uso: nimbro <comando> [opções]\n"
    "\n"
    "Comandos:\n"
    "  join       Entrar na rede Nimbro usando um token em arquivo\n"
    "  status     Mostrar o estado do engine e dos nós\n"
    "  ip         Mostrar os endereços IP deste nó\n"
    "  ping       Testar a conectividade com outro nó\n"
    "  down       Desativar temporariamente a rede\n"
    "  leave      Sair da rede (logout)\n"
    "  netcheck   Diagnosticar a conectividade de rede\n"
    "  version    Mostrar as versões do Nimbro e do engine\n"
    "  admin      Administrar tokens e nós pelo Docker Compose\n"
    "\n"
    "Use 'nimbro <comando> --help' para detalhes.";

std::string processGetenv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

}  // namespace

App New(Options opts) {
  App app;
  app.runner_ = opts.runner ? std::move(opts.runner) : std::make_shared<ExecRunner>();
  app.in_ = opts.stdin_ ? opts.stdin_ : &processStdin();
  app.out_ = opts.stdout_ ? opts.stdout_ : &processStdout();
  app.err_ = opts.stderr_ ? opts.stderr_ : &processStderr();
  app.version_ = trimSpace(opts.version);
  if (app.version_.empty()) app.version_ = "dev";
  app.getenv_ = opts.getenv ? std::move(opts.getenv) : Getenv(processGetenv);
  app.goos_ = trimSpace(opts.goos);
  if (app.goos_.empty()) app.goos_ = buildGoos();
  app.tokenOwnerUID_ = opts.tokenOwnerUID.value_or(0);
  return app;
}

Error App::Run(const Context& ctx, const std::vector<std::string>& args) const {
  if (args.empty())
    return usageError("nenhum comando informado; use 'nimbro help' para ver as opções");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (isHelpWord(command)) {
    if (!rest.empty()) return usageError("o comando help não aceita argumentos");
    printRootUsage();
    return {};
  }
  if (command == "join") return runJoin(ctx, rest);
  if (command == "status" || command == "ip" || command == "ping" || command == "down" ||
      command == "netcheck")
    return runTailscale(ctx, command, rest);
  if (command == "leave") return runTailscale(ctx, "logout", rest);
  if (command == "version") return runVersion(ctx, rest);
  if (command == "admin") return runAdmin(ctx, rest);
  return usageError("comando desconhecido %q; use 'nimbro help' para ver as opções", command);
}

void App::printRootUsage() const { printUsage(kRootUsage); }

void App::printUsage(std::string_view text) const {
  std::string line(text);
  line += '\n';
  (void)out_->write(line);
}

std::string envOrDefault(const Getenv& getenv, const std::string& name,
                         const std::string& fallback) {
  const std::string value = getenv(name);
  const std::string_view trimmed = trimSpace(value);
  return trimmed.empty() ? fallback : std::string(trimmed);
}

}  // namespace nimbro
