#include "sim/app/session.h"

#include <algorithm>
#include <thread>

#include "sim/platform/message_pump.h"

namespace quorvane::sim {

std::string ProjectName(const Host& host) {
  const std::string& path = host.Project().path;
  const size_t slash = path.find_last_of("/\\");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

ShowSession::ShowSession(Host& host, EntryFunction entry, HINSTANCE instance)
    : host_(host), entry_(entry), instance_(instance) {}

ShowSession::~ShowSession() {
  Unload();
}

bool ShowSession::Load() {
  if (loaded_ || !entry_) return loaded_;
  loaded_ = entry_(instance_, host_.Info()) == 1;
  if (loaded_) {
    host_.Tick();
    AfterTick();
  }
  return loaded_;
}

void ShowSession::Unload() {
  if (!loaded_) return;
  entry_(instance_, nullptr);
  loaded_ = false;
}

void ShowSession::Advance(int64_t ms) {
  while (ms > 0) {
    const int64_t step = std::min(ms, kTickMs);
    host_.Run(step, step);  // with the wakes between ticks and the one-shot timer on time
    AfterTick();
    ms -= step;
  }
}

void ShowSession::TickHeld() {
  host_.DeliverMessages();
  if (loaded_) host_.Tick();
  AfterTick();
}

bool ShowSession::RunAction(const std::string& name) {
  if (!loaded_ || host_.CommandId(name) == 0) return false;
  host_.RunAction(name);
  observer_.Update(host_);
  return true;
}

void ShowSession::AfterTick() {
  ++ticks_;
  observer_.Update(host_);
  // The extension's window, where there is one, lives on this thread: its messages are ours to
  // deliver between ticks, as the host's message loop does.
  platform::PumpWindowMessages();
}

Pacer::Pacer(double speed) : speed_(speed), start_(RealClock::now()) {}

double Pacer::RealSeconds() const {
  return std::chrono::duration<double>(RealClock::now() - start_).count();
}

int64_t Pacer::Owed() const {
  if (IsUnpaced()) return INT64_MAX / 4;
  const RealClock::time_point now = holding_ ? holdStart_ : RealClock::now();
  const double runningMs = std::chrono::duration<double, std::milli>(now - start_ - held_).count();
  return static_cast<int64_t>(runningMs * speed_) - used_;
}

void Pacer::WaitUntilOwed(int64_t virtualMs) const {
  if (IsUnpaced()) return;
  const int64_t missing = virtualMs - Owed();
  if (missing <= 0) return;
  const auto realMs = static_cast<int64_t>(static_cast<double>(missing) / speed_) + 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(realMs));
}

void Pacer::Forgive(int64_t keepMs) {
  if (IsUnpaced()) return;
  const int64_t owed = Owed();
  if (owed > keepMs) used_ += owed - keepMs;
}

void Pacer::Hold() {
  if (holding_) return;
  holding_ = true;
  holdStart_ = RealClock::now();
}

void Pacer::Resume() {
  if (!holding_) return;
  holding_ = false;
  held_ += RealClock::now() - holdStart_;
}

}  // namespace quorvane::sim
