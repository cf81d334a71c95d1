// The built tool end to end: dispatch, passthroughs, version, error lines,
// exit statuses and signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "e2e_support.h"

namespace nimbro::testing {
namespace {

const std::string kUsage =
    "Uso: nimbro <comando> [opções]\n\nComandos:\n"
    "  join       Entrar na rede Nimbro usando um token em arquivo\n"
    "  status     Mostrar o estado do engine e dos nós\n"
    "  ip         Mostrar os endereços IP deste nó\n"
    "  ping       Testar a conectividade com outro nó\n"
    "  down       Desativar temporariamente a rede\n"
    "  leave      Sair da rede (logout)\n"
    "  netcheck   Diagnosticar a conectividade de rede\n"
    "  version    Mostrar as versões do Nimbro e do engine\n"
    "  admin      Administrar tokens e nós pelo Docker Compose\n\n"
    "Use 'nimbro <comando> --help' para detalhes.\n";

// The bits of signals 1 to 31 in a mask from /proc/<pid>/status. The C
// library keeps two signals above 31 for itself and its spawn leaves them
// ignored; no program can observe or change them.
unsigned long standardSignals(const std::string& hex) {
  return std::stoul(hex, nullptr, 16) & 0x7FFFFFFFul;
}

TEST(EndToEnd, OutputsAndStatuses) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string out, err;
    int status;
  } cases[] = {
      {"help", {"help"}, {}, kUsage, "", 0},
      {"no command", {}, {}, "",
       "nimbro: nenhum comando informado; use 'nimbro help' para ver as opções\n", 2},
      {"unknown command quoted", {"st\"at\tus"}, {}, "",
       "nimbro: comando desconhecido \"st\\\"at\\tus\"; use 'nimbro help' para ver as opções\n", 2},
      {"engine exits 3", {"status"}, {{"FAKE_EXIT", "3"}}, "",
       "nimbro: o engine Tailscale falhou ao executar status: exit status 3\n", 3},
      {"engine output passes through", {"ip", "-4"}, {{"FAKE_STDOUT", "100.64.0.1\n"}},
       "100.64.0.1\n", "", 0},
      {"engine killed", {"ping", "x"}, {{"FAKE_MODE", "kill"}}, "",
       "nimbro: o engine Tailscale falhou ao executar ping: signal: killed\n", 1},
      {"leave names logout", {"leave"}, {{"FAKE_EXIT", "4"}}, "",
       "nimbro: o engine Tailscale falhou ao executar logout: exit status 4\n", 4},
      {"missing engine", {"status"}, {{"NIMBRO_TAILSCALE_BIN", "/no/such"}}, "",
       "nimbro: o engine Tailscale falhou ao executar status: fork/exec /no/such: no such file or "
       "directory\n",
       1},
      {"engine not on PATH", {"down"}, {{"NIMBRO_TAILSCALE_BIN", "no-such-engine"}}, "",
       "nimbro: o engine Tailscale falhou ao executar down: exec: \"no-such-engine\": executable "
       "file not found in $PATH\n",
       1},
      {"version", {"version"}, {{"FAKE_STDOUT", "1.2.3\n"}},
       "Nimbro 0.1.0\nEngine Tailscale:\n1.2.3\n", "", 0},
      {"version with a word", {"version", "--help"}, {}, "",
       "nimbro: version não aceita argumentos\n", 2},
      {"version engine fails", {"version"}, {{"FAKE_EXIT", "5"}},
       "Nimbro 0.1.0\nEngine Tailscale:\n",
       "nimbro: o engine Tailscale falhou ao executar version: exit status 5\n", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun t;
    for (const auto& [k, v] : c.env) t.env[k] = v;
    const ProcessResult r = t.run(c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.exitCode, c.status);
    EXPECT_EQ(r.signal, 0);
  }
}

TEST(EndToEnd, EngineGetsExactlyItsArgumentsStreamsAndDefaults) {
  ToolRun t;
  TestProcess::Launch launch = t.launch({"status", "--json", "a b"});
  // A descriptor the tool inherits without close-on-exec must not reach the engine.
  launch.beforeExec = [] {
    const int fd = open("/dev/null", O_RDONLY);
    if (fd >= 0 && fd != 7) {
      dup2(fd, 7);
      close(fd);
    }
  };
  const ProcessResult r = runProcess(launch);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const ChildRecord c = t.child();
  ASSERT_TRUE(c.present);
  EXPECT_EQ(c.argv, (std::vector<std::string>{selfExe(), "--socket=/run/test/engine.sock",
                                              "status", "--json", "a b"}));
  ASSERT_EQ(c.descriptors.size(), 3u);
  for (int fd = 0; fd < 3; ++fd)
    EXPECT_EQ(c.descriptors[fd].substr(0, 11), std::to_string(fd) + " -> pipe:[");
  EXPECT_EQ(standardSignals(c.sigBlocked), 0u);
  EXPECT_EQ(standardSignals(c.sigIgnored), 0u);
}

TEST(EndToEnd, ClosedStandardOutputFailsVersionWithoutEngine) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string err;
  } cases[] = {
      {"closed", [] { close(1); },
       "nimbro: não foi possível escrever a versão do Nimbro: write /dev/stdout: bad file "
       "descriptor\n"},
      {"broken pipe",
       [] {
         int p[2];
         if (pipe(p) == 0) {
           dup2(p[1], 1);
           close(p[0]);
           close(p[1]);
         }
       },
       "nimbro: não foi possível escrever a versão do Nimbro: write /dev/stdout: broken pipe\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun t;
    TestProcess::Launch launch = t.launch({"version"});
    launch.beforeExec = c.setup;
    const ProcessResult r = runProcess(launch);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(t.child().present);
  }
}

TEST(EndToEnd, SignalWhileEngineRunsKillsItAndReportsOnce) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    ToolRun t;
    ReadySignal ready(t.dir.file("ready"));
    t.env["FAKE_MODE"] = "sleep";
    t.env["FAKE_READY"] = ready.path();
    TestProcess tool(t.launch({"status"}));
    ASSERT_TRUE(ready.wait());
    ASSERT_EQ(kill(tool.pid(), sig), 0);
    const ProcessResult r = tool.wait();
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "nimbro: o engine Tailscale falhou ao executar status: signal: killed\n");
    const ChildRecord c = t.child();
    ASSERT_GT(c.pid, 0);
    EXPECT_EQ(kill(c.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }
}

}  // namespace
}  // namespace nimbro::testing
