#include "support/fake_child.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace nimbro::testing {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Records are lists of NUL-terminated fields grouped by a header field.
void field(std::string& out, const std::string& s) {
  out += s;
  out += '\0';
}

// A section header: a field no recorded value can equal.
void header(std::string& out, const char* name) { field(out, std::string("\x01") + name); }

std::vector<std::string> openDescriptors() {
  std::vector<std::string> fds;
  DIR* d = opendir("/proc/self/fd");
  if (!d) return fds;
  const int own = dirfd(d);
  std::vector<int> nums;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const int fd = std::atoi(e->d_name);
    if (fd != own) nums.push_back(fd);
  }
  closedir(d);
  std::sort(nums.begin(), nums.end());
  for (int fd : nums) {
    char target[PATH_MAX] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    fds.push_back(std::to_string(fd) + " -> " + (n > 0 ? std::string(target, n) : "?"));
  }
  return fds;
}

std::string statusLine(const std::string& key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind(key + ":", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

std::string accessMode(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return "";
  switch (flags & O_ACCMODE) {
    case O_RDONLY: return "read-only";
    case O_WRONLY: return "write-only";
    default: return "read-write";
  }
}

std::string descriptor3() {
  std::ifstream f("/proc/self/fd/3", std::ios::binary);
  if (!f) return "";
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

int runFakeChildIfAsked(int argc, char** argv) {
  if (env("NIMBRO_FAKE_RECORD").empty()) return -1;
  std::string rec;
  header(rec, "argv");
  for (int i = 0; i < argc; ++i) field(rec, argv[i]);
  header(rec, "env");
  for (char** e = environ; *e; ++e) field(rec, *e);
  header(rec, "fds");
  for (const std::string& d : openDescriptors()) field(rec, d);
  header(rec, "sigblk");
  field(rec, statusLine("SigBlk"));
  header(rec, "sigign");
  field(rec, statusLine("SigIgn"));
  header(rec, "pid");
  field(rec, std::to_string(getpid()));
  header(rec, "fd3");
  field(rec, descriptor3());
  header(rec, "fd0access");
  field(rec, accessMode(0));
  {
    std::ofstream f(env("NIMBRO_FAKE_RECORD"), std::ios::binary | std::ios::app);
    f << rec;
  }
  const std::string out = env("FAKE_STDOUT");
  const std::string err = env("FAKE_STDERR");
  if (!out.empty()) (void)!write(1, out.data(), out.size());
  if (!err.empty()) (void)!write(2, err.data(), err.size());
  const std::string mode = env("FAKE_MODE");
  if (mode == "sleep") {
    const std::string ready = env("FAKE_READY");
    if (!ready.empty()) {
      std::ofstream(ready) << "ready\n";
    }
    sleep(60);
  } else if (mode == "kill") {
    raise(SIGKILL);
  } else if (mode == "remove-token") {
    unlink(env("FAKE_TOKEN").c_str());
  }
  return std::atoi(env("FAKE_EXIT").c_str());
}

ChildRecord readChildRecord(const std::string& path) {
  ChildRecord r;
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  const std::string data = s.str();
  r.present = !data.empty();
  std::string section;
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t end = data.find('\0', pos);
    const std::string value = data.substr(pos, end - pos);
    pos = end + 1;
    if (!value.empty() && value[0] == '\x01') {
      section = value.substr(1);
      continue;
    }
    if (section == "argv") r.argv.push_back(value);
    else if (section == "env") r.env.push_back(value);
    else if (section == "fds") r.descriptors.push_back(value);
    else if (section == "sigblk") r.sigBlocked = value;
    else if (section == "sigign") r.sigIgnored = value;
    else if (section == "fd3") r.fd3Content = value;
    else if (section == "fd0access") r.fd0Access = value;
    else if (section == "pid") r.pid = std::atoi(value.c_str());
  }
  return r;
}

}  // namespace nimbro::testing
