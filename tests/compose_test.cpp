#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/app.h"
#include "support/cancel_source.h"
#include "support/fakes.h"
#include "support/key_files.h"

namespace nimbro {
namespace {

using testing::CancelSource;
using testing::EnvFakeRunner;
using testing::PlainRunner;
using testing::RecordedCall;
using testing::ScopedChdir;
using testing::ScratchDir;
using testing::StringReader;
using testing::StringWriter;
using Strings = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

const Strings kUnsetEnv = {
    "COMPOSE_FILE",     "COMPOSE_PROFILES",  "COMPOSE_PROJECT_NAME",
    "NIMBRO_INSTANCE_ID", "NIMBRO_HEADSCALE_CONFIG", "NIMBRO_TLS", "NIMBRO_TLS_DIR",
    "NIMBRO_HTTP_BIND", "NIMBRO_HTTP_PORT",  "NIMBRO_CONTROL_CONTAINER_PORT",
    "NIMBRO_STUN_BIND", "NIMBRO_STUN_PORT",  "NIMBRO_ACME_HOSTNAME", "NIMBRO_ACME_EMAIL",
    "NIMBRO_ACME_URL",  "NIMBRO_ACME_CHALLENGE", "NIMBRO_ACME_CA", "NIMBRO_ACME_HTTP_BIND",
    "NIMBRO_ACME_HTTP_PORT",
};

Getenv envFrom(Env env) {
  return [env = std::move(env)](const std::string& name) {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  };
}

// Replaces every "<dir>" and "<other>" in words with the two cell directories.
Strings expand(Strings words, const std::string& dir, const std::string& other) {
  for (std::string& w : words) {
    for (auto [marker, value] : {std::pair{std::string("<dir>"), dir}, {"<other>", other}}) {
      for (size_t at = w.find(marker); at != std::string::npos; at = w.find(marker, at)) {
        w.replace(at, marker.size(), value);
      }
    }
  }
  return words;
}

// Two cells: <dir> holds compose.yml's .env (cell-a), <other> another .env
// (cell-b) that only NIMBRO_COMPOSE_ENV_FILE can reach.
struct Cells {
  ScratchDir dir, other;
  Cells() {
    testing::writeFileWithMode(dir.join(".env"), "NIMBRO_INSTANCE_ID=cell-a\n", 0600);
    testing::writeFileWithMode(other.join("cell.env"), "NIMBRO_INSTANCE_ID=cell-b\n", 0600);
  }
};

struct Fixture {
  StringReader in;
  StringWriter out, err;

