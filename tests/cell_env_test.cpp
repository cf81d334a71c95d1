#include "cli/cell_env.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "process/file.h"
#include "support/cancel_source.h"
#include "support/key_files.h"

namespace nimbro {
namespace {

using testing::CancelSource;
using testing::ScratchDir;

// Replaces every "<path>" in text with path.
std::string withPath(std::string text, std::string_view path) {
  constexpr std::string_view kMarker = "<path>";
  for (size_t at = text.find(kMarker); at != std::string::npos;
       at = text.find(kMarker, at + path.size())) {
    text.replace(at, kMarker.size(), path);
  }
  return text;
}

void writeFile(const std::string& path, std::string_view content) {
  testing::writeFileWithMode(path, content, 0600);
}

constexpr const char* kOnce = "<path> deve definir NIMBRO_INSTANCE_ID exatamente uma vez";
constexpr const char* kBadName =
    "NIMBRO_INSTANCE_ID em <path> deve começar com letra ou número minúsculo e usar somente "
    "a-z, 0-9, hífen ou sublinhado";
constexpr const char* kProjectNameAt =
    " não pode definir COMPOSE_PROJECT_NAME; use somente NIMBRO_INSTANCE_ID";

TEST(ComposeProjectNameFromEnvFile, ReadsTheInstanceID) {
  struct Case {
    const char* name;
    std::string content;
    std::string want;     // the project name, when wantErr is empty
    std::string wantErr;  // "<path>" stands for the file's path
  };
  auto refusedAt = [](int line) {
    return "<path>:" + std::to_string(line) + kProjectNameAt;
  };
  const Case cases[] = {
      {"only line", "NIMBRO_INSTANCE_ID=cell-01", "cell-01", ""},
      {"trailing line feed", "NIMBRO_INSTANCE_ID=cell-01\n", "cell-01", ""},
      {"crlf", "# cell\r\nNIMBRO_INSTANCE_ID=cell-01\r\nOTHER=x\r\n", "cell-01", ""},
      {"spaces around key, equals and value", "   NIMBRO_INSTANCE_ID  =  cell-01   \n", "cell-01",
       ""},
      {"unicode spaces trimmed", "\u00a0NIMBRO_INSTANCE_ID=cell-01\u2003\v\f", "cell-01", ""},
      {"other keys ignored", "A=1\nNIMBRO_HTTP_PORT=80\nNIMBRO_INSTANCE_ID=c\nB", "c", ""},
      {"export and space", "export NIMBRO_INSTANCE_ID=cell-01", "cell-01", ""},
      {"export and tab", "export\tNIMBRO_INSTANCE_ID=cell-01", "cell-01", ""},
      {"export and many blanks", "export  \t NIMBRO_INSTANCE_ID = cell-01", "cell-01", ""},
      {"export glued to key", "exportNIMBRO_INSTANCE_ID=cell-01", "", kOnce},
      {"export upper case", "EXPORT NIMBRO_INSTANCE_ID=cell-01", "", kOnce},
      {"export twice", "export export NIMBRO_INSTANCE_ID=cell-01", "", kOnce},
      {"key in lower case", "nimbro_instance_id=cell-01", "", kOnce},
      {"key without equals", "NIMBRO_INSTANCE_ID\n", "", kOnce},
      {"hash inside a key line is no comment", "X=1#NIMBRO_INSTANCE_ID=a\nNIMBRO_INSTANCE_ID=b",
       "b", ""},
      {"value holding equals", "NIMBRO_INSTANCE_ID=a=b", "", kBadName},
      {"double quotes stay", "NIMBRO_INSTANCE_ID=\"cell-01\"", "", kBadName},
      {"single quotes stay", "NIMBRO_INSTANCE_ID='cell-01'", "", kBadName},
      {"trailing comment stays", "NIMBRO_INSTANCE_ID=cell-01 # the cell", "", kBadName},
      {"no variable expansion", "NIMBRO_INSTANCE_ID=${CELL}", "", kBadName},
      {"empty value counts once", "NIMBRO_INSTANCE_ID=", "", kBadName},
      {"empty value then a good one", "NIMBRO_INSTANCE_ID=\nNIMBRO_INSTANCE_ID=a", "", kOnce},
      {"commented project name", "#COMPOSE_PROJECT_NAME=x\nNIMBRO_INSTANCE_ID=cell", "cell", ""},
      {"indented comment", "  # COMPOSE_PROJECT_NAME=x\nNIMBRO_INSTANCE_ID=cell", "cell", ""},
      {"bare project name word", "COMPOSE_PROJECT_NAME\nNIMBRO_INSTANCE_ID=cell", "cell", ""},
      {"project name in lower case", "compose_project_name=x\nNIMBRO_INSTANCE_ID=c", "c", ""},
      {"project name on line 1", "COMPOSE_PROJECT_NAME = x\nNIMBRO_INSTANCE_ID=c", "",
       refusedAt(1)},
      {"export empty project name on line 3", "NIMBRO_INSTANCE_ID=cell\n\nexport COMPOSE_PROJECT_NAME=\n",
       "", refusedAt(3)},
      {"blank and comment lines are counted", "\r\n# x\n\nCOMPOSE_PROJECT_NAME=cell", "",
       refusedAt(4)},
      {"refusal wins over two definitions",
       "NIMBRO_INSTANCE_ID=a\nNIMBRO_INSTANCE_ID=b\nCOMPOSE_PROJECT_NAME=x", "", refusedAt(3)},
      {"refusal wins over a bad name", "NIMBRO_INSTANCE_ID=Bad\nCOMPOSE_PROJECT_NAME=x", "",
       refusedAt(2)},
      {"empty file", "", "", kOnce},
      {"only comments and blanks", "# a\n\n   \n\t# NIMBRO_INSTANCE_ID=x\n", "", kOnce},
      {"two equal definitions", "NIMBRO_INSTANCE_ID=a\nNIMBRO_INSTANCE_ID=a", "", kOnce},
      {"byte-order mark is part of the key", "\xEF\xBB\xBFNIMBRO_INSTANCE_ID=cell", "", kOnce},
      {"byte-order mark on an earlier line", "\xEF\xBB\xBF\nNIMBRO_INSTANCE_ID=cell", "cell", ""},
      {"NUL in the value", std::string("NIMBRO_INSTANCE_ID=cell\0x", 25), "", kBadName},
      {"NUL line elsewhere", std::string("\0\nNIMBRO_INSTANCE_ID=cell\n\0", 27), "cell", ""},
      {"invalid byte is not trimmed", "NIMBRO_INSTANCE_ID=cell\xff", "", kBadName},
      {"change-me", "NIMBRO_INSTANCE_ID=change-me", "", kBadName},
  };
  ScratchDir dir;
  const std::string path = dir.join("cell.env");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path, c.content);
    Expected<std::string> got = composeProjectNameFromEnvFile(Context(), path);
    if (c.wantErr.empty()) {
      ASSERT_TRUE(got) << got.error().message();
      EXPECT_EQ(*got, c.want);
      continue;
    }
    ASSERT_FALSE(got) << "got " << *got;
    EXPECT_EQ(got.error().message(), withPath(c.wantErr, path));
    EXPECT_TRUE(IsUsageError(got.error()));
  }
}

