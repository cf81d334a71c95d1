// The option grammar on arbitrary word lists: the join, admin and
// token-create option sets and the ID reader are compared with a model of
// the grammar written from its rules, and whole command lines are run
// through the dispatcher with a runner that only records.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/format.h"
#include "cli/admin.h"
#include "cli/app.h"
#include "cli/compose.h"
#include "cli/flags.h"
#include "fuzz_support.h"

using namespace nimbro;

namespace {

struct OptionSet {
  const char* label;
  std::map<std::string, std::string> strings;  // name and default
  std::map<std::string, bool> bools;
};

const OptionSet kSets[] = {
    {"join",
     {{"control", ""}, {"token-file", ""}, {"hostname", ""}, {"timeout", "2m"}},
     {{"delete-token", false}, {"insecure-http", false}}},
    {"admin", {{"compose-file", ""}}, {}},
    {"admin token create", {{"expiration", "15m"}}, {{"reusable", false}}},
};

enum class Outcome { Ok, Help, Failed };

struct ModelResult {
  Outcome outcome = Outcome::Ok;
  std::string failure;
  std::map<std::string, std::string> strings;
  std::map<std::string, bool> bools;
  std::vector<std::string> positional;
};

std::optional<bool> boolWord(std::string_view w) {
  for (const char* t : {"1", "t", "T", "TRUE", "true", "True"})
    if (w == t) return true;
  for (const char* f : {"0", "f", "F", "FALSE", "false", "False"})
    if (w == f) return false;
  return std::nullopt;
}

// The grammar, rule by rule.
ModelResult model(const OptionSet& set, const std::vector<std::string>& words) {
  ModelResult p{.strings = set.strings, .bools = set.bools};
  auto failed = [&](std::string text) {
    p.outcome = Outcome::Failed;
    p.failure = std::move(text);
    return p;
  };
  size_t i = 0;
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.empty() || w == "-" || w[0] != '-') break;
    if (w == "--") {
      ++i;
      break;
    }
    std::string name = w.substr(w[1] == '-' ? 2 : 1);
    if (name.empty() || name[0] == '-' || name[0] == '=') return failed("bad flag syntax: " + w);
    std::optional<std::string> value;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (p.bools.count(name)) {
      if (!value) {
        p.bools[name] = true;
        continue;
      }
      const std::optional<bool> b = boolWord(*value);
      if (!b) {
        return failed("invalid boolean value " + format("%q", *value) + " for -" + name +
                      ": parse error");
      }
      p.bools[name] = *b;
    } else if (p.strings.count(name)) {
      if (!value) {
        if (i + 1 == words.size()) return failed("flag needs an argument: -" + name);
        value = words[++i];
      }
      p.strings[name] = *value;
    } else if (name == "h" || name == "help") {
      p.outcome = Outcome::Help;
      return p;
    } else {
      return failed("flag provided but not defined: -" + name);
    }
  }
  p.positional.assign(words.begin() + static_cast<ptrdiff_t>(i), words.end());
  return p;
}

void checkOptionSet(const OptionSet& set, const std::vector<std::string>& words) {
  FlagSet flags = newFlagSet(set.label);
  std::map<std::string, const std::string*> strings;
  std::map<std::string, const bool*> bools;
  for (const auto& [name, def] : set.strings) strings[name] = &flags.stringOption(name, def, "");
  for (const auto& [name, def] : set.bools) bools[name] = &flags.boolOption(name, def, "");

  const Parsed<std::vector<std::string>> parsed = flags.parse(words);
  const ModelResult want = model(set, words);
  const Outcome outcome = !parsed ? Outcome::Failed : !*parsed ? Outcome::Help : Outcome::Ok;
  FUZZ_CHECK(outcome == want.outcome);
  if (outcome == Outcome::Failed) FUZZ_CHECK(parsed.error().message() == want.failure);
  if (outcome != Outcome::Ok) return;
  FUZZ_CHECK(**parsed == want.positional);
  for (const auto& [name, value] : strings) FUZZ_CHECK(*value == want.strings.at(name));
  for (const auto& [name, value] : bools) FUZZ_CHECK(*value == want.bools.at(name));
}

void checkParseID(const std::vector<std::string>& words) {
  const Parsed<std::string> parsed = parseID("admin revoke", words);
  if (!parsed) {
    FUZZ_CHECK(IsUsageError(parsed.error()));
    return;
  }
  if (!*parsed) return;  // a help request
  const std::string& id = **parsed;
  // A positive decimal that fits 64 bits, exactly as one of the words held it.
  FUZZ_CHECK(!id.empty() && id.find_first_not_of("0123456789") == std::string::npos);
  FUZZ_CHECK(id.find_first_not_of('0') != std::string::npos);
  const std::string digits = id.substr(id.find_first_not_of('0'));
  FUZZ_CHECK(digits.size() < 20 || (digits.size() == 20 && digits <= "18446744073709551615"));
  bool typed = false;
  for (const std::string& w : words) typed = typed || w.ends_with(id);
  FUZZ_CHECK(typed);
}

// A runner that starts nothing and records what it was asked to start.
struct Call {
  std::string method, name;
  std::vector<std::string> args;
  size_t extraFiles = 0;
  std::vector<std::string_view> unsetEnv;
};

