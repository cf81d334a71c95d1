// Opening the pre-authorisation key file. The key is never read by the tool:
// the file is vetted on its open descriptor and handed to the engine as is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/errors.h"
#include "cli/file.h"

namespace nimbro {

struct TokenFile {
  File file;         // open read-only, close-on-exec; named by path
  std::string path;  // absolute and lexically cleaned
};

// Opens path without following a final symbolic link and checks on the open
// descriptor that it is a non-empty regular file with no group or other
// permissions, owned by expectedUID. On failure nothing stays open.
Expected<TokenFile> openTokenFile(std::string_view path, uint32_t expectedUID);

}  // namespace nimbro
