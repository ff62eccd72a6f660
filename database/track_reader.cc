#include "database/track_reader.h"

#include <bit>
#include <cstring>

#include "database/coding.h"
#include "database/id_index.h"
#include "database/itunesdb_records.h"
#include "platform/text.h"

namespace tunewell {

namespace {

std::u16string* FieldFor(TrackInfo& track, uint32_t type) {
  switch (type) {
    case kTitleString:
      return &track.title;
    case kPathString:
      return &track.path;
    case kAlbumString:
      return &track.album;
    case kArtistString:
      return &track.artist;
    case kGenreString:
      return &track.genre;
    case kComposerString:
      return &track.composer;
    default:
      return nullptr;
  }
}

Status ReadStrings(const ImageView& image, const TrackRecordInfo& record, TrackInfo& track) {
  const uint64_t end = record.offset + record.total_length;
  uint64_t o = record.offset + record.header_length;
  for (uint32_t i = 0; i < record.string_count && o < end; ++i) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhod"));
    uint32_t total = 0;
    uint32_t type = 0;
    RETURN_IF_ERROR(image.U32(o + record::kTotalLength, "string record", &total));
    RETURN_IF_ERROR(image.U32(o + mhod::kType, "string record", &type));
    if (total < mhod::kMinLength || o + total > end) {
      return CorruptionAt(
          o, "string record",
          "total length " + std::to_string(total) + " does not fit its track record");
    }
    if (std::u16string* field = FieldFor(track, type)) {
      RETURN_IF_ERROR(ReadStringText(image, o, total, field));
    }
    o += total;
  }
  return Status::Ok();
}

}  // namespace

Status ReadStringText(const ImageView& image, uint64_t o, uint32_t total, std::u16string* text) {
  uint32_t length = 0;
  uint32_t encoding = 0;
  RETURN_IF_ERROR(image.U32(o + mhod::kStringEncoding, "string record", &encoding));
  RETURN_IF_ERROR(image.U32(o + mhod::kStringLength, "string record", &length));
  if (mhod::kStringText + uint64_t{length} > total) {
    return CorruptionAt(o, "string record",
                        "text length " + std::to_string(length) + " runs past the record");
  }
  const std::string_view bytes = image.Slice(o + mhod::kStringText, length);
  if (encoding == mhod::kUtf8Encoding) {
    *text = Utf8ToUtf16(bytes);
    return Status::Ok();
  }
  // UTF-16LE; a stray odd byte at the end is dropped.
  text->resize(length / 2);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(text->data(), bytes.data(), text->size() * 2);
  } else {
    for (size_t k = 0; k < text->size(); ++k) {
      (*text)[k] = static_cast<char16_t>(DecodeFixed16(bytes.data() + 2 * k));
    }
  }
  return Status::Ok();
}

Status ReadTracks(const ImageView& image, const DatabaseLayout& layout, OwnedTracks* tracks) {
  tracks->clear();
  tracks->reserve(layout.tracks.size());
  std::vector<IdIndex<TrackInfo*>::Entry> ids;
  ids.reserve(layout.tracks.size());
  for (const TrackRecordInfo& record : layout.tracks) {
    auto track = std::make_unique<TrackInfo>();
    track->trackId = record.track_id;
    if (record.header_length >= mhit::kTrackNumber + 4) {
      track->trackNumber = static_cast<int32_t>(
          DecodeFixed32(image.bytes().data() + record.offset + mhit::kTrackNumber));
    }
    RETURN_IF_ERROR(ReadStrings(image, record, *track));
    ids.emplace_back(track->trackId, track.get());
    tracks->push_back(std::move(track));
  }
  if (layout.library_dataset) {
    const IdIndex<TrackInfo*> by_id(std::move(ids));
    for (const ItemInfo& item : layout.playlist_datasets[*layout.library_dataset].items) {
      TrackInfo* const* track = by_id.Find(item.track_id);
      if (track != nullptr && item.position >= 0) (*track)->position = item.position;
    }
  }
  return Status::Ok();
}

}  // namespace tunewell
