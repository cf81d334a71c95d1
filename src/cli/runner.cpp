#include "cli/runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "cli/child_streams.h"
#include "cli/child_wait.h"
#include "cli/look_path.h"
#include "cli/spawn.h"
#include "cli/syserr.h"

// The process environment. POSIX leaves its declaration to the program;
// only some C libraries declare it in <unistd.h>.
extern char** environ;

namespace nimbro {
namespace {

// The child's argument vector: name, then args. The spawn call only reads
// the strings; its C signature merely lacks the const.
std::vector<char*> argumentVector(const std::string& name, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// The process environment less the entries whose name is in unset and less
// entries that are not NAME=value at all. Empty when nothing passes: the
// child then gets no environment, never the whole of the tool's.
std::vector<char*> environmentWithout(std::span<const std::string_view> unset) {
  std::vector<char*> env;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    if (std::find(unset.begin(), unset.end(), text.substr(0, eq)) != unset.end()) continue;
    env.push_back(*entry);
  }
  env.push_back(nullptr);
  return env;
}

Error endError(const ChildEnd& end) {
  if (end.waitErrno != 0) return errorf("wait: %s", errnoText(end.waitErrno));
  if (WIFEXITED(end.status)) {
    const int code = WEXITSTATUS(end.status);
    if (code == 0) return {};
    return Error::exit(format("exit status %d", code), code);
  }
  std::string text = "signal: " + signalText(WTERMSIG(end.status));
  if (WCOREDUMP(end.status)) text += " (core dumped)";
  return Error::exit(std::move(text), -1);
}

Error runChild(const Context& ctx, const std::string& name, const std::vector<std::string>& args,
               Reader& in, Writer& out, Writer& err, std::span<const int> extraFiles,
               char* const envp[]) {
  const Expected<std::string> path = programPath(name);
  if (!path) return path.error();
  if (ctx.cancelled()) return Error::canceled();

  ChildStreams streams;
  if (Error e = streams.open(in, out, err)) return e;
  std::vector<int> childFds;
  for (int fd : streams.childFds()) childFds.push_back(fd);
  childFds.insert(childFds.end(), extraFiles.begin(), extraFiles.end());

  const std::vector<char*> argv = argumentVector(name, args);
  const Expected<pid_t> pid = spawnChild(path->c_str(), argv.data(), envp, childFds);
  streams.closeChildEnds();
  if (!pid) return pid.error();

  const ChildEnd end = waitForChild(*pid, ctx, streams);
  if (Error e = endError(end)) return e;
  // The kill may have met a child that was already exiting on its own; the
  // run was still cancelled and does not count as a success.
  if (end.cancelled) return Error::canceled();
  // A copying failure matters only when the child itself succeeded: after a
  // failed child it is more likely a consequence than a cause.
  return streams.copyError();
}

}  // namespace

Error ExecRunner::Run(const Context& ctx, const std::string& name,
                      const std::vector<std::string>& args, Reader& in, Writer& out, Writer& err) {
  return runChild(ctx, name, args, in, out, err, {}, environ);
}

Error ExecRunner::RunWithExtraFiles(const Context& ctx, const std::string& name,
                                    const std::vector<std::string>& args, Reader& in,
                                    Writer& out, Writer& err, std::span<const int> extraFiles) {
  return runChild(ctx, name, args, in, out, err, extraFiles, environ);
}

Error ExecRunner::RunWithUnsetEnv(const Context& ctx, const std::string& name,
                                  const std::vector<std::string>& args, Reader& in, Writer& out,
                                  Writer& err, std::span<const std::string_view> unsetEnv) {
  const std::vector<char*> env = environmentWithout(unsetEnv);
  return runChild(ctx, name, args, in, out, err, {}, env.data());
}

int ExitCode(const Error& err) {
  const Error* exitErr = findExitError(err);
  return exitErr != nullptr ? exitErr->exitCode() : -1;
}

}  // namespace nimbro
