#include "cli/cli_library.h"

#include <algorithm>
#include <filesystem>

#include "cli/mpeg_audio.h"
#include "platform/path.h"
#include "platform/text.h"

#ifdef TUNEWELL_HAVE_TAGLIB
#include <fileref.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <mpegproperties.h>
#include <popularimeterframe.h>
#include <tag.h>
#include <tpropertymap.h>
#include <xingheader.h>
#endif

namespace tunewell::cli {

namespace {

// Folders nested deeper than this are not searched.
constexpr int kMaxFolderDepth = 32;

std::string_view LastName(std::string_view path) {
  const size_t cut = path.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::u16string Stem(std::string_view path) {
  std::string_view name = LastName(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return NarrowToWide(name);
}

#ifdef TUNEWELL_HAVE_TAGLIB

std::u16string Wide(const TagLib::String& text) { return Utf8ToUtf16(text.to8Bit(true)); }

std::u16string FirstProperty(const TagLib::PropertyMap& properties, const char* name) {
  auto it = properties.find(name);
  return it == properties.end() || it->second.isEmpty() ? std::u16string()
                                                        : Wide(it->second.front());
}

// The player's 0-99 rating of an ID3v2 popularimeter's 0-255 one (0: unrated).
std::u16string PlayerRating(int popm) {
  if (popm <= 0) return u"";
  const int rating = popm < 32 ? 1 : popm < 96 ? 25 : popm < 160 ? 50 : popm < 224 ? 75 : 99;
  return NarrowToWide(std::to_string(rating));
}

void ReadMpegDetails(TagLib::MPEG::File& file, FileTags* tags) {
  if (const TagLib::MPEG::Properties* properties = file.audioProperties()) {
    const TagLib::MPEG::XingHeader* xing = properties->xingHeader();
    tags->attributes[u"IsVBR"] =
        xing != nullptr && xing->type() != TagLib::MPEG::XingHeader::Invalid ? u"true" : u"false";
  }
  TagLib::ID3v2::Tag* id3 = file.ID3v2Tag(false);
  if (id3 == nullptr) return;
  const TagLib::ID3v2::FrameList& popm = id3->frameListMap()["POPM"];
  if (popm.isEmpty()) return;
  if (auto* frame = dynamic_cast<TagLib::ID3v2::PopularimeterFrame*>(popm.front())) {
    const std::u16string rating = PlayerRating(frame->rating());
    tags->attributes[u"UserRating"] = rating;
    tags->attributes[u"UserEffectiveRating"] = rating;
  }
}

#endif

#ifndef TUNEWELL_HAVE_TAGLIB
// Reads no more of the file than the check needs, so a huge file named .mp3 costs little. Tags
// claiming more than kMaxTagBytes are no MP3 a player would take.
bool StartHoldsMpegAudio(Env& env, const std::string& path) {
  constexpr size_t kMaxTagBytes = 64 << 20;
  std::string bytes;
  size_t want = 256 << 10;
  for (;;) {
    if (!env.ReadFileStart(path, want, &bytes).ok()) return true;
    if (bytes.size() < want) break;  // the whole file
    const size_t need = MpegAudioCheckLength(bytes);
    if (need <= bytes.size()) break;
    if (need > kMaxTagBytes) return false;
    want = need;
  }
  return HoldsMpegAudio(bytes);
}
#endif

}  // namespace

std::string LowerExtension(std::string_view path) {
  const std::string_view name = LastName(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return "";
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

bool IsAudioFile(std::string_view path) {
  static const char* const kExtensions[] = {"mp3", "wma", "m4a", "aac", "ogg", "flac", "wav"};
  const std::string extension = LowerExtension(path);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](const char* e) { return extension == e; });
}

bool IsPlaylistFile(std::string_view path) {
  const std::string extension = LowerExtension(path);
  return extension == "m3u" || extension == "m3u8";
}

std::string AbsolutePath(const std::string& path) {
  try {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
  } catch (const std::exception&) {
    // A name the conversion to the system's wide text cannot take.
    return path;
  }
}

bool IsAbsolutePath(const std::string& path) {
  try {
    return std::filesystem::path(path).is_absolute();
  } catch (const std::exception&) {
    return false;
  }
}

FileTags ReadFileTags([[maybe_unused]] const std::string& path) {
  FileTags tags;
#ifdef TUNEWELL_HAVE_TAGLIB
  TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
  if (ref.isNull()) return tags;
  auto& a = tags.attributes;
  if (TagLib::Tag* tag = ref.tag()) {
    tags.title = Wide(tag->title());
    a[u"Author"] = Wide(tag->artist());
    a[u"WM/AlbumTitle"] = Wide(tag->album());
    a[u"WM/Genre"] = Wide(tag->genre());
    if (tag->track() > 0) a[u"WM/TrackNumber"] = NarrowToWide(std::to_string(tag->track()));
    const TagLib::PropertyMap properties = ref.file()->properties();
    a[u"WM/Composer"] = FirstProperty(properties, "COMPOSER");
    a[u"WM/Lyrics"] = FirstProperty(properties, "LYRICS");
    a[u"ReleaseDate"] = FirstProperty(properties, "DATE");
    if (a[u"ReleaseDate"].empty() && tag->year() > 0) {
      a[u"ReleaseDate"] = NarrowToWide(std::to_string(tag->year()));
    }
  }
  if (TagLib::AudioProperties* audio = ref.audioProperties()) {
    tags.duration = audio->lengthInMilliseconds() / 1000.0;
    a[u"Bitrate"] = NarrowToWide(std::to_string(int64_t{audio->bitrate()} * 1000));
  }
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file())) {
    tags.mpeg_audio = mpeg->firstFrameOffset() >= 0;
    ReadMpegDetails(*mpeg, &tags);
  }
#endif
  return tags;
}

Status WriteId3Tags([[maybe_unused]] const std::string& path,
                    [[maybe_unused]] const Id3Tags& tags) {
#ifdef TUNEWELL_HAVE_TAGLIB
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isValid()) return Status::IOError(path + ": not an MP3 file TagLib can open");
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  auto text = [](const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); };
  tag->setTitle(text(tags.title));
  tag->setArtist(text(tags.artist));
  tag->setAlbum(text(tags.album));
  tag->setGenre(text(tags.genre));
  tag->setYear(static_cast<unsigned>(tags.year));
  tag->setTrack(static_cast<unsigned>(tags.track));
  if (!tags.composer.empty()) {
    TagLib::PropertyMap properties = tag->properties();
    properties.replace("COMPOSER", TagLib::StringList(text(tags.composer)));
    tag->setProperties(properties);
  }
  if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers)) {
    return Status::IOError(path + ": the tags could not be written");
  }
  return Status::Ok();
