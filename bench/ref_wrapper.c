/* The yardstick: the least a wrapper can do and still do the tool's job.
 * It starts one program with posix_spawn, hands it its own standard
 * streams, waits for it and exits with its status.
 *
 *   ref_wrapper [-3 KEYFILE] [-r FILE] PROGRAM [ARG...]
 *
 * -3 opens KEYFILE without following a final symbolic link, checks it on the
 *    open descriptor and hands it over as the child's descriptor 3 (the join
 *    job); -r reads FILE whole before the spawn (the admin job's .env). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static int readWhole(const char *path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) {
  }
  close(fd);
  return n < 0 ? -1 : 0;
}

static int openKey(const char *path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 ||
      (st.st_mode & 077) != 0 || st.st_uid != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int main(int argc, char **argv) {
  int arg = 1;
  int keyFd = -1;
  for (; arg + 1 < argc; arg += 2) {
    if (strcmp(argv[arg], "-3") == 0) {
      keyFd = openKey(argv[arg + 1]);
      if (keyFd < 0) return 1;
    } else if (strcmp(argv[arg], "-r") == 0) {
      if (readWhole(argv[arg + 1]) != 0) return 1;
    } else {
      break;
    }
  }
  if (arg >= argc) {
    fputs("usage: ref_wrapper [-3 KEYFILE] [-r FILE] PROGRAM [ARG...]\n", stderr);
    return 2;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (keyFd >= 0) posix_spawn_file_actions_adddup2(&actions, keyFd, 3);

  pid_t pid;
  int err = posix_spawn(&pid, argv[arg], &actions, NULL, argv + arg, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return 1;

  int status;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 1;
}
