#include "database/image_view.h"

#include <string>

namespace tunewell {

Status CorruptionAt(uint64_t offset, const std::string& what, const std::string& problem) {
  return Status::Corruption(what + " at offset " + std::to_string(offset) + ": " + problem);
}

Status ImageView::RangeError(uint64_t offset, uint64_t length, const char* what) const {
  return CorruptionAt(offset, what,
                      std::to_string(length) + " bytes run past the end of the " +
                          std::to_string(bytes_.size()) + "-byte file");
}

Status ImageView::TagError(uint64_t offset, std::string_view tag) const {
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
