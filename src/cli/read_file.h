#pragma once

#include <string>
#include <string_view>

#include "cli/context.h"
#include "cli/errors.h"

namespace nimbro {

// Reads the whole file at path. Opening and reading never block beyond the
// run's cancellation, so a FIFO without a writer or a terminal cannot hold
// the tool: on cancellation the result is Error::canceled().
// Other failures read "open P: ..." or "read P: ..."; a file of more than
// 64 MiB, or a source that never ends, fails with "read P: file too large".
Expected<std::string> readFile(const Context& ctx, std::string_view path);

}  // namespace nimbro
