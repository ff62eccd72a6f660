#include "cli/guid_option.h"

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace tunewell::cli {

std::optional<int> TakeGuidOption(const Arguments& parsed, GuidSources* sources) {
  sources->can_be_given = true;
  if (!parsed.Has(kGuidOption)) return std::nullopt;
  sources->given = parsed.Value(kGuidOption);
  if (NormalGuid(sources->given).empty()) {
    PrintError(
        "--firewire-guid needs the 16 hexadecimal digits of the iPod's FireWire GUID, not '" +
        sources->given + "'");
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace tunewell::cli
