// Shared set-up of the end-to-end tests: the built tool run as a process,
// with the test binary standing in for the engine and for docker.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/fake_child.h"
#include "support/process.h"

namespace nimbro::testing {

inline std::string selfExe() {
  char buf[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
}

// The built tool, behind the words of NIMBRO_E2E_WRAPPER when that is set:
// a memory checker, for one, whose program is named by its full path.
inline std::vector<std::string> toolCommand() {
  std::vector<std::string> words;
  if (const char* wrapper = std::getenv("NIMBRO_E2E_WRAPPER")) {
    std::istringstream in(wrapper);
    for (std::string w; in >> w;) words.push_back(w);
  }
  words.push_back(NIMBRO_BINARY);
  return words;
}

// One invocation of the built tool in a scratch directory.
struct ToolRun {
  TempDir dir;
  std::map<std::string, std::string> env = {
      {"PATH", "/usr/bin:/bin"},
      {"NIMBRO_TAILSCALE_BIN", selfExe()},
      {"NIMBRO_DOCKER_BIN", selfExe()},
      {"NIMBRO_SOCKET", "/run/test/engine.sock"},
  };

  ToolRun() { env["NIMBRO_FAKE_RECORD"] = record(); }

  std::string record() const { return dir.file("record"); }
  ChildRecord child() const { return readChildRecord(record()); }

  TestProcess::Launch launch(std::vector<std::string> args) const {
    TestProcess::Launch s;
    s.argv = toolCommand();
    s.argv.insert(s.argv.end(), args.begin(), args.end());
    for (const auto& [k, v] : env) s.env.push_back(k + "=" + v);
    return s;
  }

  ProcessResult run(std::vector<std::string> args) const { return runProcess(launch(std::move(args))); }
};

}  // namespace nimbro::testing
