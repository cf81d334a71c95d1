#include "process/runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/cancel_source.h"
#include "support/fake_child.h"
#include "support/fakes.h"
#include "support/process.h"

namespace nimbro {
namespace {

using testing::CancelSource;
using testing::readChildRecord;
using testing::StringReader;
using testing::StringWriter;
using testing::TempDir;
using testing::writeFile;

std::set<int> openFds() {
  std::set<int> fds;
  DIR* d = opendir("/proc/self/fd");
  if (d == nullptr) return fds;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') fds.insert(std::atoi(e->d_name));
  }
  fds.erase(dirfd(d));
  closedir(d);
  return fds;
}

std::string selfExe() {
  char buf[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// Sets or removes an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (saved_) setenv(name_, saved_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// Makes environ exactly the given entries, which need not be NAME=value.
class ScopedEnviron {
 public:
  explicit ScopedEnviron(std::vector<std::string> entries) : entries_(std::move(entries)) {
    for (std::string& e : entries_) pointers_.push_back(e.data());
    pointers_.push_back(nullptr);
    saved_ = environ;
    environ = pointers_.data();
  }
  ~ScopedEnviron() { environ = saved_; }

 private:
  std::vector<std::string> entries_;
  std::vector<char*> pointers_;
  char** saved_ = nullptr;
};

class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) : saved_(open(".", O_RDONLY | O_CLOEXEC)) {
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~ScopedCwd() {
    EXPECT_EQ(fchdir(saved_), 0);
    close(saved_);
  }

 private:
  int saved_;
};

// Moves whatever the test process holds at the given numbers out of the way
// (a test driver may leave descriptors open) and puts it back afterwards.
class FreedDescriptors {
 public:
  explicit FreedDescriptors(std::initializer_list<int> numbers) {
    for (int n : numbers) {
      const int flags = fcntl(n, F_GETFD);
      if (flags < 0) continue;
      moved_.push_back({n, fcntl(n, F_DUPFD_CLOEXEC, 30), flags});
      close(n);
    }
  }
  ~FreedDescriptors() {
    for (const Moved& m : moved_) {
      dup3(m.parked, m.number, (m.flags & FD_CLOEXEC) != 0 ? O_CLOEXEC : 0);
      close(m.parked);
    }
  }
  FreedDescriptors(const FreedDescriptors&) = delete;
  FreedDescriptors& operator=(const FreedDescriptors&) = delete;

 private:
  struct Moved {
    int number, parked, flags;
  };
  std::vector<Moved> moved_;
};

class FailingReader final : public Reader {
 public:
  Expected<size_t> read(std::span<char>) override {
    return Error::plain("read /dev/stdin: input/output error");
  }
};

// Cancels the run as soon as the child's output holds trigger (by default
// as soon as any arrives, which proves the child is running).
class CancellingWriter final : public Writer {
 public:
  explicit CancellingWriter(CancelSource& source, std::string trigger = {})
      : source_(source), trigger_(std::move(trigger)) {}
  Error write(std::string_view data) override {
    text += data;
    if (text.find(trigger_) != std::string::npos) source_.cancel();
    return {};
  }
  std::string text;

 private:
  CancelSource& source_;
  std::string trigger_;
};

std::string pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return s;
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { fdsBefore_ = openFds(); }
  // Every run, failed or not, must give back every descriptor it opened.
  void TearDown() override { EXPECT_EQ(openFds(), fdsBefore_); }

  Error sh(const std::string& script, StringWriter& out, StringWriter& err,
           const std::string& input = {}) {
    StringReader in(input);
    return runner_.Run(Context(), "/bin/sh", {"-c", script}, in, out, err);
  }

  ExecRunner runner_;
  std::set<int> fdsBefore_;
};

TEST_F(RunnerTest, ChildEndingMapsToResult) {
  struct Case {
    const char* name;
    const char* script;
    const char* wantErr;  // empty for success
    int wantCode;
  };
  const Case cases[] = {
      {"exit 0 after writing to stderr", "echo complaint >&2; exit 0", "", -1},
      {"exit 7", "exit 7", "exit status 7", 7},
      {"exit 255", "exit 255", "exit status 255", 255},
      {"killed", "kill -KILL $$", "signal: killed", -1},
      {"terminated", "kill -TERM $$", "signal: terminated", -1},
      {"segmentation fault without core", "ulimit -c 0; kill -SEGV $$",
       "signal: segmentation fault", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StringWriter out, err;
    const Error e = sh(c.script, out, err);
    EXPECT_EQ(e ? e.message() : "", c.wantErr);
    EXPECT_EQ(ExitCode(e), c.wantCode);
    if (e) {
      EXPECT_EQ(e.kind(), ErrorKind::Exit);
      EXPECT_FALSE(e.cause());
    }
  }
  StringWriter out, err;
  EXPECT_FALSE(sh("echo complaint >&2", out, err));
  EXPECT_EQ(err.text, "complaint\n");
}

// A child's end is one signal for the whole process; every run, on whatever
// thread, must still learn of its own child's end and of nothing else. More
// runs at once than the process watches through descriptors, so some look
// at intervals, and the handling of SIGCHLD is as before afterwards.
TEST_F(RunnerTest, ConcurrentRunsEachSeeTheirOwnChild) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGCHLD, nullptr, &before), 0);
  constexpr int kThreads = 20;
  std::vector<std::string> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, &results] {
      for (int round = 0; round < 3; ++round) {
        // Slow and quick children by turns, so ends fall while others wait.
        const int code = 1 + (t + round) % 100;
        const std::string script =
            ((t + round) % 2 ? "sleep 0.2; " : "") + std::string("exit ") + std::to_string(code);
        StringReader in;
        StringWriter out, err;
        const Error e = runner_.Run(Context(), "/bin/sh", {"-c", script}, in, out, err);
        results[t] += (e ? e.message() : "ok") + ";";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    std::string want;
    for (int round = 0; round < 3; ++round)
      want += "exit status " + std::to_string(1 + (t + round) % 100) + ";";
    EXPECT_EQ(results[t], want) << "thread " << t;
  }
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGCHLD, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

// Whether a core is written depends on the machine; the text must say so
// exactly when the wait status does. A child started here without the runner
// tells what this machine does.
TEST_F(RunnerTest, CoreDumpIsReportedWhenTheStatusSaysSo) {
  TempDir dir;
  ScopedCwd cwd(dir.path());
  const char* script = "ulimit -c unlimited 2>/dev/null; kill -SEGV $$";

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", script, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  const std::string want =
      std::string("signal: segmentation fault") + (WCOREDUMP(status) ? " (core dumped)" : "");

  StringWriter out, err;
  const Error e = sh(script, out, err);
  EXPECT_EQ(e ? e.message() : "", want);
  EXPECT_EQ(ExitCode(e), -1);
}

TEST_F(RunnerTest, ChildGetsExactlyItsDescriptors) {
  struct Case {
    const char* name;
    int placeA, placeB;  // descriptor numbers to put the files at
  };
  constexpr int kHigh = -1;
  const Case cases[] = {
      {"above the targets", kHigh, kHigh},
      {"A already 3, B above", 3, kHigh},
      {"B already 3, A above", kHigh, 3},
      {"already 3 and 4", 3, 4},
      {"swapped: A at 4, B at 3", 4, 3},
  };
  TempDir dir;
  const std::string pathA = dir.file("a"), pathB = dir.file("b");
  writeFile(pathA, "A");
  writeFile(pathB, "B");
  ScopedEnv record("NIMBRO_FAKE_RECORD", dir.file("record"));
  // Inherited without close-on-exec, as a careless parent may leave one: the
  // child must still not see it.
  const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(devNull, 0);
  const int leaked = fcntl(devNull, F_DUPFD, 20);
  close(devNull);
  ASSERT_GE(leaked, 20);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(dir.file("record").c_str());
    FreedDescriptors freed({3, 4});
    // The file at exactly target, or above every number the child uses for
    // kHigh.
    auto openAt = [](const std::string& path, int target) {
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || fd == target) return fd;
      const int placed =
          target == kHigh ? fcntl(fd, F_DUPFD_CLOEXEC, 20) : dup3(fd, target, O_CLOEXEC);
      close(fd);
      return placed;
    };
    const int a = openAt(pathA, c.placeA);
    const int b = openAt(pathB, c.placeB);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);

    StringReader in;
    StringWriter out, err;
    const int files[] = {a, b};
    const Error e =
        runner_.RunWithExtraFiles(Context(), selfExe(), {}, in, out, err, files);
    EXPECT_FALSE(e) << e.message();

    const testing::ChildRecord rec = readChildRecord(dir.file("record"));
    ASSERT_TRUE(rec.present);
    ASSERT_EQ(rec.descriptors.size(), 5u) << ::testing::PrintToString(rec.descriptors);
    for (int fd = 0; fd < 3; ++fd)
      EXPECT_EQ(rec.descriptors[fd].substr(0, 5), std::to_string(fd) + " -> ");
    EXPECT_EQ(rec.descriptors[3], "3 -> " + pathA);
    EXPECT_EQ(rec.descriptors[4], "4 -> " + pathB);
    EXPECT_EQ(rec.fd3Content, "A");

    // Still the caller's, unchanged.
    EXPECT_EQ(fcntl(a, F_GETFD), FD_CLOEXEC);
    EXPECT_EQ(fcntl(b, F_GETFD), FD_CLOEXEC);
    close(a);
    close(b);
  }
  close(leaked);

  unlink(dir.file("record").c_str());
  StringReader in;
  StringWriter out, err;
  EXPECT_FALSE(runner_.Run(Context(), selfExe(), {}, in, out, err));
  EXPECT_EQ(readChildRecord(dir.file("record")).descriptors.size(), 3u);
}

