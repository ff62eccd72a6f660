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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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
  return NameToText(name);
}

void AddNote(std::vector<std::string>* notes, std::string note) {
  if (std::find(notes->begin(), notes->end(), note) == notes->end()) {
    notes->push_back(std::move(note));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `text` with each %XX replaced by the byte it stands for; a '%' that starts no escape stays.
std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// ASCII case only, as in URL schemes and host names.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// The paths a playlist line may mean, the most literal first; none for a URL of another kind.
std::vector<std::string> LineReadings(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  const std::string_view trimmed = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
  if (StartsWithNoCase(trimmed, "file:")) {
    std::string_view rest = trimmed.substr(5);
    if (rest.starts_with("//")) {
      rest.remove_prefix(2);
      const std::string_view host = rest.substr(0, rest.find('/'));
      // Another machine's file: a network path, which Windows opens and POSIX reports.
      if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) {
        return {"//" + PercentDecoded(rest)};
      }
      rest.remove_prefix(host.size());
    }
    std::string path = PercentDecoded(rest);
    // file:///C:/Music/a.mp3
    if (kPathSeparator == '\\' && path.size() > 2 && path[0] == '/' && path[2] == ':') {
      path.erase(0, 1);
    }
    return {path};
  }
  if (trimmed.find("://") != std::string_view::npos) return {};
  std::vector<std::string> readings = {std::string(line)};
  std::string separated(trimmed);
  if (kPathSeparator == '/') std::replace(separated.begin(), separated.end(), '\\', '/');
  for (std::string reading : {std::string(trimmed), separated, PercentDecoded(separated)}) {
    if (std::find(readings.begin(), readings.end(), reading) == readings.end()) {
      readings.push_back(std::move(reading));
    }
  }
  return readings;
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
  for (char& c : extension) c = AsciiLower(c);
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
  const Status probe = plain ? env_->ProbeFile(path_, /*share_read=*/true) : Status::Ok();
  const bool readable = plain && probe.ok();
  // Read untagged, it would be copied under its file name, and again once it can be read. One
  // that went missing keeps the type its name gives, so that the copy says what is wrong.
  if (!probe.ok() && !probe.IsNotFound()) unreadable_ = probe;
  if (readable) tags_ = ReadFileTags(path_);
  if (tags_.title.empty()) {
    tags_.title = Stem(path_);
    // Otherwise "Track 01" of every album folder would be one song, and all but one dropped.
    std::u16string& album = tags_.attributes[u"WM/AlbumTitle"];
    if (album.empty()) album = NameToText(LastName(ParentOf(path_)));
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

std::u16string FileMedia::SourceUrl() { return PathToWide(path_); }

double FileMedia::Duration() {
  Load();
  return tags_.duration;
}

std::u16string FileMedia::GetItemInfo(std::u16string_view attribute) {
  Load();
  auto it = tags_.attributes.find(std::u16string(attribute));
  return it == tags_.attributes.end() ? std::u16string() : it->second;
}

int32_t FilePlaylist::Count() {
  // Counted when chosen, so only the playlists a run walks add their notes.
  if (skipped_ != nullptr) {
    for (std::string& note : notes_) AddNote(skipped_, std::move(note));
  }
  notes_.clear();
  return static_cast<int32_t>(items_.size());
}

std::shared_ptr<PlayerMedia> FilePlaylist::Item(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  const std::shared_ptr<FileMedia>& media = items_[static_cast<size_t>(index)];
  if (skipped_ != nullptr && !media->unreadable().ok()) {
    AddNote(skipped_, "skipped a file that cannot be read (" + media->unreadable().message() + ")");
    return nullptr;
  }
  return media;
}

void FilePlaylist::AppendItem(const std::shared_ptr<PlayerMedia>& media) {
  // The library's items are all files.
  if (auto file = std::dynamic_pointer_cast<FileMedia>(media)) items_.push_back(std::move(file));
}

FileLibrary::FileLibrary(Env& env) : env_(&env) {
#ifndef _WIN32
  // The kernel's views of processes and devices: no music, and entries that vanish or refuse
  // while listed, which a library link to "/" would otherwise walk through.
  for (const char* pseudo : {"/proc", "/sys"}) {
    FileIdentity identity;
    if (env_->Identify(pseudo, &identity).ok()) {
      passed_over_.insert({identity.volume, identity.object});
    }
  }
#endif
}

void FileLibrary::AddSkipped(std::string note) { AddNote(&skipped_, std::move(note)); }

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
  std::vector<std::string>* skipped;

  void Into(const std::string& folder, const FileIdentity& identity, int depth) {
    if (!seen.insert({identity.volume, identity.object}).second) return;
    if (depth > kMaxFolderDepth) {
      AddNote(skipped, "skipped " + folder + ": more than " + std::to_string(kMaxFolderDepth) +
                           " folders deep");
      return;
    }
    std::vector<FolderEntry> entries;
    const Status listed = env.ListFolder(folder, &entries);
    // One that went away while the walk was under way held nothing to sync.
    if (listed.IsNotFound()) return;
    if (!listed.ok()) {
      AddNote(skipped, "skipped a folder that cannot be read (" + listed.message() + ")");
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      if (entry.name.empty() || entry.name[0] == '.') continue;
      const std::string path = JoinPath(WithTrailingSeparator(folder), {entry.name});
      FileIdentity what;
      // A dangling or looping link leads nowhere; FIFOs and devices would block or never end.
      if (!env.Identify(path, &what).ok()) continue;
      if (what.kind == PathKind::kFolder) {
        Into(path, what, depth + 1);
      } else if (what.kind == PathKind::kFile && wanted(path)) {
        files->push_back(path);
      }
    }
  }
};

void FileLibrary::PassOver(const std::string& root) {
  FileIdentity identity;
  if (env_->Identify(root, &identity).ok()) passed_over_.insert({identity.volume, identity.object});
  // A library link to its music folder would otherwise bring the iPod's own files back as new.
  std::vector<std::string> folders = {JoinPath(WithTrailingSeparator(root), {"iPod_Control"})};
  while (!folders.empty()) {
    const std::string folder = std::move(folders.back());
    folders.pop_back();
    std::vector<FolderEntry> entries;
    if (!env_->Identify(folder, &identity).ok() || identity.kind != PathKind::kFolder ||
        !passed_over_.insert({identity.volume, identity.object}).second ||
        !env_->ListFolder(folder, &entries).ok()) {
      continue;
    }
    for (const FolderEntry& entry : entries) {
      folders.push_back(JoinPath(WithTrailingSeparator(folder), {entry.name}));
    }
  }
}

Status FileLibrary::Search(const std::string& folder, bool (*wanted)(std::string_view),
                           std::vector<std::string>* files) {
  FileIdentity identity;
  RETURN_IF_ERROR(env_->Identify(folder, &identity));
  Walk walk{*env_, wanted, files, passed_over_, &skipped_};
  walk.Into(folder, identity, 0);
  return Status::Ok();
}

Status FileLibrary::FindAudioFiles(const std::string& folder, std::vector<std::string>* files) {
  return Search(
      folder, [](std::string_view p) { return IsAudioFile(p); }, files);
}

Status FileLibrary::ReadPlaylist(const std::string& path, std::vector<std::string>* entries,
                                 std::vector<std::string>* unresolved) {
  std::string text;
  RETURN_IF_ERROR(env_->ReadFile(path, &text));
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const std::string folder = WithTrailingSeparator(ParentOf(AbsolutePath(path)));
  int number = 0;
  for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    ++number;
    std::string_view line = std::string_view(text).substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;
    const std::vector<std::string> readings = LineReadings(line);
    if (readings.empty()) continue;  // a stream, or a file of another machine
    std::string found;
    for (const std::string& reading : readings) {
      const std::string candidate =
          AbsolutePath(IsAbsolutePath(reading) ? reading : folder + reading);
      FileIdentity what;
      if (env_->Identify(candidate, &what).ok() && what.kind == PathKind::kFile) {
        found = candidate;
        break;
      }
    }
    if (found.empty()) {
      AddNote(unresolved, path + " line " + std::to_string(number) + ": no file \"" +
                              std::string(line) + "\"; skipped");
    } else {
      entries->push_back(std::move(found));
    }
  }
  return Status::Ok();
}

Status FileLibrary::AddPlaylistsUnder(const std::string& folder) {
  std::vector<std::string> files;
  RETURN_IF_ERROR(Search(
      folder, [](std::string_view p) { return IsPlaylistFile(p); }, &files));
  for (const std::string& file : files) {
    std::vector<std::string> entries, unresolved;
    const Status read = ReadPlaylist(file, &entries, &unresolved);
    // Named in the notes only if a run chooses it.
    if (!read.ok())
      unresolved = {"skipped a playlist that cannot be read (" + read.message() + ")"};
    auto playlist = std::make_shared<FilePlaylist>(Stem(file), &skipped_, std::move(unresolved));
    for (const std::string& entry : entries) playlist->AppendItem(MediaFor(entry));
    playlists_.push_back(std::move(playlist));
  }
  return Status::Ok();
}

std::shared_ptr<PlayerPlaylist> FileLibrary::NewPlaylist(std::u16string_view name) {
  auto playlist = std::make_shared<FilePlaylist>(std::u16string(name), &skipped_);
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
