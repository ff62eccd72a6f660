// The fake's objects are built on the C form of the player's interfaces: each vtable starts with
// every slot answering E_NOTIMPL and only the methods the plug-in calls are filled in. One node
// type serves as media item, playlist (a name and items) and playlist array (items).

#define CINTERFACE
#include <windows.h>
#include <wmp.h>

#include <algorithm>
#include <deque>

#include "tests/win32/player_host.h"

namespace tunewell::fake {

namespace {

struct Node {
  const void* vtbl;
  LONG refs = 0;
  Player::State* player = nullptr;
  MediaSpec media;
  std::vector<Node*> items;
};
#define SELF reinterpret_cast<Node*>(self)

HRESULT STDMETHODCALLTYPE NotImpl() { return E_NOTIMPL; }
HRESULT HandOut(Node* node, void* out) {
  return ++node->refs, *static_cast<void**>(out) = node, S_OK;
}
HRESULT STDMETHODCALLTYPE QueryInterface(Node* self, REFIID, void** out) {
  return HandOut(self, out);
}
ULONG STDMETHODCALLTYPE AddRef(Node* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE Release(Node* self) { return --self->refs; }

template <typename Vtbl>
Vtbl Unimplemented() {
  Vtbl vtbl;
  void** slots = reinterpret_cast<void**>(&vtbl);
  std::fill_n(slots, sizeof vtbl / sizeof(void*), reinterpret_cast<void*>(&NotImpl));
  slots[0] = reinterpret_cast<void*>(&QueryInterface);
  slots[1] = reinterpret_cast<void*>(&AddRef);
  slots[2] = reinterpret_cast<void*>(&Release);
  return vtbl;
}

BSTR Text(const std::wstring& text) { return ::SysAllocStringLen(text.data(), text.size()); }
std::wstring Text(BSTR text) { return std::wstring(text, ::SysStringLen(text)); }

HRESULT Count(Node* list, LONG* out) { return *out = static_cast<LONG>(list->items.size()), S_OK; }
HRESULT Item(Node* list, LONG index, void* out) {
  if (index < 0 || static_cast<size_t>(index) >= list->items.size()) return E_INVALIDARG;
  return HandOut(list->items[index], out);
}

}  // namespace

struct Player::State {
  Node *core = nullptr, *playlist_collection = nullptr, *media_collection = nullptr;
  std::deque<Node> nodes;
  std::vector<Node*> media;
  // Playlists the collection lists, in order; removed ones leave it.
  std::vector<Node*> listed;
  Node* New(const void* vtbl, std::vector<Node*> items = {}, const std::wstring& name = L"") {
    return &nodes.emplace_back(Node{vtbl, 0, this, {name, L"", {}}, std::move(items)});
  }
};

namespace {

const IWMPMediaVtbl kMediaVtbl = [] {
  auto v = Unimplemented<IWMPMediaVtbl>();
  v.get_name = [](IWMPMedia* self, BSTR* out) { return *out = Text(SELF->media.name), S_OK; };
  v.get_sourceURL = [](IWMPMedia* self, BSTR* out) { return *out = Text(SELF->media.url), S_OK; };
  v.get_duration = [](IWMPMedia*, double* out) { return *out = 185.5, S_OK; };
  v.getItemInfo = [](IWMPMedia* self, BSTR name, BSTR* out) {
    const auto found = SELF->media.info.find(Text(name));
    *out = Text(found == SELF->media.info.end() ? L"" : found->second);
    return S_OK;
  };
  return v;
}();

const IWMPPlaylistVtbl kPlaylistVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistVtbl>();
  v.get_count = [](IWMPPlaylist* self, LONG* out) { return Count(SELF, out); };
  v.get_Item = [](IWMPPlaylist* self, LONG index, IWMPMedia** out) {
    return Item(SELF, index, out);
  };
  v.appendItem = [](IWMPPlaylist* self, IWMPMedia* media) {
    SELF->items.push_back(reinterpret_cast<Node*>(media));
    return S_OK;
  };
  return v;
}();

const IWMPPlaylistArrayVtbl kArrayVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistArrayVtbl>();
  v.get_count = [](IWMPPlaylistArray* self, LONG* out) { return Count(SELF, out); };
  v.Item = [](IWMPPlaylistArray* self, LONG index, IWMPPlaylist** out) {
    return Item(SELF, index, out);
  };
  return v;
}();

// A new list, of type `vtbl`, of the nodes in `from` named `name` (all of them for null).
HRESULT Named(Node* self, const std::vector<Node*>& from, BSTR name, const void* vtbl, void* out) {
  std::vector<Node*> chosen;
  for (Node* n : from) {
    if (name == nullptr || n->media.name == Text(name)) chosen.push_back(n);
  }
  return HandOut(self->player->New(vtbl, chosen), out);
}

const IWMPPlaylistCollectionVtbl kPlaylistCollectionVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistCollectionVtbl>();
  v.newPlaylist = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylist** out) {
    Node* p = SELF->player->New(&kPlaylistVtbl, {}, Text(name));
    SELF->player->listed.push_back(p);
    return HandOut(p, out);
  };
  v.getAll = [](IWMPPlaylistCollection* self, IWMPPlaylistArray** out) {
    return Named(SELF, SELF->player->listed, nullptr, &kArrayVtbl, out);
  };
  v.getByName = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylistArray** out) {
    return Named(SELF, SELF->player->listed, name, &kArrayVtbl, out);
  };
  v.remove = [](IWMPPlaylistCollection* self, IWMPPlaylist* playlist) {
    std::erase(SELF->player->listed, reinterpret_cast<Node*>(playlist));
    return S_OK;
  };
  return v;
}();

