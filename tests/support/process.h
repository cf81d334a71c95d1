// Running the built tool as a real process in end-to-end tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace nimbro::testing {

struct ProcessResult {
  int exitCode = -1;  // the code passed to exit, or -1
  int signal = 0;     // the signal that ended the process, or 0
  bool timedOut = false;
  std::string out, err;
};

// A child process whose standard output and error are captured. Standard
// input is /dev/null unless stdinData is given.
class TestProcess {
 public:
  struct Launch {
    std::vector<std::string> argv;
    std::vector<std::string> env;  // the whole environment
    std::string stdinData = {};
    // Runs in the child just before exec, after the standard streams are set.
    std::function<void()> beforeExec = {};
  };

  explicit TestProcess(const Launch& launch);
  ~TestProcess();
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Drains the captured streams and reaps the child; kills it with SIGKILL
  // after timeoutMs.
  ProcessResult wait(int timeoutMs = 20000);

 private:
  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  bool reaped_ = false;
};

inline ProcessResult runProcess(const TestProcess::Launch& launch, int timeoutMs = 20000) {
  return TestProcess(launch).wait(timeoutMs);
}

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes content to path with the given mode, replacing any file there.
void writeFile(const std::string& path, const std::string& content, unsigned mode = 0644);
std::string readFileOrEmpty(const std::string& path);

// A named pipe through which a child says it is ready: open() makes it, and
// wait() returns true once something has been written to it.
class ReadySignal {
 public:
  explicit ReadySignal(std::string path);
  ~ReadySignal();
  ReadySignal(const ReadySignal&) = delete;
  ReadySignal& operator=(const ReadySignal&) = delete;
  const std::string& path() const { return path_; }
  bool wait(int timeoutMs = 10000);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace nimbro::testing
