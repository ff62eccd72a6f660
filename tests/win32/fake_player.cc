// The fake's objects are built on the C form of the player's interfaces: each vtable starts with
// every slot answering E_NOTIMPL and only the methods the plug-in calls are filled in.

#define CINTERFACE
#include "tests/win32/fake_player.h"

#include <windows.h>
#include <wmp.h>

#include <algorithm>
#include <deque>

namespace tunewell::fake {

namespace {

struct Object {
  const void* vtbl;
  LONG refs = 0;
  Player::State* player = nullptr;
};

HRESULT STDMETHODCALLTYPE NotImpl() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE QueryInterface(Object* self, REFIID, void** out) {
  *out = self;
  ++self->refs;
  return S_OK;
}
ULONG STDMETHODCALLTYPE AddRef(Object* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE Release(Object* self) { return --self->refs; }

template <typename Vtbl>
Vtbl Unimplemented() {
  Vtbl vtbl;
  void** slots = reinterpret_cast<void**>(&vtbl);
  for (size_t i = 0; i < sizeof vtbl / sizeof(void*); ++i) {
    slots[i] = reinterpret_cast<void*>(&NotImpl);
  }
  slots[0] = reinterpret_cast<void*>(&QueryInterface);
  slots[1] = reinterpret_cast<void*>(&AddRef);
  slots[2] = reinterpret_cast<void*>(&Release);
  return vtbl;
}

template <typename T>
HRESULT HandOut(T* object, void** out) {
  ++object->refs;
  *out = object;
  return S_OK;
}

BSTR Text(const std::wstring& text) { return ::SysAllocStringLen(text.data(), text.size()); }
std::wstring Text(BSTR text) { return std::wstring(text, ::SysStringLen(text)); }

struct Media : Object {
  MediaSpec spec;
};
struct Playlist : Object {
  std::wstring name;
  std::vector<Media*> items;
};
struct PlaylistArray : Object {
  std::vector<Playlist*> playlists;
};

}  // namespace

struct Player::State {
  Object core, playlist_collection, media_collection;
  std::deque<Media> media;
  std::deque<Playlist> playlists;
  // Playlists the collection lists, in order; removed ones leave it.
  std::vector<Playlist*> listed;
  std::deque<PlaylistArray> arrays;

