#pragma once

// The command line's player library: audio files on disk, with their tags read by TagLib where
// the build has it, and .m3u/.m3u8 playlists. Attributes carry the player's names ("Author",
// "WM/AlbumTitle", ...), so that a sync request reads files exactly as it reads the player.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "sync/player_library.h"

namespace tunewell::cli {

// The lower-case extension of the last name in `path`, without the dot; "" when it has none.
std::string LowerExtension(std::string_view path);
// mp3, wma, m4a, aac, ogg, flac, wav.
bool IsAudioFile(std::string_view path);
// .m3u and .m3u8.
bool IsPlaylistFile(std::string_view path);
// `path` made absolute against the current folder, with "." and ".." resolved.
std::string AbsolutePath(const std::string& path);
bool IsAbsolutePath(const std::string& path);

// What a file's tags give, as attribute texts under the player's names.
struct FileTags {
  std::u16string title;
  double duration = 0.0;
  // TagLib found an MPEG audio stream in it.
  bool mpeg_audio = false;
  std::map<std::u16string, std::u16string> attributes;
};

// Tags of the audio file at `path`; nothing (empty texts) when it has none or cannot be read,
// or when the build has no TagLib.
FileTags ReadFileTags(const std::string& path);

// Tags to write into an MP3 file.
struct Id3Tags {
  std::string title, artist, album, genre, composer;  // UTF-8
  int year = 0;
  int track = 0;
};

// Writes an ID3v2 tag into the MP3 file at `path`. Refused when the build has no TagLib.
Status WriteId3Tags(const std::string& path, const Id3Tags& tags);

// An audio file as a media item. Its tags are read on first use, and only from a plain file.
// An untagged file is named as the user filed it: its title is its file name, its album the
// name of its folder. Its "FileType" is "mp3" only when it holds MPEG audio.
class FileMedia : public PlayerMedia {
 public:
  FileMedia(Env& env, std::string path) : env_(&env), path_(std::move(path)) {}

  std::u16string Name() override;
  std::u16string SourceUrl() override;
  double Duration() override;
  std::u16string GetItemInfo(std::u16string_view attribute) override;

  const std::string& path() const { return path_; }

 private:
  void Load();

  Env* env_;
  std::string path_;
  bool loaded_ = false;
  FileTags tags_;
};

class FilePlaylist : public PlayerPlaylist {
 public:
  explicit FilePlaylist(std::u16string name) : name_(std::move(name)) {}

  int32_t Count() override { return static_cast<int32_t>(items_.size()); }
  std::shared_ptr<PlayerMedia> Item(int32_t index) override;
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override;

  const std::u16string& name() const { return name_; }

 private:
  std::u16string name_;
  std::vector<std::shared_ptr<PlayerMedia>> items_;
};

class FileLibrary : public PlayerLibrary {
 public:
  explicit FileLibrary(Env& env) : env_(&env) {}

  // The one media item of the file at `path` (made absolute).
  std::shared_ptr<FileMedia> MediaFor(const std::string& path);

  // Leaves the folder `path` (the iPod's own) and what is below it out of every search.
  void PassOver(const std::string& path);

  // The audio files below `folder`, every level, in name order: plain files only, each real
  // folder once however many links lead to it. Names starting with a dot (hidden files,
  // resource forks) are passed over.
  Status FindAudioFiles(const std::string& folder, std::vector<std::string>* files);

  // The entries of a .m3u/.m3u8 file: relative ones resolved against its folder, comments,
  // #EXT lines and URLs left out. Entries need not exist.
  Status ReadPlaylist(const std::string& path, std::vector<std::string>* entries);

  // Makes each playlist file below `folder` a playlist of the library, named by its file name
  // without the extension, in path order.
  Status AddPlaylistsUnder(const std::string& folder);

  // ---- PlayerLibrary ----
  std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) override;
  PlaylistArray GetPlaylistsByName(std::u16string_view name) override;
  PlaylistArray GetAllPlaylists() override;
  void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) override;
  std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) override;

 private:
  struct Walk;

  Status Search(const std::string& folder, bool (*wanted)(std::string_view),
                std::vector<std::string>* files);

  Env* env_;
  std::set<std::pair<uint64_t, uint64_t>> passed_over_;      // volume and object
  std::map<std::string, std::shared_ptr<FileMedia>> media_;  // by absolute path
  std::vector<std::shared_ptr<FilePlaylist>> playlists_;
};

}  // namespace tunewell::cli
