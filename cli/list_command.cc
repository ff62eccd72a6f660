#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/contents_tree.h"
#include "cli/exit_codes.h"
#include "cli/ipod_root.h"
#include "cli/json.h"
#include "database/ipod_database.h"
#include "platform/text.h"
#include "storage/firewire_guid.h"

namespace tunewell::cli {

namespace {

void PrintJson(const OwnedTracks& tracks) {
  std::string out = "[";
  bool first = true;
  for (const auto& track : tracks) {
    out += first ? "\n  {" : ",\n  {";
    first = false;
    out += "\"id\": " + std::to_string(track->trackId);
    for (const auto& [name, text] :
         {std::pair{"title", &track->title}, std::pair{"artist", &track->artist},
          std::pair{"album", &track->album}, std::pair{"genre", &track->genre},
          std::pair{"composer", &track->composer}}) {
      out += std::string(", \"") + name + "\": " + JsonString(Utf16ToUtf8(*text));
    }
    out += ", \"trackNumber\": " + std::to_string(track->trackNumber);
    out += ", \"position\": " + std::to_string(track->position);
    out += ", \"path\": " + JsonString(Utf16ToUtf8(track->path)) + "}";
  }
  out += first ? "]\n" : "\n]\n";
  std::fputs(out.c_str(), stdout);
}

// For a signed database: the kind of iPod, and the GUID that sync and remove would sign with.
void PrintSigning(Env& env, IPodDatabase& ipod) {
  if (!ipod.itunesDb().mustSign()) return;
  FoundGuid found;
  const std::string guid =
      FindFireWireGuid(env, ipod.root(), {}, &found).ok()
          ? "FireWire GUID " + found.hex + " from " + found.source
          : "no FireWire GUID found (sync and remove need --firewire-guid HEX)";
  std::printf("iPod classic or nano 3rd generation (signed database): %s\n", guid.c_str());
}

}  // namespace

int RunList(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  if (auto exit = ParseCommandLine(args, {.command = "list", .valued = {"ipod"}, .flags = {"json"}},
                                   &parsed)) {
    return *exit;
  }
  const std::optional<std::string> root = IPodRootOf(env, parsed);
  if (!root) return kExitUsage;
  IPodDatabase ipod(env, *root);
  OwnedTracks tracks;
  const Status s = ipod.ReadTrackList(&tracks);
  if (!s.ok()) {
    PrintError("cannot read the iPod's database: " + s.ToString());
    return kExitUnusable;
  }
  if (parsed.flags.count("json")) {
    PrintJson(tracks);
  } else {
    PrintSigning(env, ipod);
    PrintContentsTree(tracks);
  }
  return kExitDone;
}

}  // namespace tunewell::cli
