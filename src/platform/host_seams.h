// Seams that the simulator offers through the host record's GetFunc, under names the real host
// does not have. Bound once at load: when present the extension reads the simulator's virtual
// clocks and hands its messages to the simulator; with the real host GetFunc answers null for
// them and the operating system's clocks and message boxes are used.
#pragma once

namespace quorvane::platform {

// GetFunc(kClockSourceName) returns a `const ClockSource*` (platform/clock.h).
inline constexpr const char* kClockSourceName = "QuorvaneSim_ClockSource";
// GetFunc(kMessageSinkName) returns a `const MessageSink*` (platform/message_box.h).
inline constexpr const char* kMessageSinkName = "QuorvaneSim_MessageSink";
// GetFunc(kMainThreadWakeName) returns a `const WakeSource*` (platform/main_thread_wake.h).
inline constexpr const char* kMainThreadWakeName = "QuorvaneSim_MainThreadWake";

}  // namespace quorvane::platform