  // `listed`: one of the collection's playlists rather than a search result.
  Playlist* NewPlaylist(const std::wstring& name, bool listed = true);
  PlaylistArray* NewArray(std::vector<Playlist*> playlists);
};

namespace {

IWMPMediaVtbl MakeMediaVtbl() {
  auto v = Unimplemented<IWMPMediaVtbl>();
  v.get_name = [](IWMPMedia* self, BSTR* out) {
    *out = Text(reinterpret_cast<Media*>(self)->spec.name);
    return S_OK;
  };
  v.get_sourceURL = [](IWMPMedia* self, BSTR* out) {
    *out = Text(reinterpret_cast<Media*>(self)->spec.url);
    return S_OK;
  };
  v.get_duration = [](IWMPMedia*, double* out) {
    *out = 185.5;
    return S_OK;
  };
  v.getItemInfo = [](IWMPMedia* self, BSTR name, BSTR* out) {
    const auto& info = reinterpret_cast<Media*>(self)->spec.info;
    const auto found = info.find(Text(name));
    *out = Text(found == info.end() ? L"" : found->second);
    return S_OK;
  };
  return v;
}

IWMPPlaylistVtbl MakePlaylistVtbl() {
  auto v = Unimplemented<IWMPPlaylistVtbl>();
  v.get_count = [](IWMPPlaylist* self, LONG* out) {
    *out = static_cast<LONG>(reinterpret_cast<Playlist*>(self)->items.size());
    return S_OK;
  };
  v.get_Item = [](IWMPPlaylist* self, LONG index, IWMPMedia** out) {
    auto& items = reinterpret_cast<Playlist*>(self)->items;
    if (index < 0 || static_cast<size_t>(index) >= items.size()) return E_INVALIDARG;
    return HandOut(items[index], reinterpret_cast<void**>(out));
  };
  v.appendItem = [](IWMPPlaylist* self, IWMPMedia* media) {
    reinterpret_cast<Playlist*>(self)->items.push_back(reinterpret_cast<Media*>(media));
    return S_OK;
  };
  return v;
}

IWMPPlaylistArrayVtbl MakeArrayVtbl() {
  auto v = Unimplemented<IWMPPlaylistArrayVtbl>();
  v.get_count = [](IWMPPlaylistArray* self, LONG* out) {
    *out = static_cast<LONG>(reinterpret_cast<PlaylistArray*>(self)->playlists.size());
    return S_OK;
  };
  v.Item = [](IWMPPlaylistArray* self, LONG index, IWMPPlaylist** out) {
    auto& playlists = reinterpret_cast<PlaylistArray*>(self)->playlists;
    if (index < 0 || static_cast<size_t>(index) >= playlists.size()) return E_INVALIDARG;
    return HandOut(playlists[index], reinterpret_cast<void**>(out));
  };
  return v;
}

IWMPPlaylistCollectionVtbl MakePlaylistCollectionVtbl() {
  auto v = Unimplemented<IWMPPlaylistCollectionVtbl>();
  v.newPlaylist = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylist** out) {
    auto* player = reinterpret_cast<Object*>(self)->player;
    return HandOut(player->NewPlaylist(Text(name)), reinterpret_cast<void**>(out));
  };
  v.getAll = [](IWMPPlaylistCollection* self, IWMPPlaylistArray** out) {
    auto* player = reinterpret_cast<Object*>(self)->player;
    return HandOut(player->NewArray(player->listed), reinterpret_cast<void**>(out));
  };
  v.getByName = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylistArray** out) {
    auto* player = reinterpret_cast<Object*>(self)->player;
    std::vector<Playlist*> named;
    for (Playlist* p : player->listed) {
      if (p->name == Text(name)) named.push_back(p);
    }
    return HandOut(player->NewArray(named), reinterpret_cast<void**>(out));
  };
  v.remove = [](IWMPPlaylistCollection* self, IWMPPlaylist* playlist) {
    std::erase(reinterpret_cast<Object*>(self)->player->listed,
               reinterpret_cast<Playlist*>(playlist));
    return S_OK;
  };
  return v;
}

IWMPMediaCollectionVtbl MakeMediaCollectionVtbl() {
  auto v = Unimplemented<IWMPMediaCollectionVtbl>();
  v.getByName = [](IWMPMediaCollection* self, BSTR name, IWMPPlaylist** out) {
    auto* player = reinterpret_cast<Object*>(self)->player;
    Playlist* found = player->NewPlaylist(L"", false);
    for (Media& m : player->media) {
      if (m.spec.name == Text(name)) found->items.push_back(&m);
    }
    return HandOut(found, reinterpret_cast<void**>(out));
  };
  return v;
}

IWMPCoreVtbl MakeCoreVtbl() {
  auto v = Unimplemented<IWMPCoreVtbl>();
  v.get_playlistCollection = [](IWMPCore* self, IWMPPlaylistCollection** out) {
    return HandOut(&reinterpret_cast<Object*>(self)->player->playlist_collection,
                   reinterpret_cast<void**>(out));
  };
  v.get_mediaCollection = [](IWMPCore* self, IWMPMediaCollection** out) {
    return HandOut(&reinterpret_cast<Object*>(self)->player->media_collection,
                   reinterpret_cast<void**>(out));
  };
  return v;
}

const IWMPMediaVtbl kMediaVtbl = MakeMediaVtbl();
const IWMPPlaylistVtbl kPlaylistVtbl = MakePlaylistVtbl();
const IWMPPlaylistArrayVtbl kArrayVtbl = MakeArrayVtbl();
const IWMPPlaylistCollectionVtbl kPlaylistCollectionVtbl = MakePlaylistCollectionVtbl();
const IWMPMediaCollectionVtbl kMediaCollectionVtbl = MakeMediaCollectionVtbl();
const IWMPCoreVtbl kCoreVtbl = MakeCoreVtbl();

}  // namespace

Playlist* Player::State::NewPlaylist(const std::wstring& name, bool in_collection) {
  Playlist* p = &playlists.emplace_back();
  p->vtbl = &kPlaylistVtbl;
  p->player = this;
  p->name = name;
  if (in_collection) listed.push_back(p);
  return p;
}

PlaylistArray* Player::State::NewArray(std::vector<Playlist*> chosen) {
  PlaylistArray* a = &arrays.emplace_back();
  a->vtbl = &kArrayVtbl;
  a->player = this;
  a->playlists = std::move(chosen);
  return a;
}

Player::Player() : state_(std::make_unique<State>()) {
  state_->core = {&kCoreVtbl, 0, state_.get()};
  state_->playlist_collection = {&kPlaylistCollectionVtbl, 0, state_.get()};
  state_->media_collection = {&kMediaCollectionVtbl, 0, state_.get()};
}

Player::~Player() = default;

void* Player::core() { return &state_->core; }

int Player::AddMedia(MediaSpec spec) {
  Media& m = state_->media.emplace_back();
  m.vtbl = &kMediaVtbl;
  m.player = state_.get();
  m.spec = std::move(spec);
  return static_cast<int>(state_->media.size()) - 1;
}

void Player::AddPlaylist(const std::wstring& name, const std::vector<int>& media) {
  Playlist* p = state_->NewPlaylist(name);
  for (int i : media) p->items.push_back(&state_->media[i]);
}

int Player::CountPlaylists(const std::wstring& name) const {
  return static_cast<int>(std::count_if(state_->listed.begin(), state_->listed.end(),
                                        [&](Playlist* p) { return p->name == name; }));
}

long Player::LiveReferences() const {
  long live = state_->core.refs + state_->playlist_collection.refs + state_->media_collection.refs;
  for (const auto& m : state_->media) live += m.refs;
  for (const auto& p : state_->playlists) live += p.refs;
  for (const auto& a : state_->arrays) live += a.refs;
  return live;
}

}  // namespace tunewell::fake
