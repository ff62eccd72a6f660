#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "database/coding.h"
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
  // The checks below are inline, their failures not: a parse makes millions of them.
  Status CheckRange(uint64_t offset, uint64_t length, const char* what) const {
    if (Fits(offset, length)) return Status::Ok();
    return RangeError(offset, length, what);
  }

  // Little-endian integers.
  Status U32(uint64_t offset, const char* what, uint32_t* value) const {
    if (!Fits(offset, 4)) return RangeError(offset, 4, what);
    *value = DecodeFixed32(bytes_.data() + offset);
    return Status::Ok();
  }
  Status U64(uint64_t offset, const char* what, uint64_t* value) const {
    if (!Fits(offset, 8)) return RangeError(offset, 8, what);
    *value = DecodeFixed64(bytes_.data() + offset);
    return Status::Ok();
  }

  // Ok when the four bytes at `offset` are `tag` ("mhit", ...).
  Status ExpectTag(uint64_t offset, std::string_view tag) const {
    if (HasTag(offset, tag)) return Status::Ok();
    return TagError(offset, tag);
  }
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
  Status RangeError(uint64_t offset, uint64_t length, const char* what) const;
  Status TagError(uint64_t offset, std::string_view tag) const;

  std::string_view bytes_;
};

// "<what> at offset <offset>: <problem>"
Status CorruptionAt(uint64_t offset, const std::string& what, const std::string& problem);

}  // namespace tunewell
