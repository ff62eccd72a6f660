#include "database/album_list.h"

#include <algorithm>

#include "database/coding.h"
#include "database/itunesdb_records.h"
#include "database/track_reader.h"

namespace tunewell {

Status ParseAlbumList(const ImageView& image, const DatasetInfo& dataset, AlbumListLayout* out) {
  *out = AlbumListLayout();
  out->dataset = dataset;
  out->header_length = mhia::kHeaderLength;
  const uint64_t end = dataset.offset + dataset.total_length;
  const uint64_t list = dataset.offset + dataset.header_length;
  uint32_t count = 0;
  RETURN_IF_ERROR(image.ExpectTag(list, "mhla"));
  RETURN_IF_ERROR(image.U32(list + record::kHeaderLength, "album list", &out->list_header_length));
  RETURN_IF_ERROR(image.U32(list + mhla::kCount, "album list", &count));
  if (out->list_header_length < mhla::kMinHeader || list + out->list_header_length > end) {
    return CorruptionAt(list, "album list", "header length does not fit its dataset");
  }
  out->list_offset = list;
  uint64_t o = list + out->list_header_length;
  out->albums.reserve(std::min<uint64_t>(count, (end - o) / mhia::kMinHeader));
  for (uint32_t i = 0; i < count; ++i) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhia"));
    AlbumInfo album;
    album.offset = o;
    uint32_t header = 0;
    uint32_t strings = 0;
    RETURN_IF_ERROR(image.U32(o + record::kHeaderLength, "album record", &header));
    RETURN_IF_ERROR(image.U32(o + record::kTotalLength, "album record", &album.total_length));
    if (header < mhia::kMinHeader || album.total_length < header || album.total_length > end - o) {
      return CorruptionAt(o, "album record", "lengths do not fit the album list");
    }
    if (i == 0) out->header_length = header;
    RETURN_IF_ERROR(image.U32(o + mhia::kStringCount, "album record", &strings));
    RETURN_IF_ERROR(image.U32(o + mhia::kAlbumId, "album record", &album.album_id));
    const uint64_t album_end = o + album.total_length;
    uint64_t s = o + header;
    for (uint32_t k = 0; k < strings && s < album_end; ++k) {
      RETURN_IF_ERROR(image.ExpectTag(s, "mhod"));
      uint32_t total = 0;
      uint32_t type = 0;
      RETURN_IF_ERROR(image.U32(s + record::kTotalLength, "album string", &total));
      RETURN_IF_ERROR(image.U32(s + mhod::kType, "album string", &type));
      if (total < mhod::kMinLength || total > album_end - s) {
        return CorruptionAt(s, "album string", "total length does not fit its album record");
      }
      if (type == mhod::kAlbumNameType)
        RETURN_IF_ERROR(ReadStringText(image, s, total, &album.name));
      if (type == mhod::kAlbumArtistType) {
        RETURN_IF_ERROR(ReadStringText(image, s, total, &album.artist));
      }
      s += total;
    }
    out->albums.push_back(std::move(album));
    o = album_end;
  }
  out->albums_end = o;
  return Status::Ok();
}

}  // namespace tunewell