#else
  return Status::Refused("this build has no TagLib to write tags with");
#endif
}

void FileMedia::Load() {
  if (loaded_) return;
  loaded_ = true;
  FileIdentity what;
  const bool found = env_->Identify(path_, &what).ok();
  // Only a plain file is opened: a FIFO would block, a device might never end.
  const bool plain = found && what.kind == PathKind::kFile;
  // What cannot be read keeps the type its name gives, so that the copy says what is wrong.
  const bool readable = plain && env_->ProbeFile(path_, /*share_read=*/true).ok();
  if (readable) tags_ = ReadFileTags(path_);
  if (tags_.title.empty()) {
    tags_.title = Stem(path_);
    // Otherwise "Track 01" of every album folder would be one song, and all but one dropped.
    std::u16string& album = tags_.attributes[u"WM/AlbumTitle"];
    if (album.empty()) album = NarrowToWide(LastName(ParentOf(path_)));
  }
  std::string type = LowerExtension(path_);
  bool holds_mp3 = !found || (plain && !readable);
#ifdef TUNEWELL_HAVE_TAGLIB
  if (readable) holds_mp3 = tags_.mpeg_audio;
#else
  if (readable && type == "mp3") holds_mp3 = StartHoldsMpegAudio(*env_, path_);
#endif
  // Named .mp3 but holding no MPEG audio: not an MP3, whatever its name says.
  if (type == "mp3" && !holds_mp3) type.clear();
  tags_.attributes[u"FileType"] = NarrowToWide(type);
  uint64_t size = 0;
  if (env_->FileSize(path_, &size).ok()) {
    tags_.attributes[u"FileSize"] = NarrowToWide(std::to_string(size));
  }
}

std::u16string FileMedia::Name() {
  Load();
  return tags_.title;
}

std::u16string FileMedia::SourceUrl() { return NarrowToWide(path_); }

double FileMedia::Duration() {
  Load();
  return tags_.duration;
}

std::u16string FileMedia::GetItemInfo(std::u16string_view attribute) {
  Load();
  auto it = tags_.attributes.find(std::u16string(attribute));
  return it == tags_.attributes.end() ? std::u16string() : it->second;
}

