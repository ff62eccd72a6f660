#include <gtest/gtest.h>

#include "sync/removal_run.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

TEST(MatchTracksTest, KeepsOnlyRecordsThatAreStillTheChosenTracks) {
  std::vector<TrackInfo> now = {fixture::MakeTrack(u"a", u"A", u"X"),
                                fixture::MakeTrack(u"b", u"A", u"X"),
                                fixture::MakeTrack(u"c", u"A", u"X")};
  for (size_t i = 0; i < now.size(); ++i) now[i].trackId = static_cast<uint32_t>(i + 1);
  std::vector<TrackInfo> chosen = now;
  chosen[1].title = u"other";  // id 2 now names another track
  chosen[2].trackId = 9;
  EXPECT_EQ(MatchTracks(fixture::ArrayOf(now), chosen), TrackArray{&now[0]});
}

}  // namespace
}  // namespace tunewell
