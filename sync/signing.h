#pragma once

#include <string>

#include "database/ipod_database.h"
#include "storage/firewire_guid.h"

namespace tunewell {

// For an iPod whose loaded iTunesDB is signed: finds its FireWire GUID and gives the database the
// key to sign with, before anything is changed. Ok, doing nothing, for an unsigned database.
// Refused, saying how to give the GUID, when there is none. `note` says which kind of iPod and
// which source ("" for an unsigned database).
Status PrepareSigning(IPodDatabase& ipod, const GuidSources& sources, std::string* note);

}  // namespace tunewell
