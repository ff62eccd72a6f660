#include "database/record_builders.h"

#include <gtest/gtest.h>

#include "database/coding.h"

namespace tunewell {
namespace {

uint32_t U32(const std::string& bytes, size_t offset) {
  return DecodeFixed32(bytes.data() + offset);
}
uint8_t U8(const std::string& bytes, size_t offset) { return static_cast<uint8_t>(bytes[offset]); }

TEST(TrackRecordTest, HeaderFieldsOfANewTrack) {
  TrackInfo t;
  t.title = u"ab";
  t.path = u":x";
  t.trackId = 501;
  t.isVbr = true;
  t.rating = 3;
  t.fileSize = 4000000;
  t.duration = 0.9999;
  t.trackNumber = 7;
  t.year = 2004;
  t.bitrate = 127999;
  t.hasLyrics = true;
  const std::string h = BuildTrackHeader(t, 0x0102030405060708ull);
  ASSERT_EQ(h.size(), 244u);
  EXPECT_EQ(h.substr(0, 4), "mhit");
  EXPECT_EQ(U32(h, 4), 244u);
  EXPECT_EQ(U32(h, 8), 244u + 40 + 4 + 40 + 4);
  EXPECT_EQ(U32(h, 12), 2u);
  EXPECT_EQ(U32(h, 16), 501u);
  EXPECT_EQ(U32(h, 20), 1u);
  EXPECT_EQ(h.substr(24, 4), std::string("\x20\x33\x50\x4D", 4));
  EXPECT_EQ(U8(h, 28), 1);
  EXPECT_EQ(U8(h, 29), 1);
  EXPECT_EQ(U8(h, 31), 60);
  EXPECT_EQ(U32(h, 36), 4000000u);
  EXPECT_EQ(U32(h, 40), 999u);  // truncated, not rounded
  EXPECT_EQ(U32(h, 44), 7u);
  EXPECT_EQ(U32(h, 52), 2004u);
  EXPECT_EQ(U32(h, 56), 127u);
  EXPECT_EQ(DecodeFixed64(h.data() + 112), 0x0102030405060708ull);
  EXPECT_EQ(DecodeFixed16(h.data() + 126), 0xFFFFu);
  EXPECT_EQ(DecodeFixed16(h.data() + 144), 12u);
  EXPECT_EQ(DecodeFixed64(h.data() + 168), 0x0102030405060708ull);
  EXPECT_EQ(U8(h, 176), 1);
  EXPECT_EQ(U32(h, 208), 1u);
  // Every byte not named above is zero: no dates, play counts or sample rate.
  for (size_t i : {32, 48, 60, 100, 120, 128, 150, 180, 212, 240}) EXPECT_EQ(U8(h, i), 0) << i;
}

TEST(TrackRecordTest, FlagsAndRoundingAtTheirLowerEdges) {
  TrackInfo t;
  t.duration = 0.0004;
  t.bitrate = 128000;
  const std::string h = BuildTrackHeader(t, 1);
  EXPECT_EQ(U8(h, 28), 0);
  EXPECT_EQ(U8(h, 29), 1);
  EXPECT_EQ(U8(h, 31), 0);
  EXPECT_EQ(U32(h, 40), 0u);
  EXPECT_EQ(U32(h, 56), 128u);
  EXPECT_EQ(U8(h, 176), 0);
}

TEST(TrackRecordTest, StringRecordsFollowInTheirOrderAndSkipEmptyTexts) {
  TrackInfo t;
  t.title = u"T";
  t.artist = u"A";
  t.composer = u"C";
  t.album = u"L";
  t.genre = u"G";
  t.kind = u"K";
  t.path = u"P";
  std::string record;
  AppendTrackRecord(t, 1, &record);
  ASSERT_EQ(record.size(), TrackRecordLength(t));
  ASSERT_EQ(record.size(), 244u + 7 * 42);
  const uint32_t expected_types[] = {1, 4, 12, 3, 5, 6, 2};
  for (size_t i = 0; i < 7; ++i) {
    const size_t at = 244 + 42 * i;
    EXPECT_EQ(record.substr(at, 4), "mhod");
    EXPECT_EQ(U32(record, at + 12), expected_types[i]);
  }
  TrackInfo empty;
  record.clear();
  AppendTrackRecord(empty, 1, &record);
  EXPECT_EQ(record.size(), 244u);
  EXPECT_EQ(U32(record, 12), 0u);
}

TEST(StringRecordTest, LayoutAndWideCharacters) {
  const std::string r = BuildStringRecord(u"a\u20AC", 4);
  ASSERT_EQ(r.size(), 44u);
  EXPECT_EQ(r.substr(0, 4), "mhod");
  EXPECT_EQ(U32(r, 4), 24u);
  EXPECT_EQ(U32(r, 8), 44u);
  EXPECT_EQ(U32(r, 12), 4u);
  EXPECT_EQ(U32(r, 24), 1u);
  EXPECT_EQ(U32(r, 28), 4u);
  EXPECT_EQ(U32(r, 32), 1u);
  EXPECT_EQ(r.substr(40), std::string("a\0\xAC\x20", 4));
  EXPECT_TRUE(BuildStringRecord(u"", 1).empty());
}

TEST(SortIndexRecordTest, LayoutWithAndWithoutEntries) {
  const std::string none = BuildSortIndexRecord(SortType::kComposer, {});
  ASSERT_EQ(none.size(), 72u);
  EXPECT_EQ(U32(none, 8), 72u);
  EXPECT_EQ(U32(none, 12), 52u);
  EXPECT_EQ(U32(none, 24), 18u);
  EXPECT_EQ(U32(none, 28), 0u);
  const std::string four = BuildSortIndexRecord(SortType::kArtist, {3, 0, 2, 1});
  ASSERT_EQ(four.size(), 88u);
  EXPECT_EQ(U32(four, 24), 5u);
  EXPECT_EQ(U32(four, 72), 3u);
  EXPECT_EQ(U32(four, 84), 1u);
}

TEST(PlaylistItemTest, LayoutWithPositionRecord) {
  const std::string item = BuildPlaylistItem(77, 12);
  ASSERT_EQ(item.size(), 120u);
  EXPECT_EQ(item.substr(0, 4), "mhip");
  EXPECT_EQ(U32(item, 4), 76u);
  EXPECT_EQ(U32(item, 8), 120u);
  EXPECT_EQ(U32(item, 12), 1u);
  EXPECT_EQ(U32(item, 20), 526u);
  EXPECT_EQ(U32(item, 24), 77u);
  EXPECT_EQ(item.substr(76, 4), "mhod");
  EXPECT_EQ(U32(item, 80), 24u);
  EXPECT_EQ(U32(item, 84), 44u);
  EXPECT_EQ(U32(item, 88), 100u);
  EXPECT_EQ(U32(item, 100), 12u);
}

}  // namespace
}  // namespace tunewell
