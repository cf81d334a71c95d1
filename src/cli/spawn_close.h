// Closing, in a child about to be started, every descriptor it is not given.
#pragma once

#include <spawn.h>

namespace nimbro {

// Arranges for every descriptor from lowest up to be closed in the child
// that actions and flags start, also those the tool inherited without
// close-on-exec and cannot know about. flags are the spawn attribute flags
// the caller sets afterwards. Returns 0 or an error number.
int closeDescriptorsFrom(posix_spawn_file_actions_t& actions, short& flags, int lowest);

}  // namespace nimbro