TEST_F(RunnerTest, StreamWithDescriptorIsHandedOverAsIs) {
  TempDir dir;
  const int fd = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  FileStream file(fd, "out");
  StringReader in;
  StringWriter err;
  EXPECT_FALSE(runner_.Run(Context(), "/bin/sh", {"-c", "echo direct; ls -l /proc/self/fd/1"},
                           in, file, err));
  close(fd);
  const std::string written = testing::readFileOrEmpty(dir.file("out"));
  EXPECT_EQ(written.substr(0, 7), "direct\n");
  EXPECT_NE(written.find("-> " + dir.file("out")), std::string::npos) << written;
}

TEST_F(RunnerTest, ArgumentsReachTheChildUnchanged) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
  ASSERT_EQ(symlink(selfExe().c_str(), dir.file("bin/probe").c_str()), 0);
  ScopedEnv path("PATH", dir.file("bin"));
  ScopedEnv record("NIMBRO_FAKE_RECORD", dir.file("record"));

  StringReader in;
  StringWriter out, err;
  EXPECT_FALSE(runner_.Run(Context(), "probe", {"", "two words", "-x"}, in, out, err));
  const std::vector<std::string> want = {"probe", "", "two words", "-x"};
  EXPECT_EQ(readChildRecord(dir.file("record")).argv, want);
}

