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
  // Why the file, which is there, could not be read when its tags were; ok when it could.
  const Status& unreadable() {
    Load();
    return unreadable_;
  }

 private:
  void Load();

  Env* env_;
  std::string path_;
  bool loaded_ = false;
  FileTags tags_;
  Status unreadable_;
};

// A playlist of the library. Walking it leaves out the files that cannot be read and adds a
// note for each, and for each line of its file that named nothing, to `skipped`.
class FilePlaylist : public PlayerPlaylist {
 public:
  explicit FilePlaylist(std::u16string name, std::vector<std::string>* skipped = nullptr,
                        std::vector<std::string> notes = {})
      : name_(std::move(name)), skipped_(skipped), notes_(std::move(notes)) {}

  int32_t Count() override;
  std::shared_ptr<PlayerMedia> Item(int32_t index) override;
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override;

  const std::u16string& name() const { return name_; }

 private:
  std::u16string name_;
  std::vector<std::string>* skipped_;
  std::vector<std::string> notes_;
  std::vector<std::shared_ptr<FileMedia>> items_;
};

class FileLibrary : public PlayerLibrary {
 public:
  explicit FileLibrary(Env& env);

  // The one media item of the file at `path` (made absolute).
  std::shared_ptr<FileMedia> MediaFor(const std::string& path);

  // Leaves the iPod at `root` out of every search: the root and the folders of its
  // iPod_Control, however a link reaches them.
  void PassOver(const std::string& root);

  // The audio files below `folder`, every level, in name order: plain files only, each real
  // folder once however many links lead to it. Names starting with a dot (hidden files,
  // resource forks) are passed over; a folder that cannot be read or lies too deep is skipped
  // with a note.
  Status FindAudioFiles(const std::string& folder, std::vector<std::string>* files);

  // The files a .m3u/.m3u8 file names, as the common players write them: paths relative to
  // its folder or absolute, file:// URLs, percent-escapes, '\' separators, surrounding blanks,
  // CRLF. Comments, #EXT lines and other URLs are left out; a line that names no file is
  // left out with a note in `unresolved` that gives its number.
  Status ReadPlaylist(const std::string& path, std::vector<std::string>* entries,
                      std::vector<std::string>* unresolved);

  // What the searches and the walked playlists left out, one note each, in the order met.
  const std::vector<std::string>& skipped() const { return skipped_; }
  void AddSkipped(std::string note);

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
  std::vector<std::string> skipped_;
};

}  // namespace tunewell::cli