class RecordingRunner final : public Runner, public ExtraFileRunner, public EnvironmentRunner {
 public:
  Error Run(const Context&, const std::string& name, const std::vector<std::string>& args,
            Reader&, Writer&, Writer&) override {
    calls.push_back({"Run", name, args, 0, {}});
    return {};
  }
  Error RunWithExtraFiles(const Context&, const std::string& name,
                          const std::vector<std::string>& args, Reader&, Writer&, Writer&,
                          std::span<const int> extraFiles) override {
    calls.push_back({"RunWithExtraFiles", name, args, extraFiles.size(), {}});
    return {};
  }
  Error RunWithUnsetEnv(const Context&, const std::string& name,
                        const std::vector<std::string>& args, Reader&, Writer&, Writer&,
                        std::span<const std::string_view> unsetEnv) override {
    calls.push_back({"RunWithUnsetEnv", name, args, 0, {unsetEnv.begin(), unsetEnv.end()}});
    return {};
  }
  std::vector<Call> calls;
};

class NullReader final : public Reader {
 public:
  Expected<size_t> read(std::span<char>) override { return size_t{0}; }
};

class StringWriter final : public Writer {
 public:
  Error write(std::string_view data) override {
    text += data;
    return {};
  }
  std::string text;
};

const std::string& cellEnvPath() {
  static const std::string path = [] {
    const int fd = memfd_create("cell.env", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    const std::string_view content = "NIMBRO_INSTANCE_ID=cell-a\n";
    FUZZ_CHECK(write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()));
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

// Words that could make a recorded join touch the machine: a key file
// deleted on success, or a device opened. Such inputs are skipped.
bool touchesTheMachine(const std::vector<std::string>& words) {
  for (const std::string& w : words) {
    for (const char* risky : {"delete-token", "/dev", "/proc", "/sys", ".."})
      if (w.find(risky) != std::string::npos) return true;
  }
  return false;
}

void checkCommandLine(const std::vector<std::string>& words) {
  if (touchesTheMachine(words)) return;
  auto runner = std::make_shared<RecordingRunner>();
  NullReader in;
  StringWriter out, errOut;
  const App app = New({.runner = runner,
                       .stdin_ = &in,
                       .stdout_ = &out,
                       .stderr_ = &errOut,
                       .version = "0.1.0",
                       .getenv =
                           [](const std::string& name) -> std::string {
                             if (name == "NIMBRO_COMPOSE_ENV_FILE") return cellEnvPath();
                             if (name == "NIMBRO_SOCKET") return "/run/fuzz.sock";
                             return "";
                           },
                       .goos = "linux",
                       .tokenOwnerUID = static_cast<uint32_t>(getuid())});
  const Error err = app.Run(Context(), words);

  // At most one child, none after a usage error, and since the recorded
  // child always succeeds, any failure at all is a usage error.
  FUZZ_CHECK(runner->calls.size() <= 1);
  FUZZ_CHECK(errOut.text.empty());
  if (err) {
    FUZZ_CHECK(IsUsageError(err));
    FUZZ_CHECK(runner->calls.empty());
    return;
  }
  if (runner->calls.empty()) {
    FUZZ_CHECK(!out.text.empty() && out.text.back() == '\n');  // a usage text
    return;
  }
  const Call& call = runner->calls.front();
  const std::string& command = words.front();
  if (command == "join") {
    FUZZ_CHECK(call.method == "RunWithExtraFiles" && call.extraFiles == 1);
    FUZZ_CHECK(call.args.size() >= 9 && call.args[0] == "--socket=/run/fuzz.sock");
    FUZZ_CHECK(call.args[1] == "up" && call.args[4] == "--auth-key=file:/proc/self/fd/3");
  } else if (command == "admin") {
    FUZZ_CHECK(call.method == "RunWithUnsetEnv" && call.name == "docker");
    FUZZ_CHECK(call.unsetEnv == std::vector<std::string_view>(composeUnsetEnv.begin(),
                                                              composeUnsetEnv.end()));
    FUZZ_CHECK(call.args.size() >= 9 && call.args[2] == cellEnvPath());
  } else {
    FUZZ_CHECK(call.method == "Run");
    FUZZ_CHECK(call.args.size() == words.size() + 1 && call.args[0] == "--socket=/run/fuzz.sock");
    const std::string engineWord = command == "leave" ? "logout" : command;
    FUZZ_CHECK(call.args[1] == engineWord);
    FUZZ_CHECK(std::equal(words.begin() + 1, words.end(), call.args.begin() + 2));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Relative key paths land in an empty directory of the fuzzer's own.
  static std::string dir = std::filesystem::temp_directory_path() / "nimbro-fuzz-XXXXXX";
  if (mkdtemp(dir.data()) == nullptr || chdir(dir.c_str()) != 0) std::abort();
  std::atexit([] { rmdir(dir.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput in(data, size);
  const uint8_t selector = in.byte();
  const std::vector<std::string> words = in.words();
  switch (selector % 5) {
    case 0:
    case 1:
    case 2:
      checkOptionSet(kSets[selector % 5], words);
      break;
    case 3:
      checkParseID(words);
      break;
    case 4:
      checkCommandLine(words);
      break;
  }
  return 0;
}
