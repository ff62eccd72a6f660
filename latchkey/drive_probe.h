#pragma once

// Which drives hold an iPod: a volume whose root has iPod_Control\iTunes. Probing may wait on a
// slow or empty drive: only the library's thread and the plug-in's workers call it.

#include <windows.h>

namespace tunewell::latchkey {

// One bit a drive letter, A in bit 0.
using DriveMask = DWORD;

inline DriveMask DriveBit(char letter) { return DriveMask{1} << (letter - 'A'); }

// The iPod drives among `candidates` (all mounted drives by default). Never a floppy, a network
// drive or an optical drive, and never a "no disk" prompt.
DriveMask ProbeIPodDrives(DriveMask candidates = ~DriveMask{0});

// 'X' for the one drive of `mask`, 0 when it holds none or several.
char SoleDrive(DriveMask mask);

}  // namespace tunewell::latchkey
