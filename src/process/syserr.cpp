#include "process/syserr.h"

#include <signal.h>

#include "base/strings.h"
#include "system.h"

namespace nimbro {

// The system's sentence case reads as a fragment inside the tool's messages.
std::string errnoText(int errnum) {
  const char* description = systemErrorDescription(errnum);
  if (description == nullptr || *description == '\0') return "errno " + std::to_string(errnum);
  return lowerFirstLetter(description);
}

std::string signalText(int sig) {
  const char* description = systemSignalDescription(sig);
  if (description == nullptr) return format("signal %d", sig);
  return lowerFirstLetter(description);
}

Error pathError(std::string_view op, std::string_view path, int errnum) {
  return Error::plain(format("%s %s: %s", op, path, errnoText(errnum)));
}

const char* linuxSignalDescription(int sig) {
  // Keyed by name: the numbers differ between systems (SIGBUS is 7 on
  // Linux and 10 on macOS).
  switch (sig) {
    case SIGHUP: return "Hangup";
    case SIGINT: return "Interrupt";
    case SIGQUIT: return "Quit";
    case SIGILL: return "Illegal instruction";
    case SIGTRAP: return "Trace/breakpoint trap";
    case SIGABRT: return "Aborted";
    case SIGBUS: return "Bus error";
    case SIGFPE: return "Floating point exception";
    case SIGKILL: return "Killed";
    case SIGUSR1: return "User defined signal 1";
    case SIGSEGV: return "Segmentation fault";
    case SIGUSR2: return "User defined signal 2";
    case SIGPIPE: return "Broken pipe";
    case SIGALRM: return "Alarm clock";
    case SIGTERM: return "Terminated";
    case SIGCHLD: return "Child exited";
    case SIGCONT: return "Continued";
    case SIGSTOP: return "Stopped (signal)";
    case SIGTSTP: return "Stopped";
    case SIGTTIN: return "Stopped (tty input)";
    case SIGTTOU: return "Stopped (tty output)";
    case SIGURG: return "Urgent I/O condition";
    case SIGXCPU: return "CPU time limit exceeded";
    case SIGXFSZ: return "File size limit exceeded";
    case SIGVTALRM: return "Virtual timer expired";
    case SIGPROF: return "Profiling timer expired";
    case SIGWINCH: return "Window changed";
    case SIGIO: return "I/O possible";
    case SIGSYS: return "Bad system call";
#ifdef SIGSTKFLT
    case SIGSTKFLT: return "Stack fault";
#endif
#ifdef SIGPWR
    case SIGPWR: return "Power failure";
#endif
    default: return nullptr;
  }
}

}  // namespace nimbro
