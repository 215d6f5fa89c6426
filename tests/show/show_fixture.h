// A show engine wired to a fresh host simulator on virtual clocks. The timer tick is not ours, so
// the fixture runs the engine's steps itself, in the tick's order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_api.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "practise/practise_session.h"
#include "show/pages.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "sim/sim_host.h"
#include "ui/plugin_ui.h"
#include "ui/window_port.h"

namespace quorvane::show::test {

// Stands in for the window: the auto-start controls and a count of what the engine asked for.
class FakeWindow : public ui::WindowPort {
 public:
  bool autoStartEnabled = false;
  int hour = -1;
  int minute = -1;
  int liveListRebuilds = 0;
  int transportRefreshes = 0;
  int syncs = 0;
  int autoStartResets = 0;
  int setlistRebuilds = 0;
  std::vector<ui::UiPage> enteredPages;

  bool IsAutoStartEnabled() const override { return autoStartEnabled; }
  void GetAutoStartSelection(int* h, int* m) const override {
    *h = hour;
    *m = minute;
  }
  void ResetAutoStart() override {
    ++autoStartResets;
    autoStartEnabled = false;
    hour = 0;
    minute = 0;
  }
  void EnterPage(ui::UiPage page) override { enteredPages.push_back(page); }
  void SyncWindow() override { ++syncs; }
  void RebuildSetlistViews() override { ++setlistRebuilds; }
  void RefreshLiveTransport() override { ++transportRefreshes; }
  void RebuildLiveList() override { ++liveListRebuilds; }
};

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(api.Bind(host.Info()->GetFunc)); }

  // One timer tick's worth of the engine, with the practise tick where the timer puts it.
  void Tick() {
    engine.Tick();
    practise.PractiseTick();
    engine.UpdateShowTiming();
    engine.SnapshotShowState();
    SyncWindowState(ui, engine.Snapshot());
  }
  void RunFor(int64_t ms, int64_t tickMs = 33) {
    for (int64_t done = 0; done < ms; done += tickMs) {
      host.Advance(tickMs);
      Tick();
    }
  }

  std::string Key(const std::string& key) const { return host.ExtState("Quorvane", key); }
  std::vector<sim::HostCall> SeekPlayCalls() const {
    std::vector<sim::HostCall> found;
    for (const sim::HostCall& call : host.CallsTo("SetEditCurPos")) {
      if (call.seekPlay) found.push_back(call);
    }
    return found;
  }
  // Songs by region number; 0 stands for a pause. Built without the editing rules.
  void UseSetlist(const std::vector<int>& regions, const std::vector<int>& autoStarts = {}) {
    setlist.Clear();
    for (int region : regions) {
      setlist.Append(region == 0 ? SetlistItem::Pause() : SetlistItem::Song(region));
    }
    for (int index : autoStarts)
      ASSERT_TRUE(setlist.ToggleAutoStart(index));
    setlist.MakeCurrent(setlist.Empty() ? -1 : 0);
    ui.setlist = &setlist;
  }

  sim::Host host;
  host::HostApi api;
  platform::Clock clock{host.ClockSource()};
  platform::MessageBoxes messages{host.MessageSink()};
  Setlist setlist;
  ui::PluginUI ui;
  practise::PractiseSession practise{api, clock, messages, ui, nullptr};
  ShowEngine engine{api, clock, messages, setlist, ui, practise};
};

}  // namespace quorvane::show::test
