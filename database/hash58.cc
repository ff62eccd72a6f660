#include "database/hash58.h"

#include <numeric>

#include "database/coding.h"
#include "database/itunesdb_records.h"

namespace tunewell {

namespace {

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, the field of AES.
constexpr uint8_t FieldMultiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (; b != 0; b >>= 1) {
    if (b & 1) product ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
  }
  return product;
}

constexpr uint8_t RotateLeft(uint8_t b, int n) {
  return static_cast<uint8_t>((b << n) | (b >> (8 - n)));
}

struct SBoxes {
  std::array<uint8_t, 256> forward{};
  std::array<uint8_t, 256> inverse{};
};

// The AES S-boxes from their definition: the multiplicative inverse, then the affine map.
constexpr SBoxes MakeSBoxes() {
  SBoxes boxes;
  for (int x = 0; x < 256; ++x) {
    uint8_t inverse = 0;
    for (int y = 1; y < 256 && x != 0; ++y) {
      if (FieldMultiply(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) {
        inverse = static_cast<uint8_t>(y);
        break;
      }
    }
    const uint8_t s = inverse ^ RotateLeft(inverse, 1) ^ RotateLeft(inverse, 2) ^
                      RotateLeft(inverse, 3) ^ RotateLeft(inverse, 4) ^ 0x63;
    boxes.forward[x] = s;
    boxes.inverse[s] = static_cast<uint8_t>(x);
  }
  return boxes;
}

constexpr SBoxes kSBoxes = MakeSBoxes();
// Corners of FIPS-197's figures 7 and 14.
static_assert(kSBoxes.forward[0x00] == 0x63 && kSBoxes.forward[0x53] == 0xED &&
              kSBoxes.forward[0xFF] == 0x16 && kSBoxes.inverse[0x00] == 0x52 &&
              kSBoxes.inverse[0xFF] == 0x7D);

constexpr uint8_t kKeyPrefix[18] = {0x67, 0x23, 0xFE, 0x30, 0x45, 0x33, 0xF8, 0x90, 0x99,
                                    0x21, 0x07, 0xC1, 0xD0, 0x12, 0xB2, 0xA1, 0x07, 0x81};

std::string_view Bytes(const uint8_t* data, size_t n) {
  return {reinterpret_cast<const char*>(data), n};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The HMAC over `image` with the fields the signature leaves out blanked and scheme 1 set.
Status Signature(const Hash58Key& key, std::string_view image, Sha1Digest* mac) {
  static constexpr char kZeros[20] = {};
  static constexpr char kScheme[2] = {kHash58Scheme, 0};
  const std::string_view parts[] = {
      image.substr(0, mhbd::kDatabaseId),
      {kZeros, 8},
      image.substr(mhbd::kDatabaseId + 8, mhbd::kChecksumScheme - mhbd::kDatabaseId - 8),
      {kScheme, 2},
      {kZeros, mhbd::kUnsignedLength},
      image.substr(mhbd::kUnsigned + mhbd::kUnsignedLength,
                   mhbd::kSignature - mhbd::kUnsigned - mhbd::kUnsignedLength),
      {kZeros, mhbd::kSignatureLength},
      image.substr(mhbd::kSignedHeader)};
  return HmacSha1(Bytes(key.data(), key.size()), parts, mac);
}

bool HasRoom(std::string_view image) {
  return image.size() >= mhbd::kSignedHeader &&
         DecodeFixed32(image.data() + record::kHeaderLength) >= mhbd::kSignedHeader;
}

}  // namespace

bool ParseFireWireGuid(std::string_view hex, FireWireGuid* guid) {
  if (hex.size() != 2 * guid->size()) return false;
  for (size_t i = 0; i < guid->size(); ++i) {
    const int high = HexDigit(hex[2 * i]);
    const int low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*guid)[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}

Status DeriveHash58Key(const FireWireGuid& guid, Hash58Key* key) {
  uint8_t mixed[16];
  for (size_t i = 0; i < 4; ++i) {
    const unsigned a = guid[2 * i];
    const unsigned b = guid[2 * i + 1];
    const unsigned m = a == 0 || b == 0 ? 1 : std::lcm(a, b);
    const uint8_t high = static_cast<uint8_t>(m >> 8);
    const uint8_t low = static_cast<uint8_t>(m & 0xFF);
    mixed[4 * i] = kSBoxes.forward[high];
    mixed[4 * i + 1] = kSBoxes.inverse[high];
    mixed[4 * i + 2] = kSBoxes.forward[low];
    mixed[4 * i + 3] = kSBoxes.inverse[low];
  }
  const std::string_view parts[] = {Bytes(kKeyPrefix, sizeof kKeyPrefix),
                                    Bytes(mixed, sizeof mixed)};
  return Sha1(parts, key);
}

uint16_t SigningScheme(std::string_view image) {
  if (image.size() < mhbd::kChecksumScheme + 2 ||
      DecodeFixed32(image.data() + record::kHeaderLength) < mhbd::kChecksumScheme + 2) {
    return 0;
  }
  return DecodeFixed16(image.data() + mhbd::kChecksumScheme);
}

Status SignHash58(const Hash58Key& key, std::string* image) {
  if (!HasRoom(*image)) {
    return Status::Refused("the database header is too short to carry a signature");
  }
  Sha1Digest mac;
  RETURN_IF_ERROR(Signature(key, *image, &mac));
  PutFixed16(image, mhbd::kChecksumScheme, kHash58Scheme);
  image->replace(mhbd::kSignature, mac.size(), Bytes(mac.data(), mac.size()));
  return Status::Ok();
}

Status CheckHash58(const Hash58Key& key, std::string_view image) {
  if (!HasRoom(image) || SigningScheme(image) != kHash58Scheme) {
    return Status::Corruption("the database carries no signature (header at offset 0)");
  }
  Sha1Digest mac;
  RETURN_IF_ERROR(Signature(key, image, &mac));
  if (image.substr(mhbd::kSignature, mac.size()) != Bytes(mac.data(), mac.size())) {
    return Status::Corruption("the database's signature does not match its bytes (offset " +
                              std::to_string(mhbd::kSignature) + ")");
  }
  return Status::Ok();
}

}  // namespace tunewell