  App app(std::shared_ptr<Runner> runner, Env env) {
    return New({.runner = std::move(runner), .stdin_ = &in, .stdout_ = &out, .stderr_ = &err,
                .getenv = envFrom(std::move(env)), .goos = "linux"});
  }
};

TEST(RunHeadscale, BuildsTheComposeCall) {
  struct Case {
    const char* name;
    std::string composeFile;  // the caller's value; "<dir>" and "<other>" expand
    Env env;
    bool inDir;  // run from inside <dir>
    Strings args;
    std::string wantProgram;
    Strings wantArgs;
  };
  const Strings tail = {"--project-name", "cell-a", "exec", "-T", "nimbro-control", "headscale"};
  auto with = [](Strings head, const Strings& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
  };
  const Case cases[] = {
      {"caller's compose file", "<dir>/compose.yml", {}, false, {"nodes", "list"}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"},
            with(tail, {"nodes", "list"}))},
      {"no headscale arguments", "<dir>/compose.yml", {}, false, {}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"}, tail)},
      {"compose file path is cleaned for the env file", "<dir>/sub/../compose.yml", {}, false,
       {}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/sub/../compose.yml"}, tail)},
      {"caller's value is not trimmed",
       " <dir>/compose.yml\t",
       {{"NIMBRO_COMPOSE_ENV_FILE", "<dir>/.env"}},
       false,
       {},
       "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", " <dir>/compose.yml\t"}, tail)},
      {"variable compose file is trimmed", "", {{"NIMBRO_COMPOSE_FILE", " \t<dir>/compose.yml\n"}},
       false, {}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"}, tail)},
      {"caller wins over the variable", "<dir>/compose.yml",
       {{"NIMBRO_COMPOSE_FILE", "<other>/compose.yml"}}, false, {}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"}, tail)},
      {"env file variable wins, in another directory",
       "<dir>/compose.yml",
       {{"NIMBRO_COMPOSE_ENV_FILE", "  <other>/cell.env "}},
       false,
       {"nodes", "list"},
       "docker",
       {"compose", "--env-file", "<other>/cell.env", "-f", "<dir>/compose.yml", "--project-name",
        "cell-b", "exec", "-T", "nimbro-control", "headscale", "nodes", "list"}},
      {"blank env file variable falls back", "<dir>/compose.yml",
       {{"NIMBRO_COMPOSE_ENV_FILE", " \t "}}, false, {}, "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"}, tail)},
      {"bare compose file name", "compose.yml", {}, true, {}, "docker",
       with({"compose", "--env-file", ".env", "-f", "compose.yml"}, tail)},
      {"no compose file anywhere", "", {{"NIMBRO_COMPOSE_FILE", "  "}}, true, {"nodes", "list"},
       "docker", with({"compose", "--env-file", "<dir>/.env"}, with(tail, {"nodes", "list"}))},
      {"blank service and docker variables",
       "<dir>/compose.yml",
       {{"NIMBRO_CONTROL_SERVICE", " \t"}, {"NIMBRO_DOCKER_BIN", "\n "}},
       false,
       {},
       "docker",
       with({"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml"}, tail)},
      {"padded service and docker variables",
       "<dir>/compose.yml",
       {{"NIMBRO_CONTROL_SERVICE", "  control plane "}, {"NIMBRO_DOCKER_BIN", " /opt/docker\t"}},
       false,
       {"preauthkeys", "list"},
       "/opt/docker",
       {"compose", "--env-file", "<dir>/.env", "-f", "<dir>/compose.yml", "--project-name",
        "cell-a", "exec", "-T", "control plane", "headscale", "preauthkeys", "list"}},
  };

  Cells cells;
  const std::string& dir = cells.dir.path();
  const std::string& other = cells.other.path();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Env env;
    for (const auto& [name, value] : c.env) env[name] = expand({value}, dir, other).front();
    const std::string composeFile = expand({c.composeFile}, dir, other).front();
    const Strings wantArgs = expand(c.wantArgs, dir, other);

    // The same call reaches a runner with and without the environment capability.
    auto envRunner = std::make_shared<EnvFakeRunner>();
    auto plainRunner = std::make_shared<PlainRunner>();
    struct Run {
      std::shared_ptr<PlainRunner> runner;
      const char* method;
      Strings unsetEnv;
    };
    for (const Run& run : {Run{envRunner, "RunWithUnsetEnv", kUnsetEnv},
                           Run{plainRunner, "Run", {}}}) {
      SCOPED_TRACE(run.method);
      Fixture f;
      const App app = f.app(run.runner, env);
      std::unique_ptr<ScopedChdir> chdir;
      if (c.inDir) chdir = std::make_unique<ScopedChdir>(dir);
      Error err = app.runHeadscale(Context(), composeFile, c.args);
      chdir.reset();
      ASSERT_FALSE(err) << err.message();
      ASSERT_EQ(run.runner->calls.size(), 1u);
      const RecordedCall& call = run.runner->calls.front();
      EXPECT_EQ(call.method, run.method);
      EXPECT_EQ(call.name, c.wantProgram);
      EXPECT_EQ(call.args, wantArgs);
      EXPECT_EQ(call.unsetEnv, run.unsetEnv);
      EXPECT_EQ(call.out, &f.out);
      EXPECT_EQ(call.err, &f.err);
      EXPECT_EQ(f.out.text, "");
    }
  }
}

