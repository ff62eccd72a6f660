#include "database/shuffle_database.h"

#include <algorithm>

#include "database/shuffle_layout.h"
#include "platform/collation.h"
#include "platform/large_buffer.h"
#include "platform/replace_file.h"

namespace tunewell {

Status ShuffleDatabase::Load(const std::string& path) {
  loaded_ = false;
  count_ = 0;
  // With room for the entries a sync appends, so that adding them moves no bytes.
  uint64_t size = 0;
  image_.clear();
  if (env_->FileSize(path, &size).ok()) {
    ReserveLargeBuffer(&image_, size + std::max<uint64_t>(size / 4, 1024 * sd::kEntryLength));
  }
  RETURN_IF_ERROR(env_->ReadFile(path, &image_));
  if (image_.empty()) return Status::Ok();
  Status s = CheckShuffleImage(image_).Prefixed(path);
  if (!s.ok()) {
    image_.clear();
    return s;
  }
  count_ = static_cast<int32_t>(ShuffleEntryCount(image_));
  loaded_ = true;
  return Status::Ok();
}

Status ShuffleDatabase::StageAdding(const std::string& path, const TrackArray& added,
                                    StagedFile* staged) {
  if (!loaded_) return Status::NotFound(path + ": the iPod has no shuffle database");
  if (count_ + added.size() > sd::kMaxEntries) {
    return Status::Refused(path + ": too many entries; nothing was written");
  }
  // The new file is the image as read with entries appended: they are built on its end and cut
  // off again afterwards, so that tens of megabytes of entries are not copied once more.
  const size_t size = image_.size();
  uint32_t count = static_cast<uint32_t>(count_);
  Status s;
  for (const TrackInfo* track : added) {
    std::string entry;
    s = BuildShuffleEntry(track->path, &entry).Prefixed(path + ": nothing was written");
    if (!s.ok()) break;
    image_ += entry;
    ++count;
  }
  if (s.ok()) {
    SetShuffleEntryCount(&image_, count);
    s = StagedFile::Stage(*env_, path, image_, CheckShuffleImage, staged);
  }
  image_.resize(size);
  SetShuffleEntryCount(&image_, static_cast<uint32_t>(count_));
  return s;
}

std::string_view ShuffleDatabase::Entry(int32_t i) const {
  return std::string_view(image_).substr(sd::kHeaderLength + sd::kEntryLength * i,
                                         sd::kEntryLength);
}

std::vector<std::u16string> ShuffleDatabase::Names() const {
  std::vector<std::u16string> names;
  for (int32_t i = 0; i < count_; ++i) {
    names.push_back(ShuffleEntryName(Entry(i)));
  }
  return names;
}

Status ShuffleDatabase::StageRemoving(const std::string& path, const TrackArray& removed,
                                      StagedFile* staged) {
  if (!loaded_) return Status::NotFound(path + ": the iPod has no shuffle database");
  std::string out(image_.data(), sd::kHeaderLength);
  uint32_t count = 0;
  for (int32_t i = 0; i < count_; ++i) {
    const std::string_view entry = Entry(i);
    const std::u16string name = ShuffleEntryName(entry);
    bool gone = false;
    for (const TrackInfo* track : removed) {
      if (CompareText(name, track->path) == 0) {
        gone = true;
        break;
      }
    }
    if (gone) continue;
    out.append(entry);
    ++count;
  }
  // The count is what was actually written, whatever the list held.
  SetShuffleEntryCount(&out, count);
  return StagedFile::Stage(*env_, path, out, CheckShuffleImage, staged);
}

}  // namespace tunewell
