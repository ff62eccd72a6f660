// Placeholder until the writer lands.
#include "database/empty_database.h"
#include "database/ipod_database.h"

namespace tunewell {
Status ITunesDatabase::Save(const std::string&, const TrackArray&, bool) {
  return Status::Refused("not yet");
}
Status ShuffleDatabase::Load(const std::string&) { return Status::NotFound("not yet"); }
Status ShuffleDatabase::Save(const std::string&, const TrackArray&, bool) {
  return Status::Refused("not yet");
}
Status IPodDatabase::SaveAfterSync(const TrackArray&) { return Status::Refused("not yet"); }
std::string BuildEmptyITunesDb() { return {}; }
std::string BuildEmptyITunesSd() { return {}; }
}  // namespace tunewell