TEST_F(RunnerTest, ChildEnvironment) {
  struct Case {
    const char* name;
    std::optional<std::vector<std::string_view>> unset;  // none: plain Run
    const char* want;
  };
  const std::vector<std::string> environment = {"A=1", "AB=2", "NOEQUALS", "a=3", "B=c=d", "=e"};
  const Case cases[] = {
      {"Run passes it unchanged", std::nullopt, "A=1\nAB=2\nNOEQUALS\na=3\nB=c=d\n=e\n"},
      {"one name", {{"A"}}, "AB=2\na=3\nB=c=d\n=e\n"},
      {"no names", std::vector<std::string_view>{}, "A=1\nAB=2\na=3\nB=c=d\n=e\n"},
      {"names compared exactly", {{" A", "A=", "b", "B=c", "NOEQUALS"}},
       "A=1\nAB=2\na=3\nB=c=d\n=e\n"},
      {"several names", {{"a", "B", "nowhere"}}, "A=1\nAB=2\n=e\n"},
      {"everything removed", {{"A", "AB", "a", "B", ""}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StringReader in;
    StringWriter out, err;
    Error e;
    {
      ScopedEnviron env(environment);
      e = c.unset ? runner_.RunWithUnsetEnv(Context(), "/usr/bin/env", {}, in, out, err, *c.unset)
                  : runner_.Run(Context(), "/usr/bin/env", {}, in, out, err);
    }
    EXPECT_FALSE(e) << e.message();
    EXPECT_EQ(out.text, c.want);
  }
}

TEST_F(RunnerTest, ProgramLookup) {
  struct Case {
    const char* name;
    std::optional<std::string> path;  // "{}" stands for the test directory
    std::string program;
    std::string wantOut;
    std::string wantErr;  // "{}" stands for the test directory
  };
  const std::string refused =
      "exec: \"tool\": cannot run executable found relative to current directory";
  const std::string notFound = "exec: \"tool\": executable file not found in $PATH";
  const Case cases[] = {
      {"absolute entry", "{}/abs", "tool", "abs\n", ""},
      {"directory of the same name skipped", "{}/dirprog:{}/abs", "tool", "abs\n", ""},
      {"file without execute permission skipped", "{}/noexec:{}/abs", "tool", "abs\n", ""},
      {"absolute entry before a relative one", "{}/abs:rel", "tool", "abs\n", ""},
      {"relative entry first", "rel:{}/abs", "tool", "", refused},
      {"dot entry first", ".:{}/abs", "tool", "", refused},
      {"empty entry first", ":{}/abs", "tool", "", refused},
      {"trailing empty entry", "{}/dirprog:", "tool", "", refused},
      {"no match", "{}/dirprog:{}/noexec", "tool", "", notFound},
      {"empty PATH names no directory", "", "tool", "", notFound},
      {"unset PATH", std::nullopt, "tool", "", notFound},
      {"name quoted", "{}/abs", "no\"such\t", "",
       "exec: \"no\\\"such\\t\": executable file not found in $PATH"},
      {"empty name", "{}/abs", "", "", "exec: no command"},
      {"relative path used without search", "{}/abs", "rel/tool", "rel\n", ""},
      {"missing path", "{}/abs", "/no/such", "", "fork/exec /no/such: no such file or directory"},
      {"path without execute permission", "{}/abs", "noexec/tool", "",
       "fork/exec noexec/tool: permission denied"},
      {"found program that cannot start", "{}/abs", "garbage", "",
       "fork/exec {}/abs/garbage: exec format error"},
  };

  TempDir dir;
  const std::string root = dir.path();
  for (const char* d : {"abs", "rel", "noexec", "dirprog", "dirprog/tool"})
    ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0);
  writeFile(dir.file("tool"), "#!/bin/sh\necho cwd\n", 0755);
  writeFile(dir.file("abs/tool"), "#!/bin/sh\necho abs\n", 0755);
  writeFile(dir.file("rel/tool"), "#!/bin/sh\necho rel\n", 0755);
  writeFile(dir.file("noexec/tool"), "#!/bin/sh\necho noexec\n", 0644);
  writeFile(dir.file("abs/garbage"), std::string("\x01\x02garbage", 9), 0755);
  ScopedCwd cwd(root);

  auto expand = [&](std::string s) {
    for (size_t at; (at = s.find("{}")) != std::string::npos;) s.replace(at, 2, root);
    return s;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv path("PATH", c.path ? std::optional(expand(*c.path)) : std::nullopt);
    StringReader in;
    StringWriter out, err;
    const Error e = runner_.Run(Context(), c.program, {}, in, out, err);
    EXPECT_EQ(e ? e.message() : "", expand(c.wantErr));
    EXPECT_EQ(out.text, c.wantOut);
    if (e) {
      EXPECT_EQ(e.kind(), ErrorKind::Plain);
      EXPECT_FALSE(e.cause());
    }
  }
}

TEST_F(RunnerTest, CancelledBeforeStartRunsNothing) {
  struct Case {
    const char* name;
    std::string program;
    std::string want;
  };
  const Case cases[] = {
      {"program found", "/bin/sh", "context canceled"},
      // The program is looked up first, so its absence is what is reported.
      {"program missing", "nimbro-no-such-program",
       "exec: \"nimbro-no-such-program\": executable file not found in $PATH"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CancelSource source;
    source.cancel();
    StringReader in;
    StringWriter out, err;
    const Error e = runner_.Run(source.context(), c.program,
                                {"-c", "touch \"$0\"", dir.file("marker")}, in, out, err);
    EXPECT_EQ(e ? e.message() : "", c.want);
    EXPECT_EQ(ExitCode(e), -1);
    EXPECT_NE(access(dir.file("marker").c_str(), F_OK), 0);
  }
}

TEST_F(RunnerTest, CancelledWhileRunningKillsTheChild) {
  CancelSource source;
  StringReader in;
  CancellingWriter out(source);
  StringWriter err;
  // Without the kill the run would end after 30 seconds with success.
  const Error e = runner_.Run(source.context(), "/bin/sh", {"-c", "echo $$; exec sleep 30"}, in,
                              out, err);
  EXPECT_EQ(e ? e.message() : "", "signal: killed");
  EXPECT_EQ(ExitCode(e), -1);
  const pid_t pid = std::atoi(out.text.c_str());
  ASSERT_GT(pid, 0);
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST_F(RunnerTest, CancelledWhileAnOrphanHoldsThePipe) {
  // The child ends at once; its own child waits until the tool has reaped
  // it (a zombie still answers kill -0), then writes its pid, which cancels
  // the run, and keeps the output pipe open for 30 seconds.
  CancelSource source;
  StringReader in;
  CancellingWriter out(source, "orphan ");
  StringWriter err;
  const std::string script =
      "(while kill -0 $$ 2>/dev/null; do sleep 0.01; done;"
      " exec sh -c 'echo orphan $$; exec sleep 30') & echo started";
  const Error e = runner_.Run(source.context(), "/bin/sh", {"-c", script}, in, out, err);
  EXPECT_EQ(e ? e.message() : "", "context canceled");
  EXPECT_EQ(e.kind(), ErrorKind::Canceled);
  const size_t at = out.text.find("orphan ");
  ASSERT_NE(at, std::string::npos) << out.text;
  const pid_t orphan = std::atoi(out.text.c_str() + at + 7);
  ASSERT_GT(orphan, 0);
  EXPECT_EQ(kill(orphan, SIGKILL), 0);
}

TEST_F(RunnerTest, ChildStartsWithDefaultSignalState) {
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  sigset_t oldMask;
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &block, &oldMask), 0);
  struct sigaction ignore {}, oldPipe {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGPIPE, &ignore, &oldPipe), 0);

  StringReader in;
  StringWriter out, err;
  const Error e = runner_.Run(Context(), "cat", {"/proc/self/status"}, in, out, err);

  sigaction(SIGPIPE, &oldPipe, nullptr);
  pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  ASSERT_FALSE(e) << e.message();

  auto mask = [&](const std::string& key) -> std::optional<unsigned long long> {
    const size_t at = out.text.find("\n" + key + ":");
    if (at == std::string::npos) return std::nullopt;
    return std::strtoull(out.text.c_str() + at + key.size() + 2, nullptr, 16);
  };
  const auto blocked = mask("SigBlk");
  const auto ignored = mask("SigIgn");
  ASSERT_TRUE(blocked && ignored) << out.text;
  EXPECT_EQ(*blocked, 0u);
  for (int sig : {SIGINT, SIGTERM, SIGPIPE}) {
    SCOPED_TRACE(sig);
    EXPECT_EQ(*ignored & (1ull << (sig - 1)), 0u);
  }
}