TEST(ComposeProjectNameFromEnvFile, ReportsUnreadableFiles) {
  ScratchDir dir;
  struct Case {
    const char* name;
    std::string path;
    std::string want;
  };
  const std::string missing = dir.join("missing.env");
  const std::string odd = dir.join("a\"b\\c\td\xff.env");
  const Case cases[] = {
      {"missing file", missing,
       "não foi possível ler o .env da célula Nimbro \"<path>\": open <path>: no such file or "
       "directory"},
      {"path needing escapes", odd,
       "não foi possível ler o .env da célula Nimbro \"" + dir.path() +
           "/a\\\"b\\\\c\\td\\xff.env\": open <path>: no such file or directory"},
      {"directory", dir.path(),
       "não foi possível ler o .env da célula Nimbro \"<path>\": read <path>: is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Expected<std::string> got = composeProjectNameFromEnvFile(Context(), c.path);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().message(), withPath(c.want, c.path));
    EXPECT_TRUE(IsUsageError(got.error()));
  }
}

TEST(ComposeProjectNameFromEnvFile, ReportsAFileItMayNotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ScratchDir dir;
  const std::string path = dir.join("cell.env");
  testing::writeFileWithMode(path, "NIMBRO_INSTANCE_ID=cell", 0);
  Expected<std::string> got = composeProjectNameFromEnvFile(Context(), path);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().message(), withPath("não foi possível ler o .env da célula Nimbro "
                                            "\"<path>\": open <path>: permission denied",
                                            path));
  EXPECT_TRUE(IsUsageError(got.error()));
}

TEST(IsSafeComposeProjectName, FollowsTheProjectNameRule) {
  struct Case {
    const char* name;
    std::string value;
    bool want;
  };
  const Case cases[] = {
      {"letters and digits", "cell01", true},
      {"leading digit", "1cell", true},
      {"hyphen", "cell-1", true},
      {"underscore", "cell_1", true},
      {"single digit", "0", true},
      {"ends with hyphen", "a-", true},
      {"200 letters", std::string(200, 'a'), true},
      {"empty", "", false},
      {"change-me", "change-me", false},
      {"change-me inside", "my-change-me-cell", false},
      {"upper case", "Cell1", false},
      {"leading hyphen", "-cell", false},
      {"leading underscore", "_cell", false},
      {"dot", "cell.1", false},
      {"inner space", "cell 1", false},
      {"accented letter", "célula", false},
      {"invalid byte", "cell\xff", false},
      {"NUL", std::string("cell\0", 5), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isSafeComposeProjectName(c.value), c.want);
  }
}