TEST(RunHeadscale, RunsNothingWithoutAGoodEnvFile) {
  struct Case {
    const char* name;
    std::string content;  // of <dir>/.env; empty for no file at all
    std::string want;     // "<dir>" expands
  };
  const Case cases[] = {
      {"project name set", "NIMBRO_INSTANCE_ID=a\nCOMPOSE_PROJECT_NAME=b\n",
       "<dir>/.env:2 não pode definir COMPOSE_PROJECT_NAME; use somente NIMBRO_INSTANCE_ID"},
      {"no instance ID", "# nothing\n", "<dir>/.env deve definir NIMBRO_INSTANCE_ID exatamente uma vez"},
      {"bad instance ID", "NIMBRO_INSTANCE_ID=change-me\n",
       "NIMBRO_INSTANCE_ID em <dir>/.env deve começar com letra ou número minúsculo e usar "
       "somente a-z, 0-9, hífen ou sublinhado"},
      {"missing file", "",
       "não foi possível ler o .env da célula Nimbro \"<dir>/.env\": open <dir>/.env: no such "
       "file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    if (!c.content.empty()) testing::writeFileWithMode(dir.join(".env"), c.content, 0600);
    auto runner = std::make_shared<EnvFakeRunner>();
    Fixture f;
    const App app = f.app(runner, {});
    Error err = app.runHeadscale(Context(), dir.join("compose.yml"), {"nodes", "list"});
    ASSERT_TRUE(err);
    EXPECT_EQ(err.message(), expand({c.want}, dir.path(), "").front());
    EXPECT_TRUE(IsUsageError(err));
    EXPECT_TRUE(runner->calls.empty());
  }
}

TEST(RunHeadscale, WrapsTheRunnersFailure) {
  Cells cells;
  auto runner = std::make_shared<EnvFakeRunner>();
  runner->result = Error::exit("exit status 3", 3);
  Fixture f;
  const App app = f.app(runner, {});
  Error err = app.runHeadscale(Context(), cells.dir.join("compose.yml"), {"nodes", "list"});
  ASSERT_TRUE(err);
  EXPECT_EQ(err.message(), "o comando administrativo do Headscale falhou: exit status 3");
  EXPECT_EQ(err.kind(), ErrorKind::Plain);
  EXPECT_FALSE(IsUsageError(err));
  EXPECT_EQ(ExitCode(err), 3);
  EXPECT_EQ(runner->calls.size(), 1u);
}

TEST(RunHeadscale, WrapsACancelledEnvFileRead) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo(dir.join(".env").c_str(), 0600), 0);
  CancelSource cancel;
  cancel.cancel();
  auto runner = std::make_shared<EnvFakeRunner>();
  Fixture f;
  const App app = f.app(runner, {});
  Error err = app.runHeadscale(cancel.context(), dir.join("compose.yml"), {"nodes", "list"});
  ASSERT_TRUE(err);
  EXPECT_EQ(err.message(), "o comando administrativo do Headscale falhou: context canceled");
  EXPECT_FALSE(IsUsageError(err));
  EXPECT_TRUE(runner->calls.empty());
}

TEST(RunHeadscale, ReportsALostWorkingDirectory) {
  ScratchDir dir;
  const std::string gone = dir.join("gone");
  ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
  auto runner = std::make_shared<EnvFakeRunner>();
  Fixture f;
  const App app = f.app(runner, {});
  Error err;
  {
    ScopedChdir chdir(gone);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    err = app.runHeadscale(Context(), "", {"nodes", "list"});
  }
  ASSERT_TRUE(err);
  constexpr std::string_view kPrefix = "não foi possível localizar o .env da célula Nimbro: ";
  EXPECT_EQ(err.message().substr(0, kPrefix.size()), kPrefix);
  EXPECT_TRUE(err.cause());
  EXPECT_FALSE(IsUsageError(err));
  EXPECT_TRUE(runner->calls.empty());
}

}  // namespace
}  // namespace nimbro
