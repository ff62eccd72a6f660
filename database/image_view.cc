#include "database/image_view.h"

#include <string>

#include "database/coding.h"

namespace tunewell {

Status CorruptionAt(uint64_t offset, const std::string& what, const std::string& problem) {
  return Status::Corruption(what + " at offset " + std::to_string(offset) + ": " + problem);
}

Status ImageView::CheckRange(uint64_t offset, uint64_t length, const char* what) const {
  if (Fits(offset, length)) return Status::Ok();
  return CorruptionAt(offset, what,
                      std::to_string(length) + " bytes run past the end of the " +
                          std::to_string(bytes_.size()) + "-byte file");
}

Status ImageView::U32(uint64_t offset, const char* what, uint32_t* value) const {
  Status s = CheckRange(offset, 4, what);
  if (!s.ok()) return s;
  *value = DecodeFixed32(bytes_.data() + offset);
  return Status::Ok();
}

Status ImageView::U64(uint64_t offset, const char* what, uint64_t* value) const {
  Status s = CheckRange(offset, 8, what);
  if (!s.ok()) return s;
  *value = DecodeFixed64(bytes_.data() + offset);
  return Status::Ok();
}

Status ImageView::ExpectTag(uint64_t offset, std::string_view tag) const {
  if (HasTag(offset, tag)) return Status::Ok();
  if (!Fits(offset, tag.size())) {
    return CorruptionAt(offset, "\"" + std::string(tag) + "\" record",
                        "runs past the end of the file");
  }
  std::string found;
  for (char c : bytes_.substr(offset, tag.size())) {
    found += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return CorruptionAt(offset, "\"" + std::string(tag) + "\" record", "found \"" + found + "\"");
}

}  // namespace tunewell
