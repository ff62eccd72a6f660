#pragma once

// The signature that the iPod classic and the nano of the same years check in an iTunesDB
// header (signing scheme 1, "hash58"): an HMAC-SHA1 over the whole file, with the database id,
// the scheme's neighbour field and the signature itself blanked, under a key derived from the
// iPod's FireWire GUID. Scheme 2 and later need material only the vendor's software makes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sha1.h"
#include "platform/status.h"

namespace tunewell {

inline constexpr uint16_t kHash58Scheme = 1;

using FireWireGuid = std::array<uint8_t, 8>;
using Hash58Key = Sha1Digest;

// The bytes of a GUID written as exactly 16 hexadecimal digits, in the order they are written;
// false for anything else.
bool ParseFireWireGuid(std::string_view hex, FireWireGuid* guid);

Status DeriveHash58Key(const FireWireGuid& guid, Hash58Key* key);

// The signing scheme the header of `image` names; 0 when it is too short to name one.
uint16_t SigningScheme(std::string_view image);

// Sets scheme 1 and the signature of the final `image` in its header. Refused when the header has
// no room for the signature.
Status SignHash58(const Hash58Key& key, std::string* image);

// Ok when `image` carries scheme 1 and its own signature under `key`; Corruption otherwise.
Status CheckHash58(const Hash58Key& key, std::string_view image);

}  // namespace tunewell
