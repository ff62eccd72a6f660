#pragma once

#include <cstdint>
#include <string_view>

#include "platform/status.h"

namespace tunewell {

// Checks a database image this program wrote before it may replace the iPod's file: it parses,
// has the layout the writer rewrites, holds `expected_tracks` tracks with distinct ids, every
// item names a track and carries that track's 1-based place in the track dataset, and each of
// the five sort indexes lists every place 0..N-1 exactly once.
Status VerifyWrittenDatabase(std::string_view image, uint32_t expected_tracks);

// The same for a database of another layout: it parses and may be updated again (every item
// names a track; ids, and database ids other than 0, distinct), holds `expected_tracks` tracks,
// every sort index lists every place exactly once and every jump table covers them in runs.
Status VerifyUpdatedDatabase(std::string_view image, uint32_t expected_tracks);

}  // namespace tunewell
