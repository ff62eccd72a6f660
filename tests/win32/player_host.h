#pragma once

// Stand-ins for the media player and its hook library. Everything is made on the calling thread,
// which must keep pumping messages (WaitPumping) while the plug-in's threads talk to it.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tunewell::fake {

// The player's windows as the plug-in finds them: the main window, the Sync pane path with its
// combo box, toolbar and lists, the header menu that leads to "Choose Columns", and the sync
// settings dialog with its custom page.
class PlayerHost {
 public:
  PlayerHost();
  ~PlayerHost();
  PlayerHost(const PlayerHost&) = delete;
  PlayerHost& operator=(const PlayerHost&) = delete;

  void AddSyncRow(const std::string& title, const std::string& path, bool checked);
  // The settings dialog's automatic-sync box and the custom page's playlist ticks.
  void SetSettings(bool automatic, const std::vector<bool>& ticks);
  bool HasFilePathColumn() const;
  // What "Choose Columns" does when "File Path" is ticked and confirmed.
  void ShowPathColumn();
  // The combo box's entry: 0 "Removable Disk (D:)", 1 "iPod (E:)", 2 "iPod (F:)", 3 "iPod (G:)".
  void ChooseDevice(int entry) { ::SendMessageA(combo, CB_SETCURSEL, device_ = entry, 0); }
  // Destroys the Sync pane, and builds it anew when `shown` (the controls' handles change).
  void ShowSyncTab(bool shown);

  HWND main = nullptr, sync_list = nullptr, device_list = nullptr, combo = nullptr;
  HWND toolbar = nullptr, eject_host = nullptr, settings = nullptr;
  HWND start_sync = nullptr, stop_sync = nullptr;  // "Stop Sync" starts disabled
  int add_remove_messages = 0;  // the registration's announcements to running players
  // What reached the player's own handlers: its sync, its stop, the settings dialog's OK.
  int own_syncs = 0, own_stops = 0, settings_oks = 0;

  std::function<void(UINT)> main_seen;  // sees each message to the main window first

 private:
  HWND settings_box_ = nullptr, settings_list_ = nullptr, pane_parent_ = nullptr, pane_ = nullptr;
  int device_ = 1;
  std::vector<std::string> paths_;
};

// Someone else's procedure put on top of `window`'s chain, one to a window, counting the messages
// `counted` that reach it; one that comes round again while it passes goes to DefWindowProc,
// ending the loop. It leaves, as its owner would, only from the top of the chain.
void SubclassAfter(HWND window, UINT counted);
int ForeignPasses(HWND window);
void LeaveChain(HWND window);

// The player's object model: a core with a playlist collection and a media collection of items
// whose attributes the test sets. Objects live as long as the fake; their reference counts are
// kept so that a test can see that everything handed out was given back. They belong to the
// thread that made the fake, and count every call that comes on another.
struct MediaSpec {
  std::wstring name, url;
  std::map<std::wstring, std::wstring> info;  // "FileType", "Author", "WM/AlbumTitle", ...
};

class Player {
 public:
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void* core();                   // an IWMPCore*
  int AddMedia(MediaSpec media);  // answers its index
  void AddPlaylist(const std::wstring& name, const std::vector<int>& media);
  int CountPlaylists(const std::wstring& name) const;
  long LiveReferences() const;  // handed out and not yet released, over all objects
  int TakeCallsElsewhere();     // calls on another thread since the last take

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The test program's folder, and a function `module` exports.
inline std::filesystem::path HostFolder() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}
template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

int AddRow(HWND list, const std::string& text, bool checked);
void AddColumn(HWND list, int index, const char* text, int width = 100);
// Waits for `handle` while dispatching this thread's messages; false after `ms`.
bool WaitPumping(HANDLE handle, DWORD ms);
inline void Pump(DWORD ms) { WaitPumping(nullptr, ms); }

// Pixels of a rectangle, top row first.
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> rgb;
  COLORREF at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
  // Pixels of `colour` in the rectangle [x0, x1) x [y0, y1).
  int Count(COLORREF colour, int x0, int y0, int x1, int y1) const;
};
inline RECT ScreenRect(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return r;
}
// What the screen shows of `area` (screen coordinates).
Pixels CaptureScreen(const RECT& area);
// What `window` paints for WM_PRINTCLIENT, on white.
Pixels PrintClient(HWND window);
// As a BMP file `name`.bmp in $TUNEWELL_SCREENSHOT_DIR, when that is set.
void SaveScreenshot(const Pixels& pixels, const std::string& name);

}  // namespace tunewell::fake

// The controls of the stand-in latchkey.dll that tests use besides its six exports.
extern "C" {

// Written by the test only while no event runs; read by it once the event's worker has ended.
struct StandinState {
  int installs;  // installhook calls
  void* context;
  int root_queries;  // GetIPodRootDirectory calls
  int stops;         // StopAutomaticSyncProcess calls
  char root[8];      // what GetIPodRootDirectory reports; "" for no iPod
  HWND sync_list, device_list, settings, combo;
};

// Calls the installed callback with `code` from a thread of the library's own, as the real
// library does; answers the worker handle the callback returned (the caller closes it).
typedef HANDLE(__cdecl* StandinRaiseEventFn)(int code);
typedef StandinState*(__cdecl* StandinStateFn)(void);

}  // extern "C"
