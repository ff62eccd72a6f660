#include "database/shuffle_layout.h"

#include "database/coding.h"

namespace tunewell {

Status CheckShuffleImage(std::string_view image) {
  // Later shuffles keep a tagged little-endian format under the same name. As a count of entries
  // these bytes would promise 6.4 million, which no real file holds.
  if (image.starts_with("bdhs")) {
    return Status::Refused(
        "iTunesSD is in the format of a third-generation or later iPod shuffle, which this "
        "program does not write");
  }
  if (image.size() < sd::kHeaderLength) {
    return Status::Corruption("iTunesSD of " + std::to_string(image.size()) +
                              " bytes is shorter than its header");
  }
  const uint64_t count = ShuffleEntryCount(image);
  const uint64_t expected = sd::kHeaderLength + sd::kEntryLength * count;
  if (image.size() != expected) {
    return Status::Corruption("iTunesSD counts " + std::to_string(count) + " entries (" +
                              std::to_string(expected) + " bytes) but holds " +
                              std::to_string(image.size()) + " bytes");
  }
  for (uint64_t i = 0; i < count; ++i) {
    const size_t at = sd::kHeaderLength + sd::kEntryLength * i;
    if (DecodeBig24(image.data() + at + sd::kEntryLengthField) != sd::kEntryLength) {
      return Status::Corruption("iTunesSD entry at offset " + std::to_string(at) +
                                " is not 558 bytes long");
    }
  }
  return Status::Ok();
}

uint32_t ShuffleEntryCount(std::string_view image) {
  return DecodeBig24(image.data() + sd::kEntryCount);
}

void SetShuffleEntryCount(std::string* image, uint32_t count) {
  EncodeBig24(image->data() + sd::kEntryCount, count);
}

Status BuildShuffleEntry(std::u16string_view location, std::string* entry) {
  if (location.size() > sd::kNameUnits) {
    return Status::InvalidArgument("the iPod location is " + std::to_string(location.size()) +
                                   " characters long; iTunesSD holds at most 261");
  }
  std::string e(sd::kEntryLength, '\0');
  EncodeBig24(e.data() + sd::kEntryLengthField, sd::kEntryLength);
  EncodeBig24(e.data() + sd::kEntryUnknown, 0x5AA501);
  EncodeBig24(e.data() + sd::kStartTime, 100);
  EncodeBig24(e.data() + sd::kEntryUnknownOne, 1);
  EncodeBig24(e.data() + sd::kEntryUnknown512, 512);
  for (size_t i = 0; i < location.size(); ++i) {
    const char16_t unit = location[i] == u':' ? u'/' : location[i];
    EncodeFixed16(e.data() + sd::kName + 2 * i, unit);
  }
  e[sd::kShuffleFlag] = 1;
  *entry = std::move(e);
  return Status::Ok();
}

std::u16string ShuffleEntryName(std::string_view entry) {
  std::u16string name;
  for (size_t i = 0; i < sd::kNameUnits; ++i) {
    const char16_t unit = DecodeFixed16(entry.data() + sd::kName + 2 * i);
    if (unit == 0) break;
    name.push_back(unit == u'/' ? u':' : unit);
  }
  return name;
}

}  // namespace tunewell
