// admin end to end: the docker child's argv, environment and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "e2e_support.h"

namespace nimbro::testing {
namespace {

struct AdminRun : ToolRun {
  std::string envFile = dir.file("cell.env");
  AdminRun() {
    writeFile(envFile, "# cell\nexport NIMBRO_INSTANCE_ID=cell-a\r\nNIMBRO_HTTP_PORT=8080\n");
    env["NIMBRO_COMPOSE_ENV_FILE"] = envFile;
  }
};

TEST(EndToEndAdmin, DockerGetsTheVectorAndAFilteredEnvironment) {
  AdminRun t;
  for (const char* name : {"COMPOSE_FILE", "COMPOSE_PROFILES", "COMPOSE_PROJECT_NAME",
                           "NIMBRO_INSTANCE_ID", "NIMBRO_HEADSCALE_CONFIG", "NIMBRO_TLS", "NIMBRO_TLS_DIR",
                           "NIMBRO_HTTP_BIND", "NIMBRO_HTTP_PORT", "NIMBRO_CONTROL_CONTAINER_PORT",
                           "NIMBRO_STUN_BIND", "NIMBRO_STUN_PORT"})
    t.env[name] = "leak";
  t.env["COMPOSE_FILEX"] = "kept";
  t.env["compose_file"] = "kept";
  TestProcess::Launch launch = t.launch({"admin", "--compose-file", " /srv/cell/compose.yml ", "token",
                                   "create", "--expiration", "90m", "--reusable"});
  launch.env.push_back("NO_EQUALS_SIGN");
  // A script's piped input stays with the script: Compose would forward it
  // into the container.
  launch.stdinData = "a\nb\n";
  const ProcessResult r = runProcess(launch);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const ChildRecord c = t.child();
  EXPECT_EQ(c.argv,
            (std::vector<std::string>{selfExe(), "compose", "--env-file", t.envFile, "-f",
                                      "/srv/cell/compose.yml", "--project-name", "cell-a", "exec",
                                      "-T", "nimbro-control", "headscale", "preauthkeys", "create",
                                      "--tags", "tag:nimbro", "--expiration", "90m",
                                      "--reusable"}));
  std::vector<std::string> want;
  for (const std::string& e : launch.env) {
    if (e.find("=leak") == std::string::npos && e.find('=') != std::string::npos) want.push_back(e);
  }
  EXPECT_EQ(c.env, want);
  ASSERT_EQ(c.descriptors.size(), 3u);
  EXPECT_EQ(c.descriptors[0], "0 -> /dev/null");
  EXPECT_EQ(c.fd0Access, "read-only");
  EXPECT_EQ(c.descriptors[1].substr(0, 11), "1 -> pipe:[");
}

TEST(EndToEndAdmin, StatusesAndMessages) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string envContent;
    std::map<std::string, std::string> env;
    std::string err;
    int status;
    bool dockerRuns;
  } cases[] = {
      {"docker exit code", {"admin", "nodes"}, "NIMBRO_INSTANCE_ID=cell-a\n", {{"FAKE_EXIT", "5"}},
       "nimbro: o comando administrativo do Headscale falhou: exit status 5\n", 5, true},
      {"bad env file", {"admin", "nodes"}, "NIMBRO_INSTANCE_ID=Cell\n", {},
       "nimbro: NIMBRO_INSTANCE_ID em %s deve começar com letra ou número minúsculo e usar "
       "somente a-z, 0-9, hífen ou sublinhado\n",
       2, false},
      {"project name refused", {"admin", "token", "list"},
       "NIMBRO_INSTANCE_ID=a\n\nCOMPOSE_PROJECT_NAME=x\n", {},
       "nimbro: %s:3 não pode definir COMPOSE_PROJECT_NAME; use somente NIMBRO_INSTANCE_ID\n", 2,
       false},
      {"usage error before docker", {"admin", "revoke", "0"}, "NIMBRO_INSTANCE_ID=a\n", {},
       "nimbro: o ID de admin revoke deve ser um inteiro positivo\n", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AdminRun t;
    writeFile(t.envFile, c.envContent);
    for (const auto& [k, v] : c.env) t.env[k] = v;
    const ProcessResult r = t.run(c.args);
    std::string err = c.err;
    if (size_t at = err.find("%s"); at != std::string::npos) err.replace(at, 2, t.envFile);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.exitCode, c.status);
    EXPECT_EQ(t.child().present, c.dockerRuns);
  }
}

TEST(EndToEndAdmin, EnvFileDirectoryOrDevNull) {
  AdminRun t;
  t.env["NIMBRO_COMPOSE_ENV_FILE"] = t.dir.path();
  ProcessResult r = t.run({"admin", "nodes"});
  EXPECT_EQ(r.err, "nimbro: não foi possível ler o .env da célula Nimbro \"" + t.dir.path() +
                       "\": read " + t.dir.path() + ": is a directory\n");
  EXPECT_EQ(r.exitCode, 2);
  t.env["NIMBRO_COMPOSE_ENV_FILE"] = "/dev/null";
  r = t.run({"admin", "nodes"});
  EXPECT_EQ(r.err, "nimbro: /dev/null deve definir NIMBRO_INSTANCE_ID exatamente uma vez\n");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(t.child().present);
}

// Opens a FIFO for writing as soon as some reader has it open; that tells
// the test the tool is waiting on it.
int openWriterOnceReaderWaits(const std::string& fifo) {
  for (int i = 0; i < 5000; ++i) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 || errno != ENXIO) return fd;
    usleep(1000);
  }
  return -1;
}

TEST(EndToEndAdmin, SignalWhileReadingAFifoEnvFile) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    AdminRun t;
    const std::string fifo = t.dir.file("fifo.env");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    t.env["NIMBRO_COMPOSE_ENV_FILE"] = fifo;
    TestProcess tool(t.launch({"admin", "nodes"}));
    const int writer = openWriterOnceReaderWaits(fifo);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(kill(tool.pid(), sig), 0);
    const ProcessResult r = tool.wait();
    close(writer);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "nimbro: o comando administrativo do Headscale falhou: context canceled\n");
    EXPECT_FALSE(t.child().present);
  }
}

TEST(EndToEndAdmin, EnvFileFromAPipeWorks) {
  AdminRun t;
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  const std::string content = "NIMBRO_INSTANCE_ID=piped\n";
  ASSERT_EQ(write(p[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(p[1]);
  TestProcess::Launch launch = t.launch({"admin", "nodes"});
  const int readEnd = p[0];
  launch.beforeExec = [readEnd] { dup2(readEnd, 5); };
  for (std::string& e : launch.env)
    if (e.rfind("NIMBRO_COMPOSE_ENV_FILE=", 0) == 0) e = "NIMBRO_COMPOSE_ENV_FILE=/dev/fd/5";
  const ProcessResult r = runProcess(launch);
  close(p[0]);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const ChildRecord c = t.child();
  ASSERT_GE(c.argv.size(), 8u);
  EXPECT_EQ(c.argv[5], "piped");
}

}  // namespace
}  // namespace nimbro::testing
