// The lock inside the host's preview record: a CRITICAL_SECTION on Windows, a mutex elsewhere.
#pragma once

#include "host/reaper_api.h"

namespace quorvane::platform {

void InitPreviewLock(PreviewLock* lock);
void DeletePreviewLock(PreviewLock* lock);
// Takes and releases the lock at once; true when it could be taken (used by the simulator to
// check that the record it is handed has a working lock).
bool ProbePreviewLock(PreviewLock* lock);

}  // namespace quorvane::platform
