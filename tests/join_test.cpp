#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "cli/app.h"
#include "process/runner.h"
#include "support/fakes.h"
#include "support/key_files.h"

namespace nimbro {
namespace {

using testing::ExtraFilesFakeRunner;
using testing::openDescriptorCount;
using testing::pathExists;
using testing::PlainRunner;
using testing::ScratchDir;
using testing::StringReader;
using testing::StringWriter;
using testing::writeFileWithMode;

using Words = std::vector<std::string>;

const std::string kJoinUsage =
    "Uso: nimbro join --control URL --token-file CAMINHO [opções]\n"
    "\n"
    "Opções:\n"
    "  --hostname NOME       Nome deste nó\n"
    "  --timeout DURAÇÃO     Tempo limite (padrão: 2m)\n"
    "  --delete-token        Apagar o arquivo de token somente após o sucesso\n"
    "  --insecure-http       Permitir HTTP para um servidor fora de loopback\n";

constexpr const char* kControl = "https://control.example.net";

// An App around a given runner, with in-memory streams, a fixed environment
// and a record of every variable looked up. The key file belongs to this
// process's user, who is also the expected owner.
struct JoinHarness {
  explicit JoinHarness(std::shared_ptr<Runner> r, std::string goos,
                       std::map<std::string, std::string> env = {})
      : runner(std::move(r)), environment(std::move(env)) {
    writeFileWithMode(key, "tskey-auth-1\n", 0600);
    Options opts;
    opts.runner = runner;
    opts.stdin_ = &in;
    opts.stdout_ = &out;
    opts.stderr_ = &err;
    opts.goos = std::move(goos);
    opts.tokenOwnerUID = ::geteuid();
    opts.getenv = [this](const std::string& name) {
      lookedUp.insert(name);
      auto it = environment.find(name);
      return it == environment.end() ? std::string() : it->second;
    };
    app = std::make_unique<App>(New(std::move(opts)));
  }

  Error join(const Words& args) { return app->runJoin(Context(), args); }

