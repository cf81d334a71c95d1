#include "cli/admin.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/app.h"
#include "support/fakes.h"
#include "support/key_files.h"

namespace nimbro {
namespace {

using testing::EnvFakeRunner;
using testing::ScratchDir;
using testing::StringReader;
using testing::StringWriter;
using Strings = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

constexpr std::string_view kAdminUsage =
    "Uso: nimbro admin [--compose-file CAMINHO] <comando> [opções]\n\nOpções:\n"
    "  --compose-file CAMINHO  Arquivo Compose (usa o .env adjacente)\n\n"
    "Ambiente: NIMBRO_COMPOSE_FILE e NIMBRO_COMPOSE_ENV_FILE\n\nComandos:\n"
    "  token create [--expiration DURAÇÃO] [--reusable]  (validade padrão: 15m)\n"
    "  token list\n  token expire <ID>\n  nodes\n  revoke <ID>\n";
constexpr std::string_view kTokenUsage = "Uso: nimbro admin token <create|list|expire> [opções]\n";
constexpr std::string_view kCreateUsage =
    "Uso: nimbro admin token create [--expiration DURAÇÃO] [--reusable]\n"
    "Padrão de --expiration: 15m\n";
constexpr std::string_view kExpireUsage = "Uso: nimbro admin token expire <ID>\n";
constexpr std::string_view kRevokeUsage = "Uso: nimbro admin revoke <ID>\n";

// A cell whose .env is reached through NIMBRO_COMPOSE_ENV_FILE, and an App
// whose runner records the docker call.
struct Fixture {
  ScratchDir dir;
  std::string envFile = dir.join("cell.env");
  std::shared_ptr<EnvFakeRunner> runner = std::make_shared<EnvFakeRunner>();
  StringReader in;
  StringWriter out, err;

  Fixture() { testing::writeFileWithMode(envFile, "NIMBRO_INSTANCE_ID=cell-a\n", 0600); }

  App app(Env env = {}) {
    env["NIMBRO_COMPOSE_ENV_FILE"] = envFile;
    return New({.runner = runner,
                .stdin_ = &in,
                .stdout_ = &out,
                .stderr_ = &err,
                .getenv =
                    [env = std::move(env)](const std::string& name) {
                      auto it = env.find(name);
                      return it == env.end() ? std::string() : it->second;
                    },
                .goos = "linux"});
  }

