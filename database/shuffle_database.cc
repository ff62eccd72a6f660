#include "database/shuffle_database.h"

#include "database/byte_order.h"
#include "database/shuffle_layout.h"
#include "platform/collation.h"
#include "platform/replace_file.h"

namespace tunewell {

Status ShuffleDatabase::Load(const std::string& path) {
  loaded_ = false;
  count_ = 0;
  RETURN_IF_ERROR(env_->ReadFile(path, &image_));
  if (image_.empty()) return Status::Ok();
  Status s = CheckShuffleImage(image_).Prefixed(path);
  if (!s.ok()) {
    image_.clear();
    return s;
  }
  count_ = static_cast<int32_t>(ReadUInt(image_.data(), 3, false));
  loaded_ = true;
  return Status::Ok();
}

Status ShuffleDatabase::Save(const std::string& path, const TrackArray& tracks, bool adding) {
  StagedFile staged;
  RETURN_IF_ERROR(Stage(path, tracks, adding, &staged));
  return staged.Commit("");
}

Status ShuffleDatabase::Stage(const std::string& path, const TrackArray& tracks, bool adding,
                              StagedFile* staged) {
  if (!loaded_) return Status::NotFound(path + ": the iPod has no shuffle database");
  std::string out(image_.data(), kShuffleHeaderLength);
  uint32_t count = 0;
  if (adding) {
    if (count_ + tracks.size() > kShuffleMaxEntries) {
      return Status::Refused(path + ": too many entries; nothing was written");
    }
    out.append(image_, kShuffleHeaderLength, std::string::npos);
    count = static_cast<uint32_t>(count_);
    for (const TrackInfo* track : tracks) {
      std::string entry;
      RETURN_IF_ERROR(
          BuildShuffleEntry(track->path, &entry).Prefixed(path + ": nothing was written"));
      out += entry;
      ++count;
    }
  } else {
    for (int32_t i = 0; i < count_; ++i) {
      const std::string_view entry(image_.data() + kShuffleHeaderLength + kShuffleEntryLength * i,
                                   kShuffleEntryLength);
      const std::u16string name = ShuffleEntryName(entry);
      bool removed = false;
      for (const TrackInfo* track : tracks) {
        if (CompareText(name, track->path) == 0) {
          removed = true;
          break;
        }
      }
      if (removed) continue;
      out.append(entry);
      ++count;
    }
  }
  // The count is what was actually written, whatever the list held.
  WriteUInt(out.data(), count, 3, false);
  return StagedFile::Stage(*env_, path, out, CheckShuffleImage, staged);
}

}  // namespace tunewell
