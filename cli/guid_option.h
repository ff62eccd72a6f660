#pragma once

#include <optional>

#include "cli/arguments.h"
#include "storage/firewire_guid.h"

namespace tunewell::cli {

// The option sync and remove take for an iPod whose database is signed.
inline constexpr const char* kGuidOption = "firewire-guid";

// Takes --firewire-guid into `sources`, which the refusal then names; a value that is not 16
// hexadecimal digits is a usage error, printed, with its exit code returned.
std::optional<int> TakeGuidOption(const Arguments& parsed, GuidSources* sources);

}  // namespace tunewell::cli
