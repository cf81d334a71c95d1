#include "cli/app.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "support/fakes.h"

namespace nimbro {
namespace {

using testing::FailingWriter;
using testing::PlainRunner;
using testing::StringReader;
using testing::StringWriter;

constexpr std::string_view kRootUsage =
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

using Env = std::map<std::string, std::string>;

Getenv envFrom(Env env) {
  return [env = std::move(env)](const std::string& name) {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  };
}

// An App whose runner records and whose streams are in memory.
struct Fixture {
  std::shared_ptr<PlainRunner> runner = std::make_shared<PlainRunner>();
  StringReader in;
  StringWriter out, err;

  App app(std::string goos = "linux", Env env = {}) {
    return New({.runner = runner, .stdin_ = &in, .stdout_ = &out, .stderr_ = &err,
                .version = "0.1.0", .getenv = envFrom(std::move(env)), .goos = goos});
  }
};

TEST(New, FillsDefaults) {
  const App app = New({});
  EXPECT_NE(dynamic_cast<ExecRunner*>(&app.runner()), nullptr);
  EXPECT_EQ(app.in().fd(), 0);
  EXPECT_EQ(app.out().fd(), 1);
  EXPECT_EQ(app.err().fd(), 2);
  EXPECT_EQ(app.version(), "dev");
  EXPECT_EQ(app.goos(), "linux");
  EXPECT_EQ(app.tokenOwnerUID(), 0u);
  ::setenv("NIMBRO_NEW_TEST", "value", 1);
  EXPECT_EQ(app.getenv("NIMBRO_NEW_TEST"), "value");
  ::unsetenv("NIMBRO_NEW_TEST");

  struct Case {
    const char* name;
    Options opts;
    std::string version, goos;
    uint32_t uid;
  } cases[] = {
      {"blank version is dev", {.version = "  \t"}, "dev", "linux", 0},
      {"version trimmed", {.version = " 1.2.3\n"}, "1.2.3", "linux", 0},
      {"goos trimmed", {.goos = " linux "}, "dev", "linux", 0},
      {"goos not lower-cased", {.goos = "Linux"}, "dev", "Linux", 0},
      {"uid given", {.tokenOwnerUID = 501}, "dev", "linux", 501},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const App a = New(std::move(c.opts));
    EXPECT_EQ(a.version(), c.version);
    EXPECT_EQ(a.goos(), c.goos);
    EXPECT_EQ(a.tokenOwnerUID(), c.uid);
  }
}

// On Linux the tool must find the engine where the install puts it and
// the daemon's socket where the shipped service has the daemon listen:
// node/nimbrod.service.in, with the install's default prefix /usr/local.
TEST(PlatformDefaults, LinuxAgreesWithTheShippedService) {
  std::ifstream unit(NIMBRO_TEST_DATA "/../../node/nimbrod.service.in");
  ASSERT_TRUE(unit) << "node/nimbrod.service.in";
  std::string execStart;
  for (std::string line; std::getline(unit, line);)
    if (line.starts_with("ExecStart=")) execStart = line.substr(std::strlen("ExecStart="));
  ASSERT_FALSE(execStart.empty());
  const PlatformDefaults linux = platformDefaults("linux");

  // The daemon beside the client, which the install links to it; the check
  // for another engine may stand before it and execs it.
  const std::string daemon = "@NIMBRO_ENGINE_LIBEXEC@/tailscaled ";
  EXPECT_TRUE(execStart.starts_with(daemon) || execStart.find(" " + daemon) != std::string::npos)
      << execStart;
  EXPECT_EQ(linux.engine, "/usr/local/libexec/nimbro/tailscale");
  EXPECT_NE(execStart.find(" --socket=" + linux.socket + " "), std::string::npos) << execStart;
}

TEST(PlatformDefaults, ElsewhereTheEngineOnPath) {
  for (const char* goos : {"freebsd", "Linux", ""}) {
    SCOPED_TRACE(goos);
    EXPECT_EQ(platformDefaults(goos).engine, "tailscale");
    EXPECT_EQ(platformDefaults(goos).socket, "");
  }
}

TEST(Run, RootUsageAndDispatchErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string out, err;
    bool usage;
  } cases[] = {
      {{"help"}, std::string(kRootUsage), "", false},
      {{"-h"}, std::string(kRootUsage), "", false},
      {{"--help"}, std::string(kRootUsage), "", false},
      {{}, "", "nenhum comando informado; use 'nimbro help' para ver as opções", true},
      {{"help", "join"}, "", "o comando help não aceita argumentos", true},
      {{"--help", ""}, "", "o comando help não aceita argumentos", true},
      {{"Help"}, "", "comando desconhecido \"Help\"; use 'nimbro help' para ver as opções", true},
      {{"JOIN"}, "", "comando desconhecido \"JOIN\"; use 'nimbro help' para ver as opções", true},
      {{""}, "", "comando desconhecido \"\"; use 'nimbro help' para ver as opções", true},
      {{"--control", "join"}, "",
       "comando desconhecido \"--control\"; use 'nimbro help' para ver as opções", true},
      {{"a\"b\\c\n\x1b"}, "",
       "comando desconhecido \"a\\\"b\\\\c\\n\\x1b\"; use 'nimbro help' para ver as opções", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    Fixture f;
    const Error err = f.app().Run(Context(), c.args);
    EXPECT_EQ(f.out.text, c.out);
    EXPECT_EQ(err.message(), c.err);
    EXPECT_EQ(IsUsageError(err), c.usage);
    EXPECT_TRUE(f.runner->calls.empty());
  }
}

TEST(Run, PassthroughsReachTheEngine) {
  struct Case {
    const char* name;
    std::string goos;
    Env env;
    std::vector<std::string> args;
    std::string program;
    std::vector<std::string> argv;
  } cases[] = {
      {"linux status", "linux", {}, {"status"}, "/usr/local/libexec/nimbro/tailscale",
       {"--socket=/run/nimbro/nimbrod.sock", "status"}},
      {"darwin status", "darwin", {}, {"status", "--json"}, "/usr/local/bin/tailscale",
       {"status", "--json"}},
      {"windows ip", "windows", {}, {"ip", "-4"}, "C:\\Program Files\\Tailscale\\tailscale.exe",
       {"ip", "-4"}},
      {"other system", "freebsd", {}, {"netcheck"}, "tailscale", {"netcheck"}},
      {"leave is logout", "linux", {}, {"leave", "--x", "y"},
       "/usr/local/libexec/nimbro/tailscale",
       {"--socket=/run/nimbro/nimbrod.sock", "logout", "--x", "y"}},
      {"ping alone", "darwin", {}, {"ping"}, "/usr/local/bin/tailscale", {"ping"}},
      {"down", "freebsd", {}, {"down"}, "tailscale", {"down"}},
      {"socket trimmed", "linux", {{"NIMBRO_SOCKET", "  /tmp/s.sock\t"}}, {"ip"},
       "/usr/local/libexec/nimbro/tailscale", {"--socket=/tmp/s.sock", "ip"}},
      {"blank socket is unset", "linux", {{"NIMBRO_SOCKET", "   "}}, {"ip"},
       "/usr/local/libexec/nimbro/tailscale", {"--socket=/run/nimbro/nimbrod.sock", "ip"}},
      {"socket on darwin", "darwin", {{"NIMBRO_SOCKET", "/s"}}, {"status"},
       "/usr/local/bin/tailscale", {"--socket=/s", "status"}},
      {"socket with spaces inside", "freebsd", {{"NIMBRO_SOCKET", "/a b"}}, {"status"},
       "tailscale", {"--socket=/a b", "status"}},
      {"engine override", "linux", {{"NIMBRO_TAILSCALE_BIN", " ts "}}, {"status"}, "ts",
       {"--socket=/run/nimbro/nimbrod.sock", "status"}},
      {"blank engine override", "darwin", {{"NIMBRO_TAILSCALE_BIN", " "}}, {"status"},
       "/usr/local/bin/tailscale", {"status"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    const App app = f.app(c.goos, c.env);
    EXPECT_FALSE(app.Run(Context(), c.args));
    ASSERT_EQ(f.runner->calls.size(), 1u);
    const auto& call = f.runner->calls[0];
    EXPECT_EQ(call.method, "Run");
    EXPECT_EQ(call.name, c.program);
    EXPECT_EQ(call.args, c.argv);
    EXPECT_EQ(call.in, &f.in);
    EXPECT_EQ(call.out, &f.out);
    EXPECT_EQ(call.err, &f.err);
    EXPECT_EQ(f.out.text, "");
  }
}

TEST(Run, EngineFailureKeepsTheExitCode) {
  Fixture f;
  f.runner->result = Error::exit("exit status 2", 2);
  const Error err = f.app().Run(Context(), {"ip"});
  EXPECT_EQ(err.message(), "o engine Tailscale falhou ao executar ip: exit status 2");
  EXPECT_EQ(exitStatus(err), 2);
  EXPECT_FALSE(IsUsageError(err));

  f.runner->result = Error::exit("signal: killed", -1);
  const Error killed = f.app().Run(Context(), {"leave"});
  EXPECT_EQ(killed.message(), "o engine Tailscale falhou ao executar logout: signal: killed");
  EXPECT_EQ(exitStatus(killed), 1);
}

TEST(Version, HeaderThenEngine) {
  Fixture f;
  EXPECT_FALSE(f.app("darwin").Run(Context(), {"version"}));
  EXPECT_EQ(f.out.text, "Nimbro 0.1.0\nEngine Tailscale:\n");
  ASSERT_EQ(f.runner->calls.size(), 1u);
  EXPECT_EQ(f.runner->calls[0].args, std::vector<std::string>{"version"});

  for (const char* extra : {"--help", "-h", "x"}) {
    SCOPED_TRACE(extra);
    Fixture g;
    const Error err = g.app().Run(Context(), {"version", extra});
    EXPECT_EQ(err.message(), "version não aceita argumentos");
    EXPECT_TRUE(IsUsageError(err));
    EXPECT_EQ(g.out.text, "");
    EXPECT_TRUE(g.runner->calls.empty());
  }

  Fixture broken;
  FailingWriter failing;
  const App app = New({.runner = broken.runner, .stdout_ = &failing, .version = "0.1.0"});
  const Error err = app.Run(Context(), {"version"});
  EXPECT_EQ(err.message(),
            "não foi possível escrever a versão do Nimbro: write /dev/stdout: bad file descriptor");
  EXPECT_EQ(exitStatus(err), 1);
  EXPECT_TRUE(broken.runner->calls.empty());
}

TEST(Errors, ChainLookups) {
  const Error usage = usageError("bad %s", "x");
  const Error wrapped = errorf("outer: %w", usage);
  EXPECT_EQ(wrapped.message(), "outer: bad x");
  EXPECT_TRUE(IsUsageError(wrapped));
  EXPECT_FALSE(IsUsageError(Error::plain(usage.message())));
  EXPECT_EQ(exitStatus(wrapped), 2);

  const Error exit = errorf("a: %w", errorf("b: %w", Error::exit("exit status 7", 7)));
  EXPECT_EQ(exit.message(), "a: b: exit status 7");
  EXPECT_EQ(exitStatus(exit), 7);
  // Only what %w fills is wrapped: a usage error under %v does not count.
  EXPECT_EQ(exitStatus(errorf("u: %w", errorf("%v %w", usage, exit))), 7);
  EXPECT_EQ(exitStatus(errorf("no cause: %v", exit)), 1);
  EXPECT_EQ(exitStatus(Error::exit("exit status 0", 0)), 0);
  EXPECT_EQ(exitStatus(Error{}), 0);
}

}  // namespace
}  // namespace nimbro
