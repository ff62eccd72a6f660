#pragma once

// Every integer layout of the iPod's files lives here. iTunesDB is little-endian (32-bit fields,
// 64-bit database ids); iTunesSD is big-endian with 24-bit fields.

#include <cstdint>
#include <string>

namespace tunewell {

// REQUIRES: 1 <= width <= 4 and `bytes` has `width` readable bytes.
inline uint32_t ReadUInt(const char* bytes, int width, bool little_endian) {
  uint32_t value = 0;
  for (int i = 0; i < width; ++i) {
    const uint32_t byte = static_cast<uint8_t>(bytes[little_endian ? width - 1 - i : i]);
    value = (value << 8) | byte;
  }
  return value;
}

// Writes the low `width` bytes of `value`. REQUIRES: 1 <= width <= 4, `width` writable bytes.
inline void WriteUInt(char* bytes, uint32_t value, int width, bool little_endian) {
  for (int i = 0; i < width; ++i) {
    bytes[little_endian ? i : width - 1 - i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

// REQUIRES: 8 readable bytes.
inline uint64_t ReadUInt64LE(const char* bytes) {
  return uint64_t{ReadUInt(bytes, 4, true)} | (uint64_t{ReadUInt(bytes + 4, 4, true)} << 32);
}

// REQUIRES: 8 writable bytes.
inline void WriteUInt64LE(char* bytes, uint64_t value) {
  WriteUInt(bytes, static_cast<uint32_t>(value), 4, true);
  WriteUInt(bytes + 4, static_cast<uint32_t>(value >> 32), 4, true);
}

// Little-endian 32-bit field of a record being built. REQUIRES: offset + 4 <= record->size().
inline void SetU32(std::string* record, size_t offset, uint32_t value) {
  WriteUInt(record->data() + offset, value, 4, true);
}

}  // namespace tunewell
