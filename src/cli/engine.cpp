// The engine: which program runs, how it is pointed at the tool's own daemon
// socket, and the commands handed to it unchanged.
#include "base/strings.h"
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
