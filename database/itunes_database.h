#pragma once

#include <optional>
#include <string>

#include "database/database_layout.h"
#include "database/hash58.h"
#include "database/track_list.h"
#include "platform/env.h"
#include "platform/replace_file.h"

namespace tunewell {

// iTunesDB in memory: the file's image exactly as read, and the tracks parsed from it.
class ITunesDatabase {
 public:
  explicit ITunesDatabase(Env& env) : env_(&env) {}

  ITunesDatabase(const ITunesDatabase&) = delete;
  ITunesDatabase& operator=(const ITunesDatabase&) = delete;

  // Reads and parses the file at `path`; with `drop_duplicates`, removes from `candidates`
  // every track the database already holds. NotFound when the file is missing (or empty: it
  // holds no database either), Corruption naming the offset when it cannot be parsed; the
  // database is then empty and nothing is dropped.
  Status Load(const std::string& path, TrackArray* candidates, bool drop_duplicates);

  // All tracks of the file at `path`, sorted for display: artist, album, track number, title.
  // The caller owns them; nothing is kept here.
  Status ReadTrackList(const std::string& path, OwnedTracks* tracks);

  // Writes the loaded database beside `path` with `added` appended (each gets its trackId and
  // position here), flushed, read back and checked, not yet in place: StagedFile::Commit puts
  // it there, keeping the previous file as "<path>.bak". On any failure nothing is left behind.
  // Refused, with nothing touched, when no database was loaded or its layout is not one this
  // writer rewrites.
  Status StageAdding(const std::string& path, const TrackArray& added, StagedFile* staged);

  // The same with the tracks whose trackId is that of a `removed` track left out.
  Status StageRemoving(const std::string& path, const TrackArray& removed, StagedFile* staged);

  // True once Load has parsed an image.
  bool loaded() const { return loaded_; }
  const TrackList& trackList() const { return trackList_; }
  TrackList& trackList() { return trackList_; }
  const std::string& image() const { return image_; }
  const DatabaseLayout& layout() const { return layout_; }
  // Ok when the loaded image has the layout the writer rewrites; otherwise why not.
  const Status& writable() const { return writable_; }
  // The loaded file is signed (scheme 1): every file written from it is signed under the key
  // SetSigningKey gave, and refused without one.
  bool mustSign() const { return scheme_ == kHash58Scheme; }
  void SetSigningKey(const Hash58Key& key) { key_ = key; }

  uint32_t databaseHeaderLength() const { return layout_.header_length; }
  uint32_t trackDatasetHeaderLength() const { return layout_.track_dataset.header_length; }
  uint32_t trackListHeaderLength() const { return layout_.track_list_header_length; }

 private:
  // The rewrite behind both: `added` appended, tracks with the ids of `removed` left out.
  Status Rewrite(const std::string& path, const TrackArray& added, const TrackArray& removed,
                 StagedFile* staged);

  Env* env_;
  TrackList trackList_;
  std::string image_;
  DatabaseLayout layout_;
  bool loaded_ = false;
  // The three-dataset layout, rewritten as it always was; any other is updated record by record.
  bool canonical_ = false;
  uint16_t scheme_ = 0;
  std::optional<Hash58Key> key_;
  Status writable_ = Status::Refused("no database has been loaded");
};

// Reads the image at `path` into `image` and parses layout and tracks (tracks in file order).
Status ParseDatabaseFile(Env& env, const std::string& path, std::string* image,
                         DatabaseLayout* layout, OwnedTracks* tracks);

}  // namespace tunewell
