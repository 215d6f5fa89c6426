// The lock inside the host's preview record: a CRITICAL_SECTION on Windows, a mutex elsewhere.
#pragma once

#ifndef _WIN32
#include <pthread.h>
#endif

namespace quorvane::platform {

#ifdef _WIN32
// Layout of a CRITICAL_SECTION on x64; preview_lock_win32.cpp checks it against the real one.
struct PreviewLock {
  alignas(8) unsigned char bytes[40];
};
#else
using PreviewLock = pthread_mutex_t;
#endif

void InitPreviewLock(PreviewLock* lock);
void DeletePreviewLock(PreviewLock* lock);
// Takes and releases the lock at once; true when it could be taken (the simulator checks with it
// that a record it is handed has a working lock).
bool ProbePreviewLock(PreviewLock* lock);

}  // namespace quorvane::platform
