// The message-only window that wakes the host's main thread: a post from another thread and the
// one-shot timer are dispatched by the thread's message loop, and nothing is left after it goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/main_thread_wake.h"
#include "sim/platform/message_pump.h"

namespace {

using quorvane::platform::MainThreadWake;
using quorvane::platform::WakeReason;

struct Wakes {
  int posted = 0;
  int timer = 0;
};

void Count(void* target, int reason) {
  auto* wakes = static_cast<Wakes*>(target);
  (reason == static_cast<int>(WakeReason::kTimer) ? wakes->timer : wakes->posted)++;
}

template <class Condition>
bool PumpUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    quorvane::platform::PumpWindowMessages();
  }
  return done();
}

HWND WakeWindow() {
  return FindWindowExW(HWND_MESSAGE, nullptr, L"QuorvaneMainThreadWake", nullptr);
}

TEST(MainThreadWakeWindow, PostsFromAnotherThreadAndTheOneShotTimerReachTheMainThread) {
  Wakes wakes;
  {
    MainThreadWake wake(nullptr, &Count, &wakes);
    ASSERT_TRUE(wake.Available());
    ASSERT_NE(WakeWindow(), nullptr);
    std::thread([&wake] { wake.Post(); }).join();
    EXPECT_TRUE(PumpUntil([&] { return wakes.posted == 1; }));
    wake.ArmTimer(30);
    EXPECT_TRUE(PumpUntil([&] { return wakes.timer == 1; }));
    Sleep(200);  // one shot: it does not come again
    quorvane::platform::PumpWindowMessages();
    EXPECT_EQ(wakes.timer, 1);
    wake.Post();  // in flight when the wake goes
  }
  EXPECT_EQ(WakeWindow(), nullptr);
  quorvane::platform::PumpWindowMessages();
  EXPECT_EQ(wakes.posted, 1);
}

}  // namespace