const IWMPMediaCollectionVtbl kMediaCollectionVtbl = [] {
  auto v = Unimplemented<IWMPMediaCollectionVtbl>();
  v.getByName = [](IWMPMediaCollection* self, BSTR name, IWMPPlaylist** out) {
    return Named(SELF, SELF->player->media, name, &kPlaylistVtbl, out);
  };
  return v;
}();

const IWMPCoreVtbl kCoreVtbl = [] {
  auto v = Unimplemented<IWMPCoreVtbl>();
  v.get_playlistCollection = [](IWMPCore* self, IWMPPlaylistCollection** out) {
    return HandOut(SELF->player->playlist_collection, out);
  };
  v.get_mediaCollection = [](IWMPCore* self, IWMPMediaCollection** out) {
    return HandOut(SELF->player->media_collection, out);
  };
  return v;
}();

}  // namespace

Player::Player() : state_(std::make_unique<State>()) {
  state_->core = state_->New(&kCoreVtbl);
  state_->playlist_collection = state_->New(&kPlaylistCollectionVtbl);
  state_->media_collection = state_->New(&kMediaCollectionVtbl);
}

Player::~Player() = default;

void* Player::core() { return state_->core; }

int Player::AddMedia(MediaSpec media) {
  Node* m = state_->New(&kMediaVtbl);
  m->media = std::move(media);
  state_->media.push_back(m);
  return static_cast<int>(state_->media.size()) - 1;
}

void Player::AddPlaylist(const std::wstring& name, const std::vector<int>& media) {
  Node* p = state_->New(&kPlaylistVtbl, {}, name);
  for (int i : media) p->items.push_back(state_->media[i]);
  state_->listed.push_back(p);
}

int Player::CountPlaylists(const std::wstring& name) const {
  return static_cast<int>(std::count_if(state_->listed.begin(), state_->listed.end(),
                                        [&](Node* p) { return p->media.name == name; }));
}

long Player::LiveReferences() const {
  long live = 0;
  for (const Node& n : state_->nodes) live += n.refs;
  return live;
}

}  // namespace tunewell::fake
