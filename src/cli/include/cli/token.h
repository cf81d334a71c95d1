// Opening the pre-authorisation key file. The key is never read by the tool:
// the file is vetted on its open descriptor and handed to the engine as is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "process/file.h"

namespace nimbro {

struct TokenFile {
  File file;         // open read-only, close-on-exec; named by path
  std::string path;  // absolute and lexically cleaned
  File directory;    // the directory the file was found in
  std::string name;  // the file's entry in directory
};

// Opens path without following a final symbolic link (links in the
// directory part are followed) and checks on the open descriptor that it is
// a non-empty regular file with no group or other permissions, owned by
// expectedUID. On failure nothing stays open.
Expected<TokenFile> openTokenFile(std::string_view path, uint32_t expectedUID);

// Removes the entry of token's file from the directory it was found in, only
// while that entry still is the file that was opened: a file or a directory
// put in its place since then stays. The error reads "remove P: ...".
Error removeTokenFile(const TokenFile& token);

}  // namespace nimbro
