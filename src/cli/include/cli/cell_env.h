// The cell's .env file, which names the Compose project through
// NIMBRO_INSTANCE_ID.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"
#include "process/context.h"

namespace nimbro {

// Reads the whole file at path and returns NIMBRO_INSTANCE_ID's value as the
// Compose project name. A bad or unreadable file is a usage error; a
// cancellation while the read waits (a FIFO, a terminal) is the cancellation
// "context canceled".
Expected<std::string> composeProjectNameFromEnvFile(const Context& ctx, std::string_view path);
// line (already trimmed) without a leading "export" keyword.
std::string_view trimDotEnvExport(std::string_view line);
bool isSafeComposeProjectName(std::string_view name);

}  // namespace nimbro
