// Starting child programs. Runner is the one capability every runner has;
// ExtraFileRunner and EnvironmentRunner are optional, and a command that
// needs one asks for it with dynamic_cast when it needs it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "process/context.h"
#include "process/file.h"

namespace nimbro {

// Each operation runs name with args to completion and succeeds only when the
// child exits with status 0. The caller keeps ownership of the streams and
// descriptors it passes.
class Runner {
 public:
  virtual ~Runner() = default;
  virtual Error Run(const Context& ctx, const std::string& name,
                    const std::vector<std::string>& args, Reader& in, Writer& out,
                    Writer& err) = 0;
};

class ExtraFileRunner {
 public:
  virtual ~ExtraFileRunner() = default;
  // extraFiles[i] becomes descriptor 3 + i in the child.
  virtual Error RunWithExtraFiles(const Context& ctx, const std::string& name,
                                  const std::vector<std::string>& args, Reader& in,
                                  Writer& out, Writer& err,
                                  std::span<const int> extraFiles) = 0;
};

class EnvironmentRunner {
 public:
  virtual ~EnvironmentRunner() = default;
  // The child gets the process environment less the entries named in
  // unsetEnv (compared exactly) and less entries without "=".
  virtual Error RunWithUnsetEnv(const Context& ctx, const std::string& name,
                                const std::vector<std::string>& args, Reader& in,
                                Writer& out, Writer& err,
                                std::span<const std::string_view> unsetEnv) = 0;
};

// Starts real processes. Stateless.
class ExecRunner final : public Runner, public ExtraFileRunner, public EnvironmentRunner {
 public:
  Error Run(const Context& ctx, const std::string& name, const std::vector<std::string>& args,
            Reader& in, Writer& out, Writer& err) override;
  Error RunWithExtraFiles(const Context& ctx, const std::string& name,
                          const std::vector<std::string>& args, Reader& in, Writer& out,
                          Writer& err, std::span<const int> extraFiles) override;
  Error RunWithUnsetEnv(const Context& ctx, const std::string& name,
                        const std::vector<std::string>& args, Reader& in, Writer& out,
                        Writer& err, std::span<const std::string_view> unsetEnv) override;
};

// The ExitCode of an error that came from a runner: the child's own exit
// code, or -1 when it did not exit (killed by a signal) or err is not an
// exit error.
int ExitCode(const Error& err);

}  // namespace nimbro
