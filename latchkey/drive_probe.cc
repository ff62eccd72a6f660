#include "latchkey/drive_probe.h"

#include <mutex>
#include <string>

namespace tunewell::latchkey {

namespace {

// No "insert a disk" box while probing: per thread where the system allows it (Windows 7 on),
// else for the process, and put back afterwards either way.
class NoCriticalErrorBoxes {
 public:
  NoCriticalErrorBoxes() {
    if (set_thread_ != nullptr) {
      set_thread_(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_);
    } else {
      old_ = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
      ::SetErrorMode(old_ | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }
  }
  ~NoCriticalErrorBoxes() {
    if (set_thread_ != nullptr) {
      set_thread_(old_, nullptr);
    } else {
      ::SetErrorMode(old_);
    }
  }
  NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
  NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

 private:
  using SetThreadErrorModeFn = BOOL(WINAPI*)(DWORD, DWORD*);
  static inline const SetThreadErrorModeFn set_thread_ =
      reinterpret_cast<SetThreadErrorModeFn>(reinterpret_cast<void (*)()>(
          ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
  DWORD old_ = 0;
};

// The process-wide mode is shared: two probes must not put back each other's.
std::mutex g_probe_mutex;

bool HoldsIPod(char letter) {
  const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
  switch (::GetDriveTypeW(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
      break;
    default:
      return false;
  }
  const std::wstring folder = std::wstring(root) + L"iPod_Control\\iTunes";
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

DriveMask ProbeIPodDrives(DriveMask candidates) {
  const std::lock_guard<std::mutex> lock(g_probe_mutex);
  const NoCriticalErrorBoxes quiet;
  // A: and B: are floppy drives whatever else the system says of them.
  const DriveMask mounted = ::GetLogicalDrives() & candidates & ~(DriveBit('A') | DriveBit('B'));
  DriveMask found = 0;
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if ((mounted & DriveBit(letter)) != 0 && HoldsIPod(letter)) found |= DriveBit(letter);
  }
  return found;
}

char SoleDrive(DriveMask mask) {
  if (mask == 0 || (mask & (mask - 1)) != 0) return 0;
  char letter = 'A';
  while ((mask & DriveBit(letter)) == 0) ++letter;
  return letter;
}

}  // namespace tunewell::latchkey
