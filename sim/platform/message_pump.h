// Delivers the window messages waiting for the calling thread. The host does this between its
// timer ticks; quorvane-sim, standing in for the host, must too, or the extension's window (which
// lives on the host's main thread) would never paint or answer.
#pragma once

namespace quorvane::platform {

// Dispatches every message waiting now and returns; nothing to do where there are no windows.
void PumpWindowMessages();

// True where the extension has a window to show (the Windows build).
bool SystemHasWindows();

}  // namespace quorvane::platform
