// The extension running in the simulated host as the real host runs it: loaded through its entry
// point, its timer called about 30 times a second of virtual time, its actions run by name, and
// unloaded at the end. A Pacer ties the virtual clock to real time at a chosen speed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "host/reaper_api.h"
#include "sim/app/show_observer.h"
#include "sim/sim_host.h"

namespace quorvane::sim {

using EntryFunction = int (*)(HINSTANCE instance, reaper_plugin_info_t* rec);

// The current project's name as the extension tells remote apps: its file name without folder and
// extension.
std::string ProjectName(const Host& host);

class ShowSession {
 public:
  static constexpr int64_t kTickMs = 33;  // the host's timer runs about 30 times a second

  ShowSession(Host& host, EntryFunction entry, HINSTANCE instance);
  ~ShowSession();  // unloads when still loaded
  ShowSession(const ShowSession&) = delete;
  ShowSession& operator=(const ShowSession&) = delete;

  // Calls the entry point with the host's record; true when the extension accepted (returned 1).
  // The first tick follows at once, so that the extension takes up the project.
  bool Load();
  // Calls the entry point with null, as the host does when it unloads the library.
  void Unload();
  bool IsLoaded() const { return loaded_; }

  // Moves the virtual clock on by `ms` in ticks of at most kTickMs, watching the host after each.
  void Advance(int64_t ms);
  // One tick without moving the clock: remote commands queued since the last tick run and the
  // state is offered to the clients, while the show stands still.
  void TickHeld();
  // Runs an action by its command name, as the host's action list does; false when no such
  // action is registered.
  bool RunAction(const std::string& name);

  Host& GetHost() { return host_; }
  const Host& GetHost() const { return host_; }
  ShowObserver& Observer() { return observer_; }
  const ShowObserver& Observer() const { return observer_; }
  int64_t Ticks() const { return ticks_; }

 private:
  void AfterTick();

  Host& host_;
  EntryFunction entry_;
  HINSTANCE instance_;
  bool loaded_ = false;
  int64_t ticks_ = 0;
  ShowObserver observer_;
};

// Keeps virtual time at `speed` times real time: it tells how much virtual time real time allows
// so far and sleeps when the show is ahead. A speed of 0 runs as fast as the machine can.
class Pacer {
 public:
  using RealClock = std::chrono::steady_clock;

  explicit Pacer(double speed);

  bool IsUnpaced() const { return speed_ <= 0.0; }
  double Speed() const { return speed_; }
  // Virtual milliseconds that real time allows and that were not used yet.
  int64_t Owed() const;
  void Use(int64_t virtualMs) { used_ += virtualMs; }
  // Sleeps until `virtualMs` are owed; returns at once when unpaced.
  void WaitUntilOwed(int64_t virtualMs) const;
  // Forgets what is owed beyond `keepMs`, so that a stall (a debugger, a busy machine) is not
  // made up in one burst.
  void Forgive(int64_t keepMs);
  // Real time between Hold and Resume is not owed afterwards: the show stood still meanwhile.
  void Hold();
  void Resume();
  // Real seconds since construction.
  double RealSeconds() const;

 private:
  double speed_;
  RealClock::time_point start_;
  RealClock::duration held_{};
  RealClock::time_point holdStart_{};
  bool holding_ = false;
  int64_t used_ = 0;
};

}  // namespace quorvane::sim
