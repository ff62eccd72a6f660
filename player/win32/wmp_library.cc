#include "player/win32/wmp_library.h"

namespace tunewell {

namespace {

// The player's result codes decide nothing here: a failed call reads as an empty answer.

class WmpMedia : public PlayerMedia {
 public:
  explicit WmpMedia(ComPtr<IWMPMedia> media) : media_(std::move(media)) {}

  std::u16string Name() override {
    Bstr text;
    media_->get_name(text.Out());
    return text.Text();
  }
  std::u16string SourceUrl() override {
    Bstr text;
    media_->get_sourceURL(text.Out());
    return text.Text();
  }
  double Duration() override {
    double seconds = 0;
    return SUCCEEDED(media_->get_duration(&seconds)) ? seconds : 0;
  }
  std::u16string GetItemInfo(std::u16string_view attribute) override {
    const Bstr name(attribute);
    Bstr text;
    media_->getItemInfo(name.get(), text.Out());
    return text.Text();
  }
  IWMPMedia* get() const { return media_.get(); }

 private:
  ComPtr<IWMPMedia> media_;
};

class WmpPlaylist : public PlayerPlaylist {
 public:
  explicit WmpPlaylist(ComPtr<IWMPPlaylist> playlist) : playlist_(std::move(playlist)) {}

  int32_t Count() override {
    LONG count = 0;
    return SUCCEEDED(playlist_->get_count(&count)) && count > 0 ? count : 0;
  }
  std::shared_ptr<PlayerMedia> Item(int32_t index) override {
    ComPtr<IWMPMedia> media;
    playlist_->get_Item(index, media.Out());
    if (!media) return nullptr;
    return std::make_shared<WmpMedia>(std::move(media));
  }
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override {
    if (auto* wmp = dynamic_cast<WmpMedia*>(media.get())) playlist_->appendItem(wmp->get());
  }
  IWMPPlaylist* get() const { return playlist_.get(); }

 private:
  ComPtr<IWMPPlaylist> playlist_;
};

PlaylistArray ToArray(IWMPPlaylistArray* array) {
  PlaylistArray playlists;
  LONG count = 0;
  if (array == nullptr || FAILED(array->get_count(&count))) return playlists;
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IWMPPlaylist> playlist;
    if (SUCCEEDED(array->Item(i, playlist.Out())) && playlist) {
      playlists.push_back(std::make_shared<WmpPlaylist>(std::move(playlist)));
    }
  }
  return playlists;
}

}  // namespace

WmpLibrary::WmpLibrary(IWMPCore* core) : core_(ComPtr<IWMPCore>::Share(core)) {}

ComPtr<IWMPPlaylistCollection> WmpLibrary::Playlists() {
  ComPtr<IWMPPlaylistCollection> playlists;
  core_->get_playlistCollection(playlists.Out());
  return playlists;
}

std::shared_ptr<PlayerPlaylist> WmpLibrary::NewPlaylist(std::u16string_view name) {
  ComPtr<IWMPPlaylist> playlist;
  if (auto playlists = Playlists()) {
    const Bstr text(name);
    playlists->newPlaylist(text.get(), playlist.Out());
  }
  if (!playlist) return nullptr;
  return std::make_shared<WmpPlaylist>(std::move(playlist));
}

PlaylistArray WmpLibrary::GetPlaylistsByName(std::u16string_view name) {
  ComPtr<IWMPPlaylistArray> array;
  if (auto playlists = Playlists()) {
    const Bstr text(name);
    playlists->getByName(text.get(), array.Out());
  }
  return ToArray(array.get());
}

PlaylistArray WmpLibrary::GetAllPlaylists() {
  ComPtr<IWMPPlaylistArray> array;
  if (auto playlists = Playlists()) playlists->getAll(array.Out());
  return ToArray(array.get());
}

void WmpLibrary::RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) {
  auto* wmp = dynamic_cast<WmpPlaylist*>(playlist.get());
  if (wmp == nullptr) return;
  if (auto playlists = Playlists()) playlists->remove(wmp->get());
}

std::shared_ptr<PlayerPlaylist> WmpLibrary::GetMediaByName(std::u16string_view title) {
  ComPtr<IWMPMediaCollection> media;
  core_->get_mediaCollection(media.Out());
  ComPtr<IWMPPlaylist> found;
  if (media) {
    const Bstr text(title);
    media->getByName(text.get(), found.Out());
  }
  if (!found) return nullptr;
  return std::make_shared<WmpPlaylist>(std::move(found));
}

}  // namespace tunewell
