// The application object: everything a command needs from the outside world,
// and the command handlers that use it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "process/context.h"
#include "process/file.h"
#include "process/runner.h"

namespace nimbro {

using Getenv = std::function<std::string(const std::string& name)>;

// What New builds an App from. Every field may be left empty to get the
// default. Streams are borrowed and must outlive the App; the trailing
// underscore keeps the names clear of the C library's stdin/stdout macros.
struct Options {
  std::shared_ptr<Runner> runner = {};
  Reader* stdin_ = nullptr;
  Writer* stdout_ = nullptr;
  Writer* stderr_ = nullptr;
  std::string version = {};
  Getenv getenv = {};
  std::string goos = {};
  std::optional<uint32_t> tokenOwnerUID = {};
};

class App {
 public:
  // Dispatches one command on its first word.
  Error Run(const Context& ctx, const std::vector<std::string>& args) const;

  Error runJoin(const Context& ctx, const std::vector<std::string>& args) const;
  Error runVersion(const Context& ctx, const std::vector<std::string>& args) const;
  Error runTailscale(const Context& ctx, const std::string& command,
                     const std::vector<std::string>& args) const;
  Error runAdmin(const Context& ctx, const std::vector<std::string>& args) const;
  Error runAdminToken(const Context& ctx, const std::string& composeFile,
                      const std::vector<std::string>& args) const;
  Error runAdminTokenCreate(const Context& ctx, const std::string& composeFile,
                            const std::vector<std::string>& args) const;
  Error runHeadscale(const Context& ctx, const std::string& composeFile,
                     const std::vector<std::string>& args) const;

  void printRootUsage() const;
  void printJoinUsage() const;
  void printAdminUsage() const;

  std::string tailscaleBin() const;
  std::vector<std::string> enginePrefix() const;
  std::string controlService() const;
  std::string dockerBin() const;

  // What New filled in, for code outside App; App's own members read the
  // fields. The standard input, output and error are handed to children;
  // the tool's own texts go to out().
  Runner& runner() const { return *runner_; }
  Reader& in() const { return *in_; }
  Writer& out() const { return *out_; }
  Writer& err() const { return *err_; }
  const std::string& version() const { return version_; }
  std::string getenv(const std::string& name) const { return getenv_(name); }
  const std::string& goos() const { return goos_; }
  uint32_t tokenOwnerUID() const { return tokenOwnerUID_; }

 private:
  friend App New(Options opts);
  App() = default;

  // Writes text and one line feed to stdout, ignoring a failed write.
  void printUsage(std::string_view text) const;

  std::shared_ptr<Runner> runner_;
  Reader* in_ = nullptr;
  Writer* out_ = nullptr;
  Writer* err_ = nullptr;
  std::string version_;
  Getenv getenv_;
  std::string goos_;
  uint32_t tokenOwnerUID_ = 0;
};

// Builds the App, filling in defaults: the ExecRunner, the process streams,
// version "dev", the process environment, the build's operating system and
// token owner UID 0.
App New(Options opts);

// The operating-system name the tool was built for.
std::string buildGoos();

// The value of the variable name, trimmed; fallback when that is empty.
std::string envOrDefault(const Getenv& getenv, const std::string& name,
                         const std::string& fallback);

struct PlatformDefaults {
  std::string engine;  // the engine program
  std::string socket;  // the engine daemon's socket; empty for none
};
PlatformDefaults platformDefaults(std::string_view goos);

}  // namespace nimbro
