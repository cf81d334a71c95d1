#include "cli/signal_names.h"

#include <signal.h>

namespace nimbro {

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
