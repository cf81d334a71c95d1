#include "cli/syserr.h"

#include "cli/system_text.h"

namespace nimbro {

std::string errnoText(int errnum) {
  const char* description = systemErrorDescription(errnum);
  std::string text = description != nullptr ? description : "";
  if (text.empty()) return "errno " + std::to_string(errnum);
  // The system's sentence case reads as a fragment inside the tool's messages.
  if (text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

Error pathError(std::string_view op, std::string_view path, int errnum) {
  return Error::plain(format("%s %s: %s", op, path, errnoText(errnum)));
}

}  // namespace nimbro
