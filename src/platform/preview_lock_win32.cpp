#include <windows.h>

#include <cstddef>

#include "platform/preview_lock.h"

namespace quorvane::platform {

static_assert(sizeof(PreviewLock) == sizeof(CRITICAL_SECTION), "the lock is a CRITICAL_SECTION");
static_assert(alignof(PreviewLock) >= alignof(CRITICAL_SECTION), "preview lock alignment");

void InitPreviewLock(PreviewLock* lock) {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock));
}

void DeletePreviewLock(PreviewLock* lock) {
  DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock));
}

bool ProbePreviewLock(PreviewLock* lock) {
  auto* section = reinterpret_cast<CRITICAL_SECTION*>(lock);
  if (!TryEnterCriticalSection(section)) return false;
  LeaveCriticalSection(section);
  return true;
}

}  // namespace quorvane::platform
