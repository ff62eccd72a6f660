#include "database/shuffle_layout.h"

#include "database/byte_order.h"

namespace tunewell {

Status CheckShuffleImage(std::string_view image) {
  if (image.size() < kShuffleHeaderLength) {
    return Status::Corruption("iTunesSD of " + std::to_string(image.size()) +
                              " bytes is shorter than its header");
  }
  const uint64_t count = ReadUInt(image.data(), 3, false);
  const uint64_t expected = kShuffleHeaderLength + kShuffleEntryLength * count;
  if (image.size() != expected) {
    return Status::Corruption("iTunesSD counts " + std::to_string(count) + " entries (" +
                              std::to_string(expected) + " bytes) but holds " +
                              std::to_string(image.size()) + " bytes");
  }
  for (uint64_t i = 0; i < count; ++i) {
    const size_t at = kShuffleHeaderLength + kShuffleEntryLength * i;
    if (ReadUInt(image.data() + at, 3, false) != kShuffleEntryLength) {
      return Status::Corruption("iTunesSD entry at offset " + std::to_string(at) +
                                " is not 558 bytes long");
    }
  }
  return Status::Ok();
}

Status BuildShuffleEntry(std::u16string_view location, std::string* entry) {
  if (location.size() > kShuffleNameUnits) {
    return Status::InvalidArgument("the iPod location is " + std::to_string(location.size()) +
                                   " characters long; iTunesSD holds at most 261");
  }
  std::string e(kShuffleEntryLength, '\0');
  WriteUInt(e.data(), kShuffleEntryLength, 3, false);
  WriteUInt(e.data() + 3, 0x5AA501, 3, false);
  WriteUInt(e.data() + 24, 100, 3, false);
  WriteUInt(e.data() + 27, 1, 3, false);
  WriteUInt(e.data() + 30, 512, 3, false);
  for (size_t i = 0; i < location.size(); ++i) {
    const char16_t unit = location[i] == u':' ? u'/' : location[i];
    WriteUInt(e.data() + kShuffleNameOffset + 2 * i, unit, 2, true);
  }
  e[555] = 1;
  *entry = std::move(e);
  return Status::Ok();
}

std::u16string ShuffleEntryName(std::string_view entry) {
  std::u16string name;
  for (size_t i = 0; i < kShuffleNameUnits; ++i) {
    const char16_t unit =
        static_cast<char16_t>(ReadUInt(entry.data() + kShuffleNameOffset + 2 * i, 2, true));
    if (unit == 0) break;
    name.push_back(unit == u'/' ? u':' : unit);
  }
  return name;
}

}  // namespace tunewell
