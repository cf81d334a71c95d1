// Running headscale inside the cell's control service through Docker Compose.
#include "cli/compose.h"

#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "cli/admin.h"
#include "cli/app.h"
#include "cli/cell_env.h"
#include "process/file.h"
#include "process/paths.h"
#include "process/syserr.h"

namespace nimbro {

namespace {

// The cell's .env file: named outright, else beside the Compose file, else in
// the working directory.
Expected<std::string> cellEnvFile(const App& app, const std::string& composeFile) {
  std::string named(trimSpace(app.getenv("NIMBRO_COMPOSE_ENV_FILE")));
  if (!named.empty()) return named;
  if (!composeFile.empty()) return joinPath(dirPath(composeFile), ".env");
  Expected<std::string> dir = workingDirectory();
  if (!dir) return errorf("não foi possível localizar o .env da célula Nimbro: %w", dir.error());
  return joinPath(*dir, ".env");
}

}  // namespace

std::string App::controlService() const {
  return envOrDefault(getenv_, "NIMBRO_CONTROL_SERVICE", "nimbro-control");
}

std::string App::dockerBin() const { return envOrDefault(getenv_, "NIMBRO_DOCKER_BIN", "docker"); }

Error App::runHeadscale(const Context& ctx, const std::string& composeFile,
                        const std::vector<std::string>& args) const {
  // The caller's path is used as given; only the variable is trimmed here.
  std::string compose = composeFile;
  if (compose.empty()) compose = std::string(trimSpace(getenv_("NIMBRO_COMPOSE_FILE")));

  Expected<std::string> envFile = cellEnvFile(*this, compose);
  if (!envFile) return envFile.error();

  Expected<std::string> project = composeProjectNameFromEnvFile(ctx, *envFile);
  if (!project) {
    Error failure = project.error();
    if (IsUsageError(failure)) return failure;
    // Interrupted while the .env read waited on a FIFO or a terminal.
    return errorf("o comando administrativo do Headscale falhou: %w", failure);
  }

  // The project, the .env and the Compose file always travel as arguments,
  // so nothing in the user's shell can point Compose at another cell.
  std::vector<std::string> argv = {"compose", "--env-file", *envFile};
  if (!compose.empty()) {
    argv.push_back("-f");
    argv.push_back(compose);
  }
  argv.insert(argv.end(), {"--project-name", *project, "exec", "-T", controlService(), "headscale"});
  argv.insert(argv.end(), args.begin(), args.end());

  // Compose forwards its standard input into the container even with -T, so
  // a script's piped input would be swallowed by a headscale command that
  // never reads it.
  Expected<File> nullFile = openNullInput();
  if (!nullFile) return errorf("o comando administrativo do Headscale falhou: %w", nullFile.error());
  FileStream nullInput(nullFile->fd(), nullFile->name());

  const std::string program = dockerBin();
  Error result;
  if (auto* envRunner = dynamic_cast<EnvironmentRunner*>(runner_.get())) {
    result = envRunner->RunWithUnsetEnv(ctx, program, argv, nullInput, *out_, *err_, composeUnsetEnv);
  } else {
    result = runner_->Run(ctx, program, argv, nullInput, *out_, *err_);
  }
  if (result) return errorf("o comando administrativo do Headscale falhou: %w", result);
  return {};
}

}  // namespace nimbro