std::shared_ptr<PlayerMedia> FilePlaylist::Item(int32_t index) {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

void FilePlaylist::AppendItem(const std::shared_ptr<PlayerMedia>& media) {
  items_.push_back(media);
}

std::shared_ptr<FileMedia> FileLibrary::MediaFor(const std::string& path) {
  const std::string absolute = AbsolutePath(path);
  std::shared_ptr<FileMedia>& media = media_[absolute];
  if (media == nullptr) media = std::make_shared<FileMedia>(*env_, absolute);
  return media;
}

// One search: the real folders met so far, by identity, so that links leading back up or to
// one folder twice add nothing.
struct FileLibrary::Walk {
  Env& env;
  bool (*wanted)(std::string_view);
  std::vector<std::string>* files;
  std::set<std::pair<uint64_t, uint64_t>> seen;

  Status Into(const std::string& folder, const FileIdentity& identity, int depth) {
    if (depth > kMaxFolderDepth || !seen.insert({identity.volume, identity.object}).second) {
      return Status::Ok();
    }
    std::vector<FolderEntry> entries;
    RETURN_IF_ERROR(env.ListFolder(folder, &entries));
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      if (entry.name.empty() || entry.name[0] == '.') continue;
      const std::string path = JoinPath(WithTrailingSeparator(folder), {entry.name});
      FileIdentity what;
      // A dangling or looping link leads nowhere; FIFOs and devices would block or never end.
      if (!env.Identify(path, &what).ok()) continue;
      if (what.kind == PathKind::kFolder) {
        RETURN_IF_ERROR(Into(path, what, depth + 1));
      } else if (what.kind == PathKind::kFile && wanted(path)) {
        files->push_back(path);
      }
    }
    return Status::Ok();
  }
};

void FileLibrary::PassOver(const std::string& path) {
  FileIdentity identity;
  if (env_->Identify(path, &identity).ok()) passed_over_.insert({identity.volume, identity.object});
}

Status FileLibrary::Search(const std::string& folder, bool (*wanted)(std::string_view),
                           std::vector<std::string>* files) {
  FileIdentity identity;
  RETURN_IF_ERROR(env_->Identify(folder, &identity));
  Walk walk{*env_, wanted, files, passed_over_};
  return walk.Into(folder, identity, 0);
}

Status FileLibrary::FindAudioFiles(const std::string& folder, std::vector<std::string>* files) {
  return Search(
      folder, [](std::string_view p) { return IsAudioFile(p); }, files);
}

Status FileLibrary::ReadPlaylist(const std::string& path, std::vector<std::string>* entries) {
  std::string text;
  RETURN_IF_ERROR(env_->ReadFile(path, &text));
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const std::string folder = WithTrailingSeparator(ParentOf(AbsolutePath(path)));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line.find("://") != std::string::npos) continue;
    entries->push_back(AbsolutePath(IsAbsolutePath(line) ? line : folder + line));
  }
  return Status::Ok();
}

Status FileLibrary::AddPlaylistsUnder(const std::string& folder) {
  std::vector<std::string> files;
  RETURN_IF_ERROR(Search(
      folder, [](std::string_view p) { return IsPlaylistFile(p); }, &files));
  for (const std::string& file : files) {
    std::vector<std::string> entries;
    RETURN_IF_ERROR(ReadPlaylist(file, &entries));
    auto playlist = std::make_shared<FilePlaylist>(Stem(file));
    for (const std::string& entry : entries) playlist->AppendItem(MediaFor(entry));
    playlists_.push_back(std::move(playlist));
  }
  return Status::Ok();
}

std::shared_ptr<PlayerPlaylist> FileLibrary::NewPlaylist(std::u16string_view name) {
  auto playlist = std::make_shared<FilePlaylist>(std::u16string(name));
  playlists_.push_back(playlist);
  return playlist;
}

PlaylistArray FileLibrary::GetPlaylistsByName(std::u16string_view name) {
  PlaylistArray found;
  for (const auto& playlist : playlists_) {
    if (playlist->name() == name) found.push_back(playlist);
  }
  return found;
}

PlaylistArray FileLibrary::GetAllPlaylists() { return {playlists_.begin(), playlists_.end()}; }

void FileLibrary::RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) {
  std::erase_if(playlists_, [&](const auto& p) { return p == playlist; });
}

std::shared_ptr<PlayerPlaylist> FileLibrary::GetMediaByName(std::u16string_view title) {
  auto found = std::make_shared<FilePlaylist>(u"");
  for (const auto& [path, media] : media_) {
    if (media->Name() == title) found->AppendItem(media);
  }
  return found;
}

}  // namespace tunewell::cli
