#include <cstring>

#include "cli/system_text.h"

namespace nimbro {

// glibc's descriptions, without the locale's translation and without the
// number appended for unknown values, which the callers spell themselves.
const char* systemErrorDescription(int errnum) { return strerrordesc_np(errnum); }

const char* systemSignalDescription(int sig) { return sigdescr_np(sig); }

}  // namespace nimbro