  // The docker arguments that run headscale with args, with the Compose
  // file composeFile ("" for none).
  Strings dockerArgs(const std::string& composeFile, const Strings& args) const {
    Strings want = {"compose", "--env-file", envFile};
    if (!composeFile.empty()) want.insert(want.end(), {"-f", composeFile});
    want.insert(want.end(),
                {"--project-name", "cell-a", "exec", "-T", "nimbro-control", "headscale"});
    want.insert(want.end(), args.begin(), args.end());
    return want;
  }
};

TEST(RunAdmin, TurnsRequestsIntoHeadscaleArguments) {
  struct Case {
    const char* name;
    Strings args;  // after "admin"
    Strings want;  // after "headscale"
  };
  const Case cases[] = {
      {"nodes", {"nodes"}, {"nodes", "list"}},
      {"revoke", {"revoke", "42"}, {"nodes", "expire", "-i", "42"}},
      {"revoke with leading zeros", {"revoke", "007"}, {"nodes", "expire", "-i", "7"}},
      {"revoke ten is not octal eight", {"revoke", "010"}, {"nodes", "expire", "-i", "10"}},
      {"leading zero never reaches headscale", {"token", "expire", "--id", "08"},
       {"preauthkeys", "expire", "--id", "8"}},
      {"revoke largest ID", {"revoke", "18446744073709551615"},
       {"nodes", "expire", "-i", "18446744073709551615"}},
      {"revoke many leading zeros", {"revoke", "000000000000000000000001"},
       {"nodes", "expire", "-i", "1"}},
      {"revoke --id", {"revoke", "--id", "5"}, {"nodes", "expire", "-i", "5"}},
      {"revoke -id=", {"revoke", "-id=5"}, {"nodes", "expire", "-i", "5"}},
      {"revoke after --", {"revoke", "--", "5"}, {"nodes", "expire", "-i", "5"}},
      {"token list", {"token", "list"}, {"preauthkeys", "list"}},
      {"token create defaults", {"token", "create"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "15m"}},
      {"token create 90m reusable", {"token", "create", "--expiration", "90m", "--reusable"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "90m", "--reusable"}},
      {"token create keeps the text as typed", {"token", "create", "-expiration=1h30m"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "1h30m"}},
      {"token create in headscale's grammar", {"token", "create", "--expiration", "+.5h"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "30m"}},
      {"token create reusable=false", {"token", "create", "--reusable=false"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "15m"}},
      {"token create reusable=true", {"token", "create", "-reusable=T"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "15m", "--reusable"}},
      {"token create last expiration wins",
       {"token", "create", "--expiration", "1h", "--expiration=2h"},
       {"preauthkeys", "create", "--tags", "tag:nimbro", "--expiration", "2h"}},
      {"token expire", {"token", "expire", "12"}, {"preauthkeys", "expire", "--id", "12"}},
      {"token expire --id=", {"token", "expire", "--id=12"},
       {"preauthkeys", "expire", "--id", "12"}},
      {"token expire empty --id then word", {"token", "expire", "--id=", "12"},
       {"preauthkeys", "expire", "--id", "12"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Error err = f.app().runAdmin(Context(), c.args);
    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(f.runner->calls.size(), 1u);
    EXPECT_EQ(f.runner->calls[0].name, "docker");
    EXPECT_EQ(f.runner->calls[0].args, f.dockerArgs("", c.want));
    EXPECT_EQ(f.out.text, "");
  }
}

TEST(RunAdmin, PassesTheComposeFile) {
  struct Case {
    const char* name;
    Strings args;
    Env env;
    std::string wantCompose;
  };
  const Case cases[] = {
      {"trimmed option", {"--compose-file", " \t/srv/cell/compose.yml\n", "nodes"}, {},
       "/srv/cell/compose.yml"},
      {"attached value", {"-compose-file=c.yml", "nodes"}, {}, "c.yml"},
      {"last one counts", {"--compose-file", "a.yml", "--compose-file=b.yml", "nodes"}, {},
       "b.yml"},
      {"blank option falls back to the variable", {"--compose-file", "   ", "nodes"},
       {{"NIMBRO_COMPOSE_FILE", " env.yml "}}, "env.yml"},
      {"option wins over the variable", {"--compose-file", "opt.yml", "nodes"},
       {{"NIMBRO_COMPOSE_FILE", "env.yml"}}, "opt.yml"},
      {"no option and no variable", {"nodes"}, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Error err = f.app(c.env).runAdmin(Context(), c.args);
    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(f.runner->calls.size(), 1u);
    EXPECT_EQ(f.runner->calls[0].args, f.dockerArgs(c.wantCompose, {"nodes", "list"}));
  }
}

TEST(RunAdmin, EveryRequestGetsTheComposeFile) {
  struct Case {
    const char* name;
    Strings words;  // after the compose-file option
  };
  const Case cases[] = {
      {"nodes", {"nodes"}},
      {"revoke", {"revoke", "1"}},
      {"token list", {"token", "list"}},
      {"token create", {"token", "create"}},
      {"token expire", {"token", "expire", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Strings args = {"--compose-file", " c.yml "};
    args.insert(args.end(), c.words.begin(), c.words.end());
    Fixture f;
    Error err = f.app().runAdmin(Context(), args);
    ASSERT_FALSE(err) << err.message();
    ASSERT_EQ(f.runner->calls.size(), 1u);
    const Strings& got = f.runner->calls[0].args;
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(got[3], "-f");
    EXPECT_EQ(got[4], "c.yml");
  }
}

TEST(RunAdmin, PrintsUsageTexts) {
  struct Case {
    const char* name;
    Strings args;
    std::string_view want;
  };
  const Case cases[] = {
      {"--help", {"--help"}, kAdminUsage},
      {"-h", {"-h"}, kAdminUsage},
      {"-help=x", {"-help=x"}, kAdminUsage},
      {"--help before more words", {"--help", "extra"}, kAdminUsage},
      {"help after an option", {"--compose-file", "x.yml", "--h"}, kAdminUsage},
      {"help wins over a later bad option", {"--help", "--verbose"}, kAdminUsage},
      {"help word", {"help"}, kAdminUsage},
      {"--help after --", {"--", "--help"}, kAdminUsage},
      {"-h after --", {"--", "-h"}, kAdminUsage},
      {"token --help", {"token", "--help"}, kTokenUsage},
      {"token help", {"token", "help"}, kTokenUsage},
      {"token -h", {"token", "-h"}, kTokenUsage},
      {"token create --help", {"token", "create", "--help"}, kCreateUsage},
      {"token create help after options", {"token", "create", "--reusable", "-h=1", "x"},
       kCreateUsage},
      {"token expire --help", {"token", "expire", "--help"}, kExpireUsage},
      {"token expire help after --id", {"token", "expire", "--id", "3", "-help"}, kExpireUsage},
      {"revoke --help", {"revoke", "--help"}, kRevokeUsage},
      {"revoke -h", {"revoke", "-h"}, kRevokeUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Error err = f.app().runAdmin(Context(), c.args);
    ASSERT_FALSE(err) << err.message();
    EXPECT_EQ(f.out.text, c.want);
    EXPECT_EQ(f.err.text, "");
    EXPECT_TRUE(f.runner->calls.empty());
  }
}

TEST(RunAdmin, RejectsWrongUsage) {
  struct Case {
    const char* name;
    Strings args;
    std::string want;
  };
  const std::string badID = "o ID de admin revoke deve ser um inteiro positivo";
  const std::string badKeyID = "o ID de admin token expire deve ser um inteiro positivo";
  const std::string badExpiration = "--expiration deve ser uma duração positiva, como 30m ou 24h";
  const Case cases[] = {
      {"nothing", {}, "subcomando admin ausente; use 'nimbro admin --help'"},
      {"only options", {"--compose-file", "x.yml"},
       "subcomando admin ausente; use 'nimbro admin --help'"},
      {"only --", {"--"}, "subcomando admin ausente; use 'nimbro admin --help'"},
      {"unknown", {"Nodes"}, "subcomando admin desconhecido \"Nodes\"; use 'nimbro admin --help'"},
      {"unknown escaped", {"a\"b\n"},
       "subcomando admin desconhecido \"a\\\"b\\n\"; use 'nimbro admin --help'"},
      {"empty word", {""}, "subcomando admin desconhecido \"\"; use 'nimbro admin --help'"},
      {"help word with more", {"help", "extra"}, "admin --help não aceita argumentos"},
      {"--help after -- with more", {"--", "--help", "x"}, "admin --help não aceita argumentos"},
      {"compose file without value", {"--compose-file"},
       "opções inválidas para admin: flag needs an argument: -compose-file"},
      {"undeclared option", {"--verbose", "nodes"},
       "opções inválidas para admin: flag provided but not defined: -verbose"},
      {"undeclared option with value", {"--verbose=1", "nodes"},
       "opções inválidas para admin: flag provided but not defined: -verbose"},
      {"bad flag syntax", {"---compose-file=x", "nodes"},
       "opções inválidas para admin: bad flag syntax: ---compose-file=x"},
      {"nodes with more", {"nodes", "extra"}, "admin nodes não aceita argumentos"},
      {"nodes --help", {"nodes", "--help"}, "admin nodes não aceita argumentos"},
      {"token alone", {"token"}, "ação de token ausente; use create, list ou expire"},
      {"token unknown", {"token", "Create"},
       "ação de token desconhecida \"Create\"; use create, list ou expire"},
      {"token help with more", {"token", "help", "list"},
       "admin token --help não aceita argumentos"},
      {"token --help with more", {"token", "--help", "x"},
       "admin token --help não aceita argumentos"},
      {"token list with more", {"token", "list", "x"}, "admin token list não aceita argumentos"},
      {"option after the sub-command", {"token", "list", "--compose-file", "x.yml"},
       "admin token list não aceita argumentos"},
      {"create bad option", {"token", "create", "--user", "x"},
       "opções inválidas para admin token create: flag provided but not defined: -user"},
      {"create expiration without value", {"token", "create", "--expiration"},
       "opções inválidas para admin token create: flag needs an argument: -expiration"},
      {"create reusable with empty value", {"token", "create", "--reusable="},
       "opções inválidas para admin token create: invalid boolean value \"\" for -reusable: "
       "parse error"},
      {"create reusable then a word", {"token", "create", "--reusable", "false"},
       "admin token create não aceita argumentos posicionais: false"},
      {"create help word", {"token", "create", "help"},
       "admin token create não aceita argumentos posicionais: help"},
      {"create several words", {"token", "create", "a", "--reusable", "b"},
       "admin token create não aceita argumentos posicionais: a --reusable b"},
      {"create expiration 0", {"token", "create", "--expiration", "0"}, badExpiration},
      {"create expiration 0s", {"token", "create", "--expiration=0s"}, badExpiration},
      {"create expiration negative", {"token", "create", "--expiration", "-5m"}, badExpiration},
      {"create expiration in days", {"token", "create", "--expiration", "1d"}, badExpiration},
      {"create expiration empty", {"token", "create", "--expiration="}, badExpiration},
      {"create expiration padded", {"token", "create", "--expiration", " 2m"}, badExpiration},
      {"create expiration without unit", {"token", "create", "--expiration", "2"}, badExpiration},
      {"revoke nothing", {"revoke"}, "admin revoke exige exatamente um ID numérico"},
      {"revoke two IDs", {"revoke", "1", "2"}, "admin revoke exige exatamente um ID numérico"},
      {"revoke zero", {"revoke", "0"}, badID},
      {"revoke zeros", {"revoke", "000"}, badID},
      {"revoke plus sign", {"revoke", "+5"}, badID},
      {"revoke separator", {"revoke", "1_000"}, badID},
      {"revoke leading blank", {"revoke", " 5"}, badID},
      {"revoke trailing blank", {"revoke", "5 "}, badID},
      {"revoke hex", {"revoke", "0x10"}, badID},
      {"revoke empty word", {"revoke", ""}, badID},
      {"revoke just above the largest", {"revoke", "18446744073709551616"}, badID},
      {"revoke far above the largest", {"revoke", "99999999999999999999"}, badID},
      {"revoke help word", {"revoke", "help"}, badID},
      {"revoke negative", {"revoke", "-5"},
       "opções inválidas para admin revoke: flag provided but not defined: -5"},
      {"revoke --id without value", {"revoke", "--id"},
       "opções inválidas para admin revoke: flag needs an argument: -id"},
      {"revoke --id bad", {"revoke", "--id", "x"}, badID},
      {"revoke empty --id alone", {"revoke", "--id="}, "admin revoke exige exatamente um ID numérico"},
      {"expire both", {"token", "expire", "--id", "12", "13"},
       "admin token expire aceita o ID como argumento ou em --id, não ambos"},
      {"expire option after the word", {"token", "expire", "12", "--id", "13"},
       "admin token expire exige exatamente um ID numérico"},
      {"expire nothing", {"token", "expire"}, "admin token expire exige exatamente um ID numérico"},
      {"expire zero", {"token", "expire", "--id=0"}, badKeyID},
      {"expire bad option", {"token", "expire", "--key", "x"},
       "opções inválidas para admin token expire: flag provided but not defined: -key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Error err = f.app().runAdmin(Context(), c.args);
    ASSERT_TRUE(err);
    EXPECT_EQ(err.message(), c.want);
    EXPECT_TRUE(IsUsageError(err));
    EXPECT_EQ(f.out.text, "");
    EXPECT_TRUE(f.runner->calls.empty());
  }
}

TEST(RunAdmin, ReturnsTheHeadscaleFailure) {
  Fixture f;
  f.runner->result = Error::exit("exit status 4", 4);
  Error err = f.app().runAdmin(Context(), {"token", "list"});
  ASSERT_TRUE(err);
  EXPECT_EQ(err.message(), "o comando administrativo do Headscale falhou: exit status 4");
  EXPECT_EQ(ExitCode(err), 4);
  EXPECT_FALSE(IsUsageError(err));
}

}  // namespace
}  // namespace nimbro
