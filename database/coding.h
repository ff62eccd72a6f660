#pragma once

// The byte codecs of the iPod's files, named for what they read and write. iTunesDB is
// little-endian throughout (Fixed16/32/64); iTunesSD is big-endian with 24-bit fields (Big24),
// except for its UTF-16LE names. Each REQUIRES that its bytes lie inside the buffer.

#include <cstdint>
#include <string>

namespace tunewell {

// Little-endian 16-bit value at `p`. REQUIRES: 2 readable bytes.
inline uint16_t DecodeFixed16(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

// Little-endian 32-bit value at `p`. REQUIRES: 4 readable bytes.
inline uint32_t DecodeFixed32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

// Little-endian 64-bit value at `p`. REQUIRES: 8 readable bytes.
inline uint64_t DecodeFixed64(const char* p) {
  return uint64_t{DecodeFixed32(p)} | (uint64_t{DecodeFixed32(p + 4)} << 32);
}

// Big-endian 24-bit value at `p`. REQUIRES: 3 readable bytes.
inline uint32_t DecodeBig24(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | uint32_t{b[2]};
}

// REQUIRES: 2 writable bytes.
inline void EncodeFixed16(char* p, uint16_t value) {
  p[0] = static_cast<char>(value & 0xFF);
  p[1] = static_cast<char>(value >> 8);
}

// REQUIRES: 4 writable bytes.
inline void EncodeFixed32(char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// REQUIRES: 8 writable bytes.
inline void EncodeFixed64(char* p, uint64_t value) {
  EncodeFixed32(p, static_cast<uint32_t>(value));
  EncodeFixed32(p + 4, static_cast<uint32_t>(value >> 32));
}

// Writes the low 24 bits of `value`. REQUIRES: 3 writable bytes.
inline void EncodeBig24(char* p, uint32_t value) {
  p[0] = static_cast<char>((value >> 16) & 0xFF);
  p[1] = static_cast<char>((value >> 8) & 0xFF);
  p[2] = static_cast<char>(value & 0xFF);
}

// Little-endian fields of a record being built. REQUIRES: offset + width <= record->size().
inline void PutFixed16(std::string* record, size_t offset, uint16_t value) {
  EncodeFixed16(record->data() + offset, value);
}
inline void PutFixed32(std::string* record, size_t offset, uint32_t value) {
  EncodeFixed32(record->data() + offset, value);
}
inline void PutFixed64(std::string* record, size_t offset, uint64_t value) {
  EncodeFixed64(record->data() + offset, value);
}

}  // namespace tunewell
