#pragma once

#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/replace_file.h"
#include "track/track_info.h"

namespace tunewell {

// iTunesSD: an 18-byte header whose first three bytes count the entries, then one 558-byte
// entry per audio file. Big-endian, 24-bit fields. Kept as read and rewritten by copying.
class ShuffleDatabase {
 public:
  explicit ShuffleDatabase(Env& env) : env_(&env) {}

  ShuffleDatabase(const ShuffleDatabase&) = delete;
  ShuffleDatabase& operator=(const ShuffleDatabase&) = delete;

  // Reads the file. NotFound when it is missing; ok but not loaded() when it is empty (the
  // iPod has no shuffle database then); Corruption when its count does not match its size.
  Status Load(const std::string& path);

  // The file written beside `path` with an entry appended for each of `added`, checked, not yet
  // in place (StagedFile::Commit puts it there). NotFound, touching nothing, when nothing was
  // loaded; Refused when the entries would outgrow the 24-bit count.
  Status StageAdding(const std::string& path, const TrackArray& added, StagedFile* staged);

  // The same with the entries whose name equals (CompareText) a `removed` track's path left
  // out. The count written is the number of entries actually written.
  Status StageRemoving(const std::string& path, const TrackArray& removed, StagedFile* staged);

  // The file name of each entry as read, in order.
  std::vector<std::u16string> Names() const;

  bool loaded() const { return loaded_; }
  const std::string& image() const { return image_; }
  // The entry count as read.
  int32_t count() const { return count_; }

 private:
  // The i-th entry of the image as read.
  std::string_view Entry(int32_t i) const;

  Env* env_;
  std::string image_;
  int32_t count_ = 0;
  bool loaded_ = false;
};

}  // namespace tunewell
