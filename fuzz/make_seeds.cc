// Writes the fuzzer's seed inputs, one file per image, into the folder given: the writable
// layout, the variants real iPods and desktop programs produce, and each real database named
// after the folder, cut down to its first tracks so that mutating it stays fast.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/support/itunesdb_fixture.h"

using namespace tunewell::fixture;

namespace {

bool Write(const std::string& folder, const std::string& name, const std::string& image) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  return out.good();
}

// `db` with its track list cut to the first `keep` tracks and each playlist dataset to its first
// playlist with that playlist's first `keep` items; other datasets as they are. The sort indexes
// keep their old entries: the reader does not look at them. Nothing when `db` does not parse.
std::optional<std::string> Shrink(const std::string& db, uint32_t keep) {
  auto fits = [&](size_t at, size_t n) { return at <= db.size() && n <= db.size() - at; };
  if (!fits(0, 12)) return std::nullopt;
  const size_t end = GetU32(db, 8);
  if (end > db.size()) return std::nullopt;
  std::string out = db.substr(0, GetU32(db, 4));
  for (size_t o = out.size(); o < end;) {
    if (!fits(o, 16)) return std::nullopt;
    const uint32_t header = GetU32(db, o + 4);
    const uint32_t total = GetU32(db, o + 8);
    const uint32_t type = GetU32(db, o + 12);
    const size_t list = o + header;
    if (total < header || !fits(o, total) || !fits(list, 12)) return std::nullopt;
    const size_t start = out.size();
    if (type == 1 || type == 2 || type == 3) {
      const uint32_t list_header = GetU32(db, list + 4);
      const uint32_t count = GetU32(db, list + 8);
      if (!fits(list, list_header)) return std::nullopt;
      out += db.substr(o, header + list_header);
      size_t p = list + list_header;
      if (type == 1) {
        PutU32(&out, start + header + 8, std::min(count, keep));
        for (uint32_t i = 0; i < std::min(count, keep); ++i) {
          if (!fits(p, 12) || !fits(p, GetU32(db, p + 8))) return std::nullopt;
          out += db.substr(p, GetU32(db, p + 8));
          p += GetU32(db, p + 8);
        }
      } else if (count > 0) {
        PutU32(&out, start + header + 8, 1);
        if (!fits(p, 20)) return std::nullopt;
        const uint32_t pl_header = GetU32(db, p + 4);
        const uint32_t records = GetU32(db, p + 12);
        const uint32_t items = GetU32(db, p + 16);
        const size_t pl_start = out.size();
        if (!fits(p, pl_header)) return std::nullopt;
        out += db.substr(p, pl_header);
        size_t q = p + pl_header;
        for (uint32_t i = 0; i < records + std::min(items, keep); ++i) {
          if (!fits(q, 12) || !fits(q, GetU32(db, q + 8))) return std::nullopt;
          out += db.substr(q, GetU32(db, q + 8));
          q += GetU32(db, q + 8);
        }
        PutU32(&out, pl_start + 8, static_cast<uint32_t>(out.size() - pl_start));
        PutU32(&out, pl_start + 16, std::min(items, keep));
      }
      PutU32(&out, start + 8, static_cast<uint32_t>(out.size() - start));
    } else {
      out += db.substr(o, total);
    }
    o += total;
  }
  PutU32(&out, 8, static_cast<uint32_t>(out.size()));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: itunesdb_seeds FOLDER [REAL_ITUNESDB...]\n", stderr);
    return 1;
  }
  const std::string folder = argv[1];
  std::vector<std::pair<std::string, std::string>> seeds;
  for (size_t n : {0, 1, 4})
    seeds.emplace_back("plain-" + std::to_string(n), BuildITunesDb(SampleTracks(n)));

  std::vector<FixtureTrack> texts = SampleTracks(3);
  texts[0].title = u"Caf\u00E9 \u20AC \U0001D11E";
  texts[1].extra_strings = {RawString{1, "Caf\xC3\xA9", 2}, RawString{3, "odd", 1},
                            RawString{8, "comment", 1}, RawString{52, std::string(8, '\1'), 1}};
  texts[2].id = texts[1].id;
  seeds.emplace_back("texts", BuildITunesDb(texts));

  seeds.emplace_back("many-datasets", BuildITunesDb(SampleTracks(3), ManyDatasetLayout()));
  seeds.emplace_back("two-datasets", BuildITunesDb(SampleTracks(3), TwoDatasetLayout()));

  ITunesDbOptions small;
  small.dataset_header_length = 16;
  small.track_list_header_length = 12;
  small.track_header_length = 48;
  small.playlist_list_header_length = 12;
  small.playlist_header_length = 20;
  small.item_header_length = 28;
  seeds.emplace_back("small-headers", BuildITunesDb(SampleTracks(2), small));

  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::string db((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (uint32_t keep : {3u, 40u}) {
      const std::optional<std::string> small = Shrink(db, keep);
      if (!small) {
        std::fprintf(stderr, "itunesdb_seeds: cannot cut down %s\n", argv[i]);
        return 2;
      }
      seeds.emplace_back("real-" + std::to_string(i - 1) + "-" + std::to_string(keep), *small);
    }
  }
  for (const auto& [name, image] : seeds) {
    if (!Write(folder, name, image)) {
      std::fprintf(stderr, "itunesdb_seeds: cannot write %s/%s\n", folder.c_str(), name.c_str());
      return 2;
    }
  }
  return 0;
}