  ScratchDir dir;
  std::string key = dir.join("key");
  std::shared_ptr<Runner> runner;
  std::map<std::string, std::string> environment;
  std::set<std::string> lookedUp;
  StringReader in;
  StringWriter out, err;
  std::unique_ptr<App> app;
};

Words withKey(const std::string& key, Words more = {}) {
  Words args{"--control", kControl, "--token-file", key};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(RunJoin, BuildsTheEngineCommandForEachSystem) {
  const std::string up = "up";
  struct Case {
    const char* name;
    std::string goos;
    std::map<std::string, std::string> env;
    Words extraArgs;  // after --control and --token-file
    std::string method;
    std::string program;
    // The expected vector, with KEY standing for the key reference.
    Words engineArgs;
    bool keyByPath = false;
  };
  const Words linuxPrefix{"--socket=/run/nimbro/nimbrod.sock"};
  auto upArgs = [&](Words prefix, std::string keyRef, std::string timeout, Words tail) {
    Words args = std::move(prefix);
    Words fixed{"up",
                "--reset",
                std::string("--login-server=") + kControl,
                "--auth-key=" + keyRef,
                "--accept-dns=true",
                "--accept-routes=false",
                "--ssh=false",
                "--timeout=" + timeout};
    args.insert(args.end(), fixed.begin(), fixed.end());
    args.insert(args.end(), tail.begin(), tail.end());
    return args;
  };
  const std::string byPath = "file:KEY";
  const Case cases[] = {
      {"linux defaults", "linux", {}, {}, "RunWithExtraFiles",
       "/usr/local/libexec/nimbro/tailscale",
       upArgs(linuxPrefix, "file:/proc/self/fd/3", "2m", {})},
      {"linux with socket and engine from the environment", "linux",
       {{"NIMBRO_SOCKET", " /s/t.sock "}, {"NIMBRO_TAILSCALE_BIN", "ts"}}, {"--hostname", "web"},
       "RunWithExtraFiles", "ts",
       upArgs({"--socket=/s/t.sock"}, "file:/proc/self/fd/3", "2m", {"--hostname=web"})},
      {"darwin defaults, time-out kept as typed", "darwin", {}, {"--timeout", "90s"},
       "RunWithExtraFiles", "/usr/local/bin/tailscale",
       upArgs({}, "file:/dev/fd/3", "90s", {})},
      {"windows: key by path, unattended before hostname", "windows", {},
       {"--hostname=pc", "--timeout=1h30m"}, "Run", "C:\\Program Files\\Tailscale\\tailscale.exe",
       upArgs({}, byPath, "1h30m", {"--unattended=true", "--hostname=pc"}), true},
      {"other system: bare engine name, key by path", "freebsd", {}, {}, "Run", "tailscale",
       upArgs({}, byPath, "2m", {}), true},
      {"system names compare exactly", "Linux", {}, {}, "Run", "tailscale",
       upArgs({}, byPath, "2m", {}), true},
      {"hostname of blanks passed as typed", "darwin", {}, {"-hostname", "   "},
       "RunWithExtraFiles", "/usr/local/bin/tailscale",
       upArgs({}, "file:/dev/fd/3", "2m", {"--hostname=   "})},
      {"last value wins, values may begin with a dash", "darwin", {},
       {"--hostname", "a", "--hostname", "-b", "-timeout=+90s"}, "RunWithExtraFiles",
       "/usr/local/bin/tailscale", upArgs({}, "file:/dev/fd/3", "+90s", {"--hostname=-b"})},
      {"boolean options add nothing to the engine command", "darwin", {},
       {"--insecure-http", "--delete-token=false"}, "RunWithExtraFiles",
       "/usr/local/bin/tailscale", upArgs({}, "file:/dev/fd/3", "2m", {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto runner = std::make_shared<ExtraFilesFakeRunner>();
    JoinHarness h(runner, c.goos, c.env);
    Error err = h.join(withKey(h.key, c.extraArgs));
    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(runner->calls.size(), 1u);
    const testing::RecordedCall& call = runner->calls[0];
    EXPECT_EQ(call.method, c.method);
    EXPECT_EQ(call.name, c.program);
    Words expected = c.engineArgs;
    for (std::string& arg : expected) {
      if (arg == "--auth-key=" + byPath) arg = "--auth-key=file:" + h.key;
    }
    EXPECT_EQ(call.args, expected);
    EXPECT_EQ(call.in, &h.in);
    EXPECT_EQ(call.out, &h.out);
    EXPECT_EQ(call.err, &h.err);
    EXPECT_EQ(call.extraFiles.size(), c.keyByPath ? 0u : 1u);
    EXPECT_EQ(h.out.text, "");
    EXPECT_TRUE(pathExists(h.key)) << "the key file went away without --delete-token";
  }
}

// Looks at the descriptor it is handed while the engine would run.
class KeyInspectingRunner final : public Runner, public ExtraFileRunner {
 public:
  Error Run(const Context&, const std::string&, const std::vector<std::string>&, Reader&,
            Writer&, Writer&) override {
    return Error::plain("Run is not expected");
  }
  Error RunWithExtraFiles(const Context&, const std::string&, const std::vector<std::string>&,
                          Reader&, Writer&, Writer&, std::span<const int> extraFiles) override {
    handed = std::vector<int>(extraFiles.begin(), extraFiles.end());
    for (int fd : extraFiles) {
      struct stat st {};
      statOk.push_back(::fstat(fd, &st) == 0);
      inodes.push_back({st.st_dev, st.st_ino});
    }
    if (whileRunning) whileRunning();
    return result;
  }

  std::vector<int> handed;
  std::vector<bool> statOk;
  std::vector<std::pair<dev_t, ino_t>> inodes;
  std::function<void()> whileRunning;
  Error result;
};

TEST(RunJoin, HandsTheVettedKeyFileAsTheOnlyExtraFile) {
  for (const char* goos : {"linux", "darwin"}) {
    SCOPED_TRACE(goos);
    auto runner = std::make_shared<KeyInspectingRunner>();
    JoinHarness h(runner, goos);
    struct stat onDisk {};
    ASSERT_EQ(::stat(h.key.c_str(), &onDisk), 0);
    int before = openDescriptorCount();

    Error err = h.join(withKey(h.key));

    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(runner->handed.size(), 1u);
    ASSERT_TRUE(runner->statOk[0]) << "the handed descriptor was not open";
    EXPECT_EQ(runner->inodes[0], std::make_pair(onDisk.st_dev, onDisk.st_ino));
    EXPECT_EQ(openDescriptorCount(), before) << "the key file was left open";
  }
}

TEST(RunJoin, RefusesARunnerThatCannotPassTheKeyFile) {
  for (const char* goos : {"linux", "darwin"}) {
    SCOPED_TRACE(goos);
    auto runner = std::make_shared<PlainRunner>();
    JoinHarness h(runner, goos);
    int before = openDescriptorCount();

    Error err = h.join(withKey(h.key));

    ASSERT_TRUE(err);
    EXPECT_EQ(err.message(), "o executor configurado não oferece passagem segura do arquivo de token");
    EXPECT_EQ(err.kind(), ErrorKind::Plain);
    EXPECT_FALSE(IsUsageError(err));
    EXPECT_TRUE(runner->calls.empty());
    EXPECT_EQ(h.lookedUp.count("NIMBRO_TAILSCALE_BIN"), 0u)
        << "the engine program was looked up although nothing could run";
    EXPECT_TRUE(pathExists(h.key));
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_EQ(h.out.text, "");
  }
}

TEST(RunJoin, AnswersHelpWithItsUsageOnly) {
  struct Case {
    const char* name;
    Words args;
  };
  const Case cases[] = {
      {"--help", {"--help"}},
      {"-help", {"-help"}},
      {"--h", {"--h"}},
      {"-h", {"-h"}},
      {"with an attached value", {"--help=no"}},
      {"after valid options", {"--control", kControl, "--help"}},
      {"after an invalid URL, before an unknown option", {"--control", "ftp://x", "-h", "--bogus"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto runner = std::make_shared<ExtraFilesFakeRunner>();
    JoinHarness h(runner, "linux");
    Error err = h.join(c.args);
    EXPECT_FALSE(err) << err.message();
    EXPECT_EQ(h.out.text, kJoinUsage);
    EXPECT_EQ(h.err.text, "");
    EXPECT_TRUE(runner->calls.empty());
  }
}

TEST(RunJoin, UsageTextOffersOnlyOptionsTheParserTakes) {
  // Every option the printed usage names is read by the parser, with a value
  // exactly when the usage shows one: "--timeout DURAÇÃO", "--delete-token".
  auto runner = std::make_shared<ExtraFilesFakeRunner>();
  JoinHarness printed(runner, "linux");
  printed.app->printJoinUsage();
  std::istringstream lines(printed.out.text);
  int options = 0;
  for (std::string line; std::getline(lines, line);) {
    for (size_t at = line.find(" --"); at != std::string::npos; at = line.find(" --", at + 1)) {
      const size_t end = line.find(' ', at + 1);
      const std::string option = line.substr(at + 1, end - at - 1);
      const bool takesValue = end < line.size() && line[end + 1] != ' ';
      SCOPED_TRACE(option);
      ++options;
      JoinHarness h(runner, "linux");
      Error err = h.join({takesValue ? option + "=x" : option, "--help"});
      EXPECT_FALSE(err) << err.message();
      EXPECT_EQ(h.out.text, kJoinUsage);
    }
  }
  EXPECT_EQ(options, 6);
  EXPECT_TRUE(runner->calls.empty());
}

TEST(RunJoin, RejectsWrongUsageBeforeRunningAnything) {
  ScratchDir other;
  std::string loose = other.join("loose");
  writeFileWithMode(loose, "tskey-auth-1\n", 0644);
  const std::string missing = other.join("absent");

  struct Case {
    const char* name;
    Words args;
    std::string message;
  };
  const std::string ok = "KEY";  // stands for the harness's good key file
  const Case cases[] = {
      {"unknown option", {"--verbose"},
       "opções inválidas para join: flag provided but not defined: -verbose"},
      {"unknown option with a value", {"--verbose=1", "--control", kControl},
       "opções inválidas para join: flag provided but not defined: -verbose"},
      {"text option without its value", {"--control", kControl, "--token-file"},
       "opções inválidas para join: flag needs an argument: -token-file"},
      {"boolean with a word that is not boolean", {"--delete-token=yes"},
       "opções inválidas para join: invalid boolean value \"yes\" for -delete-token: parse error"},
      {"boolean with an empty value", {"--insecure-http="},
       "opções inválidas para join: invalid boolean value \"\" for -insecure-http: parse error"},
      {"three dashes", {"---control=x"}, "opções inválidas para join: bad flag syntax: ---control=x"},
      {"name starting with =", {"-=x"}, "opções inválidas para join: bad flag syntax: -=x"},
      {"positional word", {"now"}, "join não aceita argumentos posicionais: now"},
      {"positional word before --help", {"now", "--help"},
       "join não aceita argumentos posicionais: now --help"},
      {"boolean does not take the next word", {"--control", kControl, "--token-file", ok,
                                               "--delete-token", "false", "x"},
       "join não aceita argumentos posicionais: false x"},
      {"words after --", {"--control", kControl, "--", "--token-file", ok},
       "join não aceita argumentos posicionais: --token-file KEY"},
      {"nothing at all: control first", {}, "a opção --control é obrigatória"},
      {"control of blanks", {"--control", " \t\u00a0", "--token-file", ok},
       "a opção --control é obrigatória"},
      {"token file missing", {"--control", kControl}, "a opção --token-file é obrigatória"},
      {"token file of blanks", {"--control", kControl, "--token-file", "\u3000 "},
       "a opção --token-file é obrigatória"},
      {"URL with a leading blank", {"--control", " https://x.example", "--token-file", ok},
       "--control deve ser uma URL absoluta HTTP ou HTTPS válida"},
      {"URL checked before the key file is opened",
       {"--control", "https://u@x.example", "--token-file", missing},
       "--control não pode incluir usuário ou senha na URL"},
      {"plain HTTP to a remote host", {"--control", "http://10.0.0.1", "--token-file", ok},
       "HTTP só é permitido para endereços de loopback; use HTTPS ou confirme o risco com "
       "--insecure-http"},
      {"time-out of zero", {"--control", kControl, "--token-file", ok, "--timeout", "0"},
       "--timeout deve ser uma duração positiva, como 30s ou 2m"},
      {"time-out with a trailing blank", {"--control", kControl, "--token-file", ok, "--timeout", "2m "},
       "--timeout deve ser uma duração positiva, como 30s ou 2m"},
      {"time-out checked before the key file is opened",
       {"--control", kControl, "--token-file", missing, "--timeout", "1d"},
       "--timeout deve ser uma duração positiva, como 30s ou 2m"},
      {"missing key file", {"--control", kControl, "--token-file", missing},
       "não foi possível abrir com segurança o arquivo de token \"" + missing + "\": open " +
           missing + ": no such file or directory"},
      {"key file readable by others", {"--control", kControl, "--token-file", loose},
       "permissões inseguras no arquivo de token \"" + loose +
           "\": remova todo acesso de grupo e outros (use chmod 600 ou 400)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto runner = std::make_shared<ExtraFilesFakeRunner>();
    JoinHarness h(runner, "linux");
    Words args = c.args;
    for (std::string& a : args) {
      if (a == ok) a = h.key;
    }
    std::string message = c.message;
    if (auto at = message.find(ok); at != std::string::npos) message.replace(at, ok.size(), h.key);
    int before = openDescriptorCount();

    Error err = h.join(args);

    ASSERT_TRUE(err);
    EXPECT_EQ(err.message(), message);
    EXPECT_TRUE(IsUsageError(err));
    EXPECT_TRUE(runner->calls.empty());
    EXPECT_EQ(h.out.text, "");
    EXPECT_EQ(openDescriptorCount(), before);
  }
}

TEST(RunJoin, PassesAnAcceptedControlURLAsTyped) {
  struct Case {
    const char* name;
    Words extra;
    std::string control;
  };
  const Case cases[] = {
      {"loopback needs no permission", {}, "http://127.0.0.1:8080"},
      {"remote host with --insecure-http", {"--insecure-http"}, "http://10.0.0.1"},
      {"remote host with -insecure-http=true", {"-insecure-http=true"}, "HTTP://10.0.0.1"},
      {"neither case nor a trailing blank is normalised", {}, "HTTPS://Control.Example.NET/a "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto runner = std::make_shared<ExtraFilesFakeRunner>();
    JoinHarness h(runner, "linux");
    Words args{"--control", c.control, "--token-file", h.key};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    Error err = h.join(args);
    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(runner->calls.size(), 1u);
    EXPECT_EQ(runner->calls[0].args.at(3), "--login-server=" + c.control);
  }
}

TEST(RunJoin, DeletesTheKeyFileOnlyAfterTheEngineSucceeds) {
  struct Case {
    const char* name;
    Words extra;
    Error engineResult;
    bool keyRemains;
  };
  const Case cases[] = {
      {"success with --delete-token", {"--delete-token"}, {}, false},
      {"success with -delete-token=true", {"-delete-token=true"}, {}, false},
      {"success without --delete-token", {}, {}, true},
      {"engine failure with --delete-token", {"--delete-token"},
       Error::exit("exit status 1", 1), true},
  };
  for (const char* goos : {"linux", "windows"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(goos) + ": " + c.name);
      auto runner = std::make_shared<ExtraFilesFakeRunner>();
      runner->result = c.engineResult;
      JoinHarness h(runner, goos);
      Error err = h.join(withKey(h.key, c.extra));
      EXPECT_EQ(static_cast<bool>(err), static_cast<bool>(c.engineResult));
      EXPECT_EQ(runner->calls.size(), 1u);
      EXPECT_EQ(pathExists(h.key), c.keyRemains);
    }
  }
}

TEST(RunJoin, WrapsTheEngineFailureKeepingItsExitCode) {
  struct Case {
    const char* name;
    Error engineResult;
    int exitCode;
  };
  const Case cases[] = {
      {"engine exits with 3", Error::exit("exit status 3", 3), 3},
      {"engine killed", Error::exit("signal: killed", -1), -1},
      {"engine cannot start", Error::plain("fork/exec /x/ts: no such file or directory"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto runner = std::make_shared<ExtraFilesFakeRunner>();
    runner->result = c.engineResult;
    JoinHarness h(runner, "darwin");
    Error err = h.join(withKey(h.key));
    ASSERT_TRUE(err);
    EXPECT_EQ(err.message(),
              "não foi possível entrar na rede Nimbro: " + c.engineResult.message());
    EXPECT_EQ(err.kind(), ErrorKind::Plain);
    EXPECT_EQ(err.cause().message(), c.engineResult.message());
    EXPECT_FALSE(IsUsageError(err));
    const Error* exit = findExitError(err);
    EXPECT_EQ(exit ? exit->exitCode() : -1, c.exitCode);
    EXPECT_EQ(ExitCode(err.cause()), c.exitCode);
  }
}

TEST(RunJoin, DeleteTokenRemovesOnlyTheFileHandedOver) {
  // The key sits in keys/; while the engine runs, the names around it change.
  ScratchDir decoyDir;
  const std::string decoy = decoyDir.join("key");
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> whileRunning;
    std::string cause;        // empty when the removal succeeds
    const char* removed;      // relative to the harness directory, or null
    const char* kept;         // likewise
  } cases[] = {
      {"nothing changed", [](const std::string&) {}, "", "keys/key", nullptr},
      {"the engine removed the key",
       [](const std::string& dir) { ::unlink((dir + "/keys/key").c_str()); },
       "no such file or directory", nullptr, nullptr},
      {"the directory moved and a link to another took its place",
       [&](const std::string& dir) {
         ASSERT_EQ(::rename((dir + "/keys").c_str(), (dir + "/moved").c_str()), 0);
         ASSERT_EQ(::symlink(decoyDir.path().c_str(), (dir + "/keys").c_str()), 0);
       },
       "", "moved/key", nullptr},
      {"another file renamed onto the key's name",
       [](const std::string& dir) {
         writeFileWithMode(dir + "/keys/other", "other\n", 0600);
         ASSERT_EQ(::rename((dir + "/keys/other").c_str(), (dir + "/keys/key").c_str()), 0);
       },
       "o arquivo mudou desde que foi verificado", nullptr, "keys/key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFileWithMode(decoy, "decoy\n", 0600);
    auto runner = std::make_shared<KeyInspectingRunner>();
    JoinHarness h(runner, "linux");
    ASSERT_EQ(::mkdir(h.dir.join("keys").c_str(), 0700), 0);
    const std::string key = h.dir.join("keys/key");
    writeFileWithMode(key, "tskey-auth-1\n", 0600);
    runner->whileRunning = [&] { c.whileRunning(h.dir.path()); };

    Error err = h.join(withKey(key, {"--delete-token"}));

    if (c.cause.empty()) {
      EXPECT_FALSE(err) << err.message();
    } else {
      ASSERT_TRUE(err);
      EXPECT_EQ(err.message(),
                "entrada na rede concluída, mas não foi possível remover o arquivo de token \"" +
                    key + "\": remove " + key + ": " + c.cause);
      EXPECT_EQ(err.kind(), ErrorKind::Plain);
      EXPECT_EQ(exitStatus(err), 1);
    }
    if (c.removed) {
      EXPECT_FALSE(pathExists(h.dir.join(c.removed)));
    }
    if (c.kept) {
      EXPECT_TRUE(pathExists(h.dir.join(c.kept)));
    }
    EXPECT_TRUE(pathExists(decoy)) << "a file never handed over was removed";
    EXPECT_EQ(runner->handed.size(), 1u);
  }
}

}  // namespace
}  // namespace nimbro
