#pragma once

// The media player's library as a sync request sees it: the few operations it calls on the
// player's object model. The plug-in implements them over the player's COM objects, the command
// line over files and .m3u playlists, tests with a fake. Objects are shared, as the player's
// reference-counted ones are.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tunewell {

// One media item.
class PlayerMedia {
 public:
  virtual ~PlayerMedia() = default;
  // The title.
  virtual std::u16string Name() = 0;
  // The file's full local path.
  virtual std::u16string SourceUrl() = 0;
  // Seconds.
  virtual double Duration() = 0;
  // The text of a named attribute ("FileType", "Author", "WM/AlbumTitle", ...); empty when the
  // item has none.
  virtual std::u16string GetItemInfo(std::u16string_view attribute) = 0;
};

class PlayerPlaylist {
 public:
  virtual ~PlayerPlaylist() = default;
  virtual int32_t Count() = 0;
  // The item at 0 <= index < Count().
  virtual std::shared_ptr<PlayerMedia> Item(int32_t index) = 0;
  virtual void AppendItem(const std::shared_ptr<PlayerMedia>& media) = 0;
};

using PlaylistArray = std::vector<std::shared_ptr<PlayerPlaylist>>;

class PlayerLibrary {
 public:
  virtual ~PlayerLibrary() = default;

  // Playlist collection.
  virtual std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) = 0;
  // The playlists with that exact name, in the collection's order.
  virtual PlaylistArray GetPlaylistsByName(std::u16string_view name) = 0;
  virtual PlaylistArray GetAllPlaylists() = 0;
  virtual void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) = 0;

  // Media collection: the items with that title, as a playlist.
  virtual std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) = 0;
};

// Where a library's objects may be called. The player's belong to its own thread: work that
// needs them runs there whole, and no object of the library leaves it, only plain data.
class PlayerLibraryAccess {
 public:
  virtual ~PlayerLibraryAccess() = default;
  // Runs `work` with the library; false when it cannot, and `work` has then not run at all. What
  // `work` throws comes out here.
  virtual bool Run(const std::function<void(PlayerLibrary&)>& work) = 0;
};

}  // namespace tunewell
