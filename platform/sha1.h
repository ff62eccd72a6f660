#pragma once

// SHA-1 from the system's own library (Nettle on POSIX, CryptoAPI on Windows) and HMAC-SHA1
// (RFC 2104) over it. Parts are hashed one after the other, so a large file need not be copied
// to hash it with some fields changed.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/status.h"

namespace tunewell {

using Sha1Digest = std::array<uint8_t, 20>;

// SHA-1 of the concatenation of `parts`. Fails only when the system's provider does.
Status Sha1(std::span<const std::string_view> parts, Sha1Digest* digest);

// HMAC-SHA1 under `key` of the concatenation of `parts`.
Status HmacSha1(std::string_view key, std::span<const std::string_view> parts, Sha1Digest* mac);

}  // namespace tunewell
