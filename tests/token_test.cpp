#include "cli/token.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/key_files.h"

namespace nimbro {
namespace {

using testing::openDescriptorCount;
using testing::ScopedChdir;
using testing::ScratchDir;
using testing::writeFileWithMode;

constexpr uint32_t kRoot = 0;
constexpr uint32_t kOtherUID = 501;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string openFailure(const std::string& abs, const std::string& reason) {
  return "não foi possível abrir com segurança o arquivo de token " + quoted(abs) + ": open " +
         abs + ": " + reason;
}
std::string notRegular(const std::string& abs) {
  return "o arquivo de token " + quoted(abs) +
         " deve ser um arquivo regular (links simbólicos não são aceitos)";
}
std::string emptyFile(const std::string& abs) {
  return "o arquivo de token " + quoted(abs) + " está vazio";
}
std::string insecureMode(const std::string& abs) {
  return "permissões inseguras no arquivo de token " + quoted(abs) +
         ": remova todo acesso de grupo e outros (use chmod 600 ou 400)";
}
std::string wrongOwner(const std::string& abs, uint32_t expected) {
  return "proprietário inseguro no arquivo de token " + quoted(abs) + ": o UID deve ser " +
         std::to_string(expected);
}

bool runningAsRoot() { return ::geteuid() == 0; }

// Opens path and checks the refusal: the exact message, a usage error, and
// no descriptor left behind.
void expectRefused(const std::string& path, uint32_t expectedUID, const std::string& message) {
  int before = openDescriptorCount();
  Expected<TokenFile> got = openTokenFile(path, expectedUID);
  ASSERT_FALSE(got) << "opened " << path;
  EXPECT_EQ(got.error().message(), message);
  EXPECT_EQ(got.error().kind(), ErrorKind::Usage);
  EXPECT_EQ(openDescriptorCount(), before);
}

// Opens path and checks the success: the file is open on the vetted inode,
// close-on-exec, and named by its absolute path.
void expectOpened(const std::string& path, uint32_t expectedUID, const std::string& abs) {
  Expected<TokenFile> got = openTokenFile(path, expectedUID);
  ASSERT_TRUE(got) << got.error().message();
  EXPECT_EQ(got->path, abs);
  EXPECT_EQ(got->file.name(), abs);
  ASSERT_GE(got->file.fd(), 0);
  EXPECT_NE(::fcntl(got->file.fd(), F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(::fcntl(got->file.fd(), F_GETFL) & O_ACCMODE, O_RDONLY);
  struct stat opened {}, named {};
  ASSERT_EQ(::fstat(got->file.fd(), &opened), 0);
  ASSERT_EQ(::stat(abs.c_str(), &named), 0);
  EXPECT_EQ(opened.st_ino, named.st_ino);
  EXPECT_EQ(opened.st_dev, named.st_dev);
}

TEST(OpenTokenFile, RefusesWhatIsNotANonEmptyRegularFile) {
  ScratchDir dir;
  writeFileWithMode(dir.join("key"), "tskey-auth-1\n", 0600);
  ASSERT_EQ(::symlink(dir.join("key").c_str(), dir.join("link").c_str()), 0);
  ASSERT_EQ(::mkdir(dir.join("subdir").c_str(), 0700), 0);
  writeFileWithMode(dir.join("empty"), "", 0644);

  struct Case {
    const char* name;
    std::string path;
    std::string message;
  };
  const Case cases[] = {
      {"symbolic link to a good key is refused at the open", dir.join("link"),
       openFailure(dir.join("link"), "too many levels of symbolic links")},
      {"missing file", dir.join("absent"),
       openFailure(dir.join("absent"), "no such file or directory")},
      {"file used as a directory", dir.join("key/key"),
       openFailure(dir.join("key/key"), "not a directory")},
      {"directory", dir.join("subdir"), notRegular(dir.join("subdir"))},
      {"empty file is reported before its open permissions", dir.join("empty"),
       emptyFile(dir.join("empty"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRefused(c.path, kRoot, c.message);
  }
}

TEST(OpenTokenFile, ChecksOnlyGroupAndOtherPermissionBits) {
  ScratchDir dir;
  struct Case {
    const char* name;
    mode_t mode;
    bool accepted;
  };
  const Case cases[] = {
      {"owner read-write", 0600, true},
      {"owner read-only", 0400, true},
      {"owner all", 0700, true},
      {"set-user-ID lies outside the mask", 04600, true},
      {"group read", 0640, false},
      {"other read", 0604, false},
      {"group execute", 0610, false},
      {"group and other read", 0644, false},
      {"other write only", 0602, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.join("key-" + std::to_string(c.mode));
    writeFileWithMode(path, "tskey-auth-1\n", c.mode);
    if (c.accepted) {
      expectOpened(path, ::geteuid(), path);
    } else {
      expectRefused(path, ::geteuid(), insecureMode(path));
    }
  }
}

TEST(OpenTokenFile, ChecksTheOwnerAfterThePermissions) {
  if (!runningAsRoot()) GTEST_SKIP() << "giving a file away needs the superuser";
  ScratchDir dir;
  struct Case {
    const char* name;
    mode_t mode;
    uid_t owner;
    uint32_t expected;
    bool accepted;
    bool permissionMessage;
  };
  const Case cases[] = {
      {"owned by someone else, readable by all: permissions first", 0644, kOtherUID, kRoot,
       false, true},
      {"owned by someone else: the expected UID is reported", 0600, kOtherUID, kRoot, false,
       false},
      {"owned by the superuser while another UID is expected", 0600, 0, kOtherUID, false, false},
      {"owned by the expected other UID", 0600, kOtherUID, kOtherUID, true, false},
      {"owned by the superuser as expected", 0400, 0, kRoot, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.join("key");
    writeFileWithMode(path, "tskey-auth-1\n", c.mode);
    ASSERT_EQ(::chown(path.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    if (c.accepted) {
      expectOpened(path, c.expected, path);
    } else if (c.permissionMessage) {
      expectRefused(path, c.expected, insecureMode(path));
    } else {
      expectRefused(path, c.expected, wrongOwner(path, c.expected));
    }
    ASSERT_EQ(::unlink(path.c_str()), 0);
  }
}

TEST(OpenTokenFile, FollowsSymbolicLinksBeforeTheLastComponent) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir(dir.join("real").c_str(), 0700), 0);
  writeFileWithMode(dir.join("real/key"), "tskey-auth-1\n", 0600);
  ASSERT_EQ(::symlink("real", dir.join("alias").c_str()), 0);
  // The name stays the one typed: the link in the directory part is not
  // resolved in the returned path.
  expectOpened(dir.join("alias/key"), ::geteuid(), dir.join("alias/key"));
}

TEST(OpenTokenFile, MakesPathsAbsoluteAndCleanWithoutTrimming) {
  ScratchDir dir;
  writeFileWithMode(dir.join("key"), "tskey-auth-1\n", 0600);
  writeFileWithMode(dir.join(" key "), "tskey-auth-1\n", 0600);
  writeFileWithMode(dir.join("loose"), "tskey-auth-1\n", 0644);
  ScopedChdir into(dir.path());

  struct Case {
    const char* name;
    std::string path;
    std::string abs;
  };
  const Case opened[] = {
      {"relative name", "key", dir.join("key")},
      {"dot and duplicate separators", ".//key", dir.join("key")},
      {"through the parent", "../" + dir.path().substr(dir.path().rfind('/') + 1) + "/key",
       dir.join("key")},
      {"absolute with noise", dir.path() + "/./x/../key", dir.join("key")},
      {"blanks are part of the name", " key ", dir.join(" key ")},
  };
  for (const Case& c : opened) {
    SCOPED_TRACE(c.name);
    expectOpened(c.path, ::geteuid(), c.abs);
  }

  struct Refusal {
    const char* name;
    std::string path;
    std::string message;
  };
  const Refusal refused[] = {
      {"missing relative name", "absent", openFailure(dir.join("absent"), "no such file or directory")},
      {"a trailing blank is kept and quoted", "key\t",
       "não foi possível abrir com segurança o arquivo de token \"" + dir.path() +
           "/key\\t\": open " + dir.join("key\t") + ": no such file or directory"},
      {"permissions", "loose", insecureMode(dir.join("loose"))},
  };
  for (const Refusal& c : refused) {
    SCOPED_TRACE(c.name);
    expectRefused(c.path, ::geteuid(), c.message);
  }
}

TEST(OpenTokenFile, ReportsAWorkingDirectoryThatIsGone) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir(dir.join("gone").c_str(), 0700), 0);
  ScopedChdir into(dir.join("gone"));
  ASSERT_EQ(::rmdir(dir.join("gone").c_str()), 0);
  // The message quotes the path as given, since no absolute one exists.
  expectRefused("key\n", ::geteuid(),
                "não foi possível resolver o caminho do arquivo de token \"key\\n\": getwd: no "
                "such file or directory");
}

// Runs openTokenFile on path in a child process and returns its message, or
// nothing when the child does not answer within a generous bound.
std::optional<std::string> refusalFromChild(const std::string& path) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  pid_t pid = ::fork();
  if (pid == 0) {
    Expected<TokenFile> got = openTokenFile(path, ::geteuid());
    std::string text = got ? "opened" : got.error().message();
    ssize_t ignored = ::write(fds[1], text.data(), text.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(fds[1]);
  std::optional<std::string> result;
  pollfd pfd{fds[0], POLLIN, 0};
  if (pid > 0 && ::poll(&pfd, 1, 20000) == 1) {
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    result = text;
  }
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  ::close(fds[0]);
  return result;
}

TEST(OpenTokenFile, RefusesANamedPipeWithoutWaitingForAWriter) {
  ScratchDir dir;
  std::string fifo = dir.join("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::optional<std::string> message = refusalFromChild(fifo);
  ASSERT_TRUE(message) << "opening a named pipe did not return";
  EXPECT_EQ(*message, notRegular(fifo));
  // And in this process, to see the descriptor closed.
  expectRefused(fifo, ::geteuid(), notRegular(fifo));
}

}  // namespace
}  // namespace nimbro