TEST(TrimDotEnvExport, RemovesOneKeyword) {
  struct Case {
    const char* name;
    std::string_view line;
    std::string_view want;
  };
  const Case cases[] = {
      {"space", "export A=1", "A=1"},
      {"tab", "export\tA=1", "A=1"},
      {"blanks after the keyword", "export \t  A=1", "A=1"},
      {"unicode space after the blanks", "export \u00a0A=1", "A=1"},
      {"keyword alone", "export", "export"},
      {"keyword glued to a letter", "exportA=1", "exportA=1"},
      {"keyword glued to a digit", "export1=1", "export1=1"},
      {"keyword then equals", "export=1", "export=1"},
      {"upper case", "EXPORT A=1", "EXPORT A=1"},
      {"mixed case", "Export A=1", "Export A=1"},
      {"no-break space is not the separator", "export\u00a0A=1", "export\u00a0A=1"},
      {"only the first keyword", "export export A=1", "export A=1"},
      {"no keyword", "A=1", "A=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(trimDotEnvExport(c.line), c.want);
  }
}

// A child process for the cases where the file's other end lives elsewhere.
// It holds the write end of a pipe whose read end is the returned context,
// and an alarm bounds its life: if the read under test hangs, the child's
// death cancels the context and ends the wait.
class PeerProcess {
 public:
  template <typename Body>
  explicit PeerProcess(Body body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe2 failed";
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      ::alarm(30);
      body(fds[1]);
      for (;;) ::pause();
    }
    ::close(fds[1]);
    ctxFd_ = fds[0];
    if (pid_ < 0) ADD_FAILURE() << "fork failed";
  }
  ~PeerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (ctxFd_ >= 0) ::close(ctxFd_);
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  Context context() const { return Context(ctxFd_); }

 private:
  pid_t pid_ = -1;
  int ctxFd_ = -1;
};

// Makes a FIFO in dir.
std::string makeFifo(const ScratchDir& dir) {
  std::string path = dir.join("cell.env");
  EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
  return path;
}

TEST(ReadFile, FifoWithoutWriterEndsOnCancellation) {
  ScratchDir dir;
  const std::string fifo = makeFifo(dir);
  CancelSource cancel;
  cancel.cancel();

  Expected<std::string> got = readFile(cancel.context(), fifo);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().message(), "context canceled");
  EXPECT_EQ(got.error().kind(), ErrorKind::Canceled);

  // The reader of the project name passes the cancellation on as it is.
  Expected<std::string> name = composeProjectNameFromEnvFile(cancel.context(), fifo);
  ASSERT_FALSE(name);
  EXPECT_EQ(name.error().message(), "context canceled");
  EXPECT_EQ(name.error().kind(), ErrorKind::Canceled);
}

TEST(ReadFile, FifoCancelledFromAnotherProcessWhileWaiting) {
  ScratchDir dir;
  const std::string fifo = makeFifo(dir);
  // The peer's open returns only once the reader has opened the FIFO, so
  // the cancellation arrives while the reader waits for data.
  PeerProcess peer([&](int cancelFd) {
    int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0) ::_exit(1);
    (void)!::write(cancelFd, "x", 1);
  });

  Expected<std::string> got = readFile(peer.context(), fifo);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().message(), "context canceled");
}

TEST(ReadFile, FifoWaitsForItsWriter) {
  ScratchDir dir;
  const std::string fifo = makeFifo(dir);
  const std::string content = "NIMBRO_INSTANCE_ID=cell-fifo\n";
  // The writer connects only after the reader has opened, so a reader that
  // does not wait would see an empty file.
  PeerProcess peer([&](int) {
    int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0) ::_exit(1);
    (void)!::write(fd, content.data(), content.size());
    ::close(fd);
  });

  Expected<std::string> got = readFile(peer.context(), fifo);
  ASSERT_TRUE(got) << got.error().message();
  EXPECT_EQ(*got, content);
}

TEST(ReadFile, PipeThroughDescriptorPath) {
  struct Case {
    const char* name;
    std::string prefix;
    size_t size;
  };
  const Case cases[] = {
      {"dev fd, small", "/dev/fd/", 30},
      {"proc self fd, small", "/proc/self/fd/", 30},
      {"larger than the pipe buffer", "/dev/fd/", 300000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string content(c.size, 'x');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    // The peer writes while the reader drains, as a process substitution does.
    PeerProcess peer([&](int) {
      ::close(fds[0]);
      for (size_t done = 0; done < content.size();) {
        ssize_t n = ::write(fds[1], content.data() + done, content.size() - done);
        if (n <= 0) ::_exit(1);
        done += static_cast<size_t>(n);
      }
      ::close(fds[1]);
    });
    ::close(fds[1]);

    Expected<std::string> got = readFile(peer.context(), c.prefix + std::to_string(fds[0]));
    ::close(fds[0]);
    ASSERT_TRUE(got) << got.error().message();
    EXPECT_EQ(got->size(), content.size());
    EXPECT_TRUE(*got == content);
  }
}

TEST(ReadFile, RegularFiles) {
  struct Case {
    const char* name;
    size_t size;
  };
  const Case cases[] = {{"empty", 0}, {"one byte", 1}, {"large", 1 << 20}};
  ScratchDir dir;
  const std::string path = dir.join("data");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string content(c.size, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    writeFile(path, content);
    Expected<std::string> got = readFile(Context(), path);
    ASSERT_TRUE(got) << got.error().message();
    EXPECT_TRUE(*got == content);
  }
}

}  // namespace
}  // namespace nimbro
