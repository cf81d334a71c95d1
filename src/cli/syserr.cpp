#include "cli/syserr.h"

#include "base/strings.h"
#include "cli/system_text.h"

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

}  // namespace nimbro
