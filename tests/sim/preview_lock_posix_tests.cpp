// A preview record whose lock is held cannot be played (posix: a mutex locked by this thread
// cannot be taken again; a CRITICAL_SECTION is recursive, so the check is only meaningful here).
#include <gtest/gtest.h>
#include <pthread.h>

#include "platform/preview_lock.h"
#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

TEST(SimPreviewLock, AHeldLockIsRefused) {
  Host host;
  const std::string wave = testing::WriteWaveFile("lock", 0.5);
  auto create = testing::Bind<hostfn::PCM_Source_CreateFromFile>(host, "PCM_Source_CreateFromFile");
  auto destroy = testing::Bind<hostfn::PCM_Source_Destroy>(host, "PCM_Source_Destroy");
  auto play = testing::Bind<hostfn::PlayPreviewEx>(host, "PlayPreviewEx");
  auto stop = testing::Bind<hostfn::StopPreview>(host, "StopPreview");
  preview_register_t record{};
  platform::InitPreviewLock(&record.lock);
  record.src = create(wave.c_str());
  record.volume = 1.0;
  pthread_mutex_lock(&record.lock);
  EXPECT_EQ(play(&record, 0, 0.0), 0);
  pthread_mutex_unlock(&record.lock);
  ASSERT_NE(play(&record, 0, 0.0), 0);
  // Held while playing: the host's audio thread notices.
  pthread_mutex_lock(&record.lock);
  host.Advance(10);
  pthread_mutex_unlock(&record.lock);
  EXPECT_EQ(host.Problems().size(), 2u);
  stop(&record);
  destroy(record.src);
  platform::DeletePreviewLock(&record.lock);
  testing::RemoveFile(wave);
}

}  // namespace
}  // namespace quorvane::sim
