#pragma once

// The auto-sync selection: a hidden file "autoSync" in the iPod's root that names the playlists
// to sync. Each record is a playlist name (narrow text, no zero byte), a 0x00 and a 0x0A; no
// header, no count. An empty file names no playlist and stands for all of them.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tunewell {

inline constexpr char kAutoSyncFileName[] = "autoSync";
// Names come from a 260-byte buffer with its terminator.
inline constexpr size_t kMaxAutoSyncNameBytes = 259;

class AutoSyncFile {
 public:
  enum class ReadResult {
    // No file, or it cannot be opened.
    kAbsent = 0,
    // The file holds at least one byte.
    kNames = 1,
    // The file is there and empty: every playlist.
    kEmpty = 2,
  };

  explicit AutoSyncFile(Env& env) : env_(&env) {}

  AutoSyncFile(const AutoSyncFile&) = delete;
  AutoSyncFile& operator=(const AutoSyncFile&) = delete;

  // <root>autoSync; the root may come without its trailing separator.
  static std::string PathFor(std::string_view ipod_root);

  // Reads the whole file, replacing what was read before.
  ReadResult Read(const std::string& ipod_root);
  // The number of records read: the zero bytes. Bytes after the last zero byte (a record cut
  // short) make no record.
  int CountNames() const;
  // Copies the name at `*cursor` into `*name`, cut to kMaxAutoSyncNameBytes, and moves the
  // cursor past the name, its zero byte and its line feed (a line feed that is missing is not
  // skipped over, so the next name keeps its first byte). False, with nothing changed, when no
  // record starts at the cursor.
  bool NextName(std::string* name, size_t* cursor) const;
  // Every record's name, in file order.
  std::vector<std::string> Names() const;
  const std::string& data() const { return data_; }

  // Starts a new selection for the file in `ipod_root`. Nothing is written until Close, which
  // replaces the previous file whole, so a failure leaves the previous selection as it was.
  void Create(const std::string& ipod_root);
  // Adds one record; a name is cut at a zero byte and to kMaxAutoSyncNameBytes, as a reader
  // would see it. Does nothing unless created.
  void WriteName(std::string_view name);
  // Writes the records as the hidden file: a temporary file beside it, flushed, then renamed
  // over it. Ok without a write when nothing was created.
  Status Close();
  // Deletes the file; a missing file is fine.
  Status Delete(const std::string& ipod_root);

 private:
  Env* env_;
  std::string data_;
  // The selection being written; `writing_` until Close.
  bool writing_ = false;
  std::string write_path_;
  std::string pending_;
};

// Replaces the iPod's selection by `names` (an empty list: all playlists).
Status WriteAutoSyncSelection(Env& env, const std::string& ipod_root,
                              const std::vector<std::string>& names);

}  // namespace tunewell
