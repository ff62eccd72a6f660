#pragma once

#include <string>

namespace tunewell {

// An iTunesDB that holds no track, in the three-dataset layout the writer rewrites: a library
// playlist with its title record and five empty sort indexes in each playlist dataset.
std::string BuildEmptyITunesDb();

// An iTunesSD that holds no entry.
std::string BuildEmptyITunesSd();

}  // namespace tunewell
