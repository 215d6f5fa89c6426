#include <pthread.h>

#include "platform/preview_lock.h"

namespace quorvane::platform {

void InitPreviewLock(PreviewLock* lock) {
  pthread_mutex_init(lock, nullptr);
}

void DeletePreviewLock(PreviewLock* lock) {
  pthread_mutex_destroy(lock);
}

bool ProbePreviewLock(PreviewLock* lock) {
  if (pthread_mutex_trylock(lock) != 0) return false;
  pthread_mutex_unlock(lock);
  return true;
}

}  // namespace quorvane::platform
