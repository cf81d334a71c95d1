#include <cstring>

#include "cli/signal_names.h"
#include "cli/system_text.h"

namespace nimbro {

// macOS's error texts are the same sentences as Linux's for the errors a
// start or an open meets ("No such file or directory", "Permission
// denied"). strerror_r refuses a number it has no text for, where strerror
// would make one up.
const char* systemErrorDescription(int errnum) {
  thread_local char text[128];
  return strerror_r(errnum, text, sizeof text) == 0 ? text : nullptr;
}

// macOS's own signal texts carry the number ("Killed: 9").
const char* systemSignalDescription(int sig) { return linuxSignalDescription(sig); }

}  // namespace nimbro
