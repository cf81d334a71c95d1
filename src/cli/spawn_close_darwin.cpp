#include "cli/spawn_close.h"

namespace nimbro {

// Apple's flag leaves the child only the descriptors the file actions
// describe, here the mapped ones below lowest, and closes all others.
int closeDescriptorsFrom(posix_spawn_file_actions_t& /*actions*/, short& flags, int /*lowest*/) {
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
  return 0;
}

}  // namespace nimbro
