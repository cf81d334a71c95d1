// The engine: which program runs, how it is pointed at the tool's own daemon
// socket, and the commands handed to it unchanged.
#include "base/strings.h"
#include "cli/app.h"

namespace nimbro {

std::string App::tailscaleBin() const {
  return envOrDefault(getenv_, "NIMBRO_TAILSCALE_BIN", platformDefaults(goos_).engine);
}

std::vector<std::string> App::enginePrefix() const {
  const std::string socket =
      envOrDefault(getenv_, "NIMBRO_SOCKET", platformDefaults(goos_).socket);
  if (socket.empty()) return {};
  return {"--socket=" + socket};
}

Error App::runTailscale(const Context& ctx, const std::string& command,
                        const std::vector<std::string>& args) const {
  std::vector<std::string> argv = enginePrefix();
  argv.push_back(command);
  argv.insert(argv.end(), args.begin(), args.end());
  if (Error err = runner_->Run(ctx, tailscaleBin(), argv, *in_, *out_, *err_))
    return errorf("o engine Tailscale falhou ao executar %s: %w", command, err);
  return {};
}

Error App::runVersion(const Context& ctx, const std::vector<std::string>& args) const {
  if (!args.empty()) return usageError("version não aceita argumentos");
  if (Error err = out_->write(format("Nimbro %s\nEngine Tailscale:\n", version_)))
    return errorf("não foi possível escrever a versão do Nimbro: %w", err);
  return runTailscale(ctx, "version", {});
}

}  // namespace nimbro
