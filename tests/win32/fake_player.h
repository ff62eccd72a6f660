#pragma once

// A fake of the player's object model: a core with a playlist collection and a media collection
// of items whose attributes the test sets. Objects live as long as the fake; their reference
// counts are kept so that a test can see that everything handed out was given back.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tunewell::fake {

struct MediaSpec {
  std::wstring name;
  std::wstring url;
  // "FileType", "Author", "WM/AlbumTitle", ...
  std::map<std::wstring, std::wstring> info;
};

class Player {
 public:
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // The core, to be passed as IWMPCore*.
  void* core();
  // Adds an item to the media collection; returns its index.
  int AddMedia(MediaSpec spec);
  // Adds a playlist of the given items.
  void AddPlaylist(const std::wstring& name, const std::vector<int>& media);
  // Playlists with that name.
  int CountPlaylists(const std::wstring& name) const;
  // References handed out and not yet released, over all objects.
  long LiveReferences() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace tunewell::fake
