#pragma once

#include "track/track_info.h"

namespace tunewell::cli {

// Prints the iPod contents tree (Music > artist > album > track, each track with its id) of
// `tracks`, which are in display order, to stdout.
void PrintContentsTree(const OwnedTracks& tracks);

}  // namespace tunewell::cli
