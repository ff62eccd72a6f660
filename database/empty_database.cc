#include "database/empty_database.h"

#include "database/byte_order.h"
#include "database/database_layout.h"
#include "database/record_builders.h"
#include "database/track_reader.h"

namespace tunewell {

namespace {

constexpr uint32_t kDatabaseHeaderLength = 104;
constexpr uint32_t kDatasetHeaderLength = 96;
constexpr uint32_t kListHeaderLength = 92;
constexpr uint32_t kPlaylistHeaderLength = 108;
// The database version of the iTunes generation whose layout this is.
constexpr uint32_t kDatabaseVersion = 0x0c;
constexpr std::u16string_view kLibraryName = u"iPod";

std::string Header(const char* tag, uint32_t length) {
  std::string h(length, '\0');
  h.replace(0, 4, tag);
  SetU32(&h, 4, length);
  return h;
}

std::string PlaylistDataset(uint32_t type) {
  std::string library = Header("mhyp", kPlaylistHeaderLength);
  SetU32(&library, 12, 6);  // title record and five sort indexes
  SetU32(&library, 16, 0);  // items
  SetU32(&library, 20, 1);  // the library (master) playlist
  WriteUInt64LE(library.data() + 28, 0x5457'0000'0000'0001);
  library += BuildStringRecord(kLibraryName, kTitleString);
  for (SortType sort : kSortIndexOrder) library += BuildSortIndexRecord(sort, {});
  SetU32(&library, 8, static_cast<uint32_t>(library.size()));

  std::string list = Header("mhlp", kListHeaderLength);
  SetU32(&list, 8, 1);
  std::string dataset = Header("mhsd", kDatasetHeaderLength);
  SetU32(&dataset, 12, type);
  dataset += list + library;
  SetU32(&dataset, 8, static_cast<uint32_t>(dataset.size()));
  return dataset;
}

}  // namespace

std::string BuildEmptyITunesDb() {
  std::string tracks = Header("mhsd", kDatasetHeaderLength);
  SetU32(&tracks, 12, kTrackDatasetType);
  tracks += Header("mhlt", kListHeaderLength);  // no tracks
  SetU32(&tracks, 8, static_cast<uint32_t>(tracks.size()));

  std::string db = Header("mhbd", kDatabaseHeaderLength);
  SetU32(&db, 12, 1);
  SetU32(&db, 16, kDatabaseVersion);
  SetU32(&db, 20, 3);  // datasets
  db += tracks + PlaylistDataset(kPlaylistDatasetType) + PlaylistDataset(kPodcastDatasetType);
  SetU32(&db, 8, static_cast<uint32_t>(db.size()));
  return db;
}

std::string BuildEmptyITunesSd() {
  std::string sd(18, '\0');
  WriteUInt(sd.data() + 3, 0x010800, 3, false);
  WriteUInt(sd.data() + 6, 18, 3, false);
  return sd;
}

}  // namespace tunewell
