#pragma once

// The player's library as a sync request sees it, over the player's own COM objects: made,
// used and destroyed on the player's thread alone (PlayerThread).

#include <windows.h>
#include <wmp.h>

#include "player/win32/com_ptr.h"
#include "sync/player_library.h"

namespace tunewell {

class WmpLibrary : public PlayerLibrary {
 public:
  // Holds its own reference on `core` for as long as it lives.
  explicit WmpLibrary(IWMPCore* core);

  std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) override;
  PlaylistArray GetPlaylistsByName(std::u16string_view name) override;
  PlaylistArray GetAllPlaylists() override;
  void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) override;
  std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) override;

 private:
  ComPtr<IWMPPlaylistCollection> Playlists();

  ComPtr<IWMPCore> core_;
};

}  // namespace tunewell
