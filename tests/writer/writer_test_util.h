#pragma once

// Shared set-up for the writer's tests: an iPod folder on disk holding a database that the
// production writer grew from an empty one.

#include <filesystem>
#include <string>

#include "database/empty_database.h"
#include "database/itunes_database.h"
#include "database/shuffle_database.h"
#include "platform/env.h"
#include "track/track_info.h"

namespace tunewell::testing {

inline TrackInfo MakeTrack(std::u16string title, std::u16string artist, std::u16string album,
                           int32_t number = 0) {
  TrackInfo t;
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.trackNumber = number;
  t.kind = std::u16string(kMpegAudioFileKind);
  t.path = u":iPod_Control:Music:F00:" + t.title.substr(0, 4) + u".mp3";
  return t;
}

class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ =
        std::filesystem::temp_directory_path() /
        ("tunewell-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + std::to_string(counter++) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Stage and commit in one, as the iPod's save does for each of its files.
inline Status SaveAdding(ITunesDatabase& db, const std::string& path, const TrackArray& tracks) {
  StagedFile staged;
  RETURN_IF_ERROR(db.StageAdding(path, tracks, &staged));
  return staged.Commit(path + ".bak");
}
inline Status SaveRemoving(ITunesDatabase& db, const std::string& path, const TrackArray& tracks) {
  StagedFile staged;
  RETURN_IF_ERROR(db.StageRemoving(path, tracks, &staged));
  return staged.Commit(path + ".bak");
}
inline Status SaveAdding(ShuffleDatabase& sd, const std::string& path, const TrackArray& tracks) {
  StagedFile staged;
  RETURN_IF_ERROR(sd.StageAdding(path, tracks, &staged));
  return staged.Commit("");
}
inline Status SaveRemoving(ShuffleDatabase& sd, const std::string& path, const TrackArray& tracks) {
  StagedFile staged;
  RETURN_IF_ERROR(sd.StageRemoving(path, tracks, &staged));
  return staged.Commit("");
}

inline std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (!Env::Default().ReadFile(path, &bytes).ok()) return "<missing>";
  return bytes;
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(Env::Default().NewWritableFile(path, false, &file).ok());
  ASSERT_TRUE(file->Append(bytes).ok());
  ASSERT_TRUE(file->Close().ok());
}

}  // namespace tunewell::testing
