#include "cli/spawn_close.h"

namespace nimbro {

// A glibc file action (2.34 and later), run after the mapping actions added
// before it, so the mapped descriptors below lowest stay.
int closeDescriptorsFrom(posix_spawn_file_actions_t& actions, short& /*flags*/, int lowest) {
  return posix_spawn_file_actions_addclosefrom_np(&actions, lowest);
}

}  // namespace nimbro
