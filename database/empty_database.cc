#include "database/empty_database.h"

#include "database/coding.h"
#include "database/itunesdb_records.h"
#include "database/record_builders.h"
#include "database/shuffle_layout.h"
#include "database/track_reader.h"

namespace tunewell {

namespace {

constexpr std::u16string_view kLibraryName = u"iPod";
// The library playlist's id.
constexpr uint64_t kLibraryPlaylistId = 0x5457'0000'0000'0001;

std::string Header(const char* tag, uint32_t length) {
  std::string h(length, '\0');
  h.replace(record::kTag, 4, tag);
  PutFixed32(&h, record::kHeaderLength, length);
  return h;
}

std::string PlaylistDataset(uint32_t type) {
  std::string library = Header("mhyp", mhyp::kHeaderLength);
  PutFixed32(&library, mhyp::kDataCount, 6);  // title record and five sort indexes
  PutFixed32(&library, mhyp::kItemCount, 0);
  PutFixed32(&library, mhyp::kMaster, 1);
  PutFixed64(&library, mhyp::kPlaylistId, kLibraryPlaylistId);
  library += BuildStringRecord(kLibraryName, kTitleString);
  for (SortType sort : kSortIndexOrder) library += BuildSortIndexRecord(sort, {});
  PutFixed32(&library, record::kTotalLength, static_cast<uint32_t>(library.size()));

  std::string list = Header("mhlp", mhlp::kHeaderLength);
  PutFixed32(&list, mhlp::kCount, 1);
  std::string dataset = Header("mhsd", mhsd::kHeaderLength);
  PutFixed32(&dataset, mhsd::kType, type);
  dataset += list + library;
  PutFixed32(&dataset, record::kTotalLength, static_cast<uint32_t>(dataset.size()));
  return dataset;
}

}  // namespace

std::string BuildEmptyITunesDb() {
  std::string tracks = Header("mhsd", mhsd::kHeaderLength);
  PutFixed32(&tracks, mhsd::kType, mhsd::kTrackType);
  tracks += Header("mhlt", mhlt::kHeaderLength);  // no tracks
  PutFixed32(&tracks, record::kTotalLength, static_cast<uint32_t>(tracks.size()));

  std::string db = Header("mhbd", mhbd::kHeaderLength);
  PutFixed32(&db, mhbd::kUnknownOne, 1);
  PutFixed32(&db, mhbd::kVersion, mhbd::kWrittenVersion);
  PutFixed32(&db, mhbd::kDatasetCount, 3);
  db += tracks + PlaylistDataset(mhsd::kPlaylistType) + PlaylistDataset(mhsd::kPodcastType);
  PutFixed32(&db, record::kTotalLength, static_cast<uint32_t>(db.size()));
  return db;
}

std::string BuildEmptyITunesSd() {
  std::string image(sd::kHeaderLength, '\0');
  EncodeBig24(image.data() + sd::kHeaderUnknown, sd::kHeaderUnknownValue);
  EncodeBig24(image.data() + sd::kHeaderLengthField, sd::kHeaderLength);
  return image;
}

}  // namespace tunewell
