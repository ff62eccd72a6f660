#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/status.h"

namespace tunewell {

// A read-only file image in which every read is checked against its end. Failures are
// Corruption statuses naming what was read and at which offset.
class ImageView {
 public:
  explicit ImageView(std::string_view bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  std::string_view bytes() const { return bytes_; }

  // Ok when [offset, offset + length) lies inside the image.
  bool Fits(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  Status CheckRange(uint64_t offset, uint64_t length, const char* what) const;

  // Little-endian integers.
  Status U32(uint64_t offset, const char* what, uint32_t* value) const;
  Status U64(uint64_t offset, const char* what, uint64_t* value) const;

  // Ok when the four bytes at `offset` are `tag` ("mhit", ...).
  Status ExpectTag(uint64_t offset, std::string_view tag) const;
  bool HasTag(uint64_t offset, std::string_view tag) const {
    if (!Fits(offset, tag.size())) return false;
    // Record tags are four bytes: compared as one integer, with no call per record.
    if (tag.size() == 4) {
      uint32_t found, wanted;
      std::memcpy(&found, bytes_.data() + offset, 4);
      std::memcpy(&wanted, tag.data(), 4);
      return found == wanted;
    }
    return bytes_.substr(offset, tag.size()) == tag;
  }

  // REQUIRES: Fits(offset, length).
  std::string_view Slice(uint64_t offset, uint64_t length) const {
    return bytes_.substr(offset, length);
  }

 private:
  std::string_view bytes_;
};

// "<what> at offset <offset>: <problem>"
Status CorruptionAt(uint64_t offset, const std::string& what, const std::string& problem);

}  // namespace tunewell