TEST_F(RunnerTest, PipedStreamsCopyBytesExactly) {
  struct Case {
    const char* name;
    std::string script;
    std::string input;
    std::string wantOut;
    std::string wantErr;
  };
  const std::string mib = pattern(1 << 20);
  const std::string binary("nul\0byte\xff\xfe\n no newline", 23);
  const Case cases[] = {
      {"binary through cat", "cat", binary, binary, ""},
      {"1 MiB in and out at once", "cat", mib, mib, ""},
      {"1 MiB out, input ignored", "head -c 1048576 /dev/zero", mib, std::string(1 << 20, '\0'),
       ""},
      {"input ignored, child gone at once", "exit 0", mib, "", ""},
      {"no input at all", "cat; echo end", "", "end\n", ""},
      {"standard error apart", "cat; echo done >&2", "in", "in", "done\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StringWriter out, err;
    const Error e = sh(c.script, out, err, c.input);
    EXPECT_FALSE(e) << e.message();
    EXPECT_TRUE(out.text == c.wantOut) << "got " << out.text.size() << " bytes";
    EXPECT_EQ(err.text, c.wantErr);
  }
}

TEST_F(RunnerTest, OneWriterForBothOutputsKeepsTheirOrder) {
  StringReader in;
  StringWriter both;
  EXPECT_FALSE(runner_.Run(Context(), "/bin/sh", {"-c", "echo a; echo b >&2; echo c; echo d >&2"},
                           in, both, both));
  EXPECT_EQ(both.text, "a\nb\nc\nd\n");
}

TEST_F(RunnerTest, CopyFailures) {
  struct Case {
    const char* name;
    std::string script;
    bool failIn, failOut;
    std::string want;
    int wantCode;
  };
  const Case cases[] = {
      // The child succeeded, so the failed copy is the result.
      {"output not taken", "echo hi", false, true, "write /dev/stdout: bad file descriptor", -1},
      {"input not given", "cat", true, false, "read /dev/stdin: input/output error", -1},
      // The child's own failure comes first.
      {"child fails too", "echo hi; exit 3", false, true, "exit status 3", 3},
      {"child stopped by the closed pipe", "exec head -c 1048576 /dev/zero", false, true,
       "signal: broken pipe", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StringReader goodIn;
    FailingReader badIn;
    StringWriter goodOut, err;
    testing::FailingWriter badOut;
    Reader& in = c.failIn ? static_cast<Reader&>(badIn) : goodIn;
    Writer& out = c.failOut ? static_cast<Writer&>(badOut) : goodOut;
    const Error e = runner_.Run(Context(), "/bin/sh", {"-c", c.script}, in, out, err);
    EXPECT_EQ(e ? e.message() : "", c.want);
    EXPECT_EQ(ExitCode(e), c.wantCode);
  }
}

}  // namespace
}  // namespace nimbro
