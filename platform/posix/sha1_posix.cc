#include <nettle/sha1.h>

#include "platform/sha1.h"

namespace tunewell {

Status Sha1(std::span<const std::string_view> parts, Sha1Digest* digest) {
  sha1_ctx context;
  sha1_init(&context);
  for (std::string_view part : parts) {
    sha1_update(&context, part.size(), reinterpret_cast<const uint8_t*>(part.data()));
  }
  sha1_digest(&context, digest->size(), digest->data());
  return Status::Ok();
}

}  // namespace tunewell
