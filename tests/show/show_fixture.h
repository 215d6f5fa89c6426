// The extension's core over a fresh host simulator on virtual clocks, its server closed. Tick() is
// the core's own timer tick.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/core.h"
#include "host/host_api.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "practise/practise_session.h"
#include "show/setlist.h"
#include "ui/pages.h"
#include "show/show_engine.h"
#include "sim/sim_host.h"
#include "ui/plugin_ui.h"
#include "ui/window_port.h"

namespace quorvane::show::test {

// Stands in for the window: a count of what the views were asked for.
class FakeWindow : public ui::WindowPort {
 public:
  int liveListRebuilds = 0;
  int transportRefreshes = 0;
  int syncs = 0;
  int autoStartResets = 0;
  int setlistRebuilds = 0;
  std::vector<ui::UiPage> enteredPages;

  void ShowAutoStart(bool reset) override {
    if (reset) ++autoStartResets;
  }
  void EnterPage(ui::UiPage page) override { enteredPages.push_back(page); }
  void SyncWindow() override { ++syncs; }
  void RebuildSetlistViews() override { ++setlistRebuilds; }
  void RefreshLiveTransport() override { ++transportRefreshes; }
  void RebuildLiveList() override { ++liveListRebuilds; }
};

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(core.Init());
    // The first tick finds the project open, as after a load; the tests set up after it and count
    // only what they caused.
    core.Tick();
    host.ClearCalls();
  }

  void Tick() { core.Tick(); }
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
  }

  sim::Host host;
  core::Core core{host.Info()->GetFunc, core::CoreOptions::Closed()};
  host::HostApi& api = core.Host();
  const platform::Clock& clock = core.Clock();
  const platform::MessageBoxes& messages = core.Messages();
  Setlist& setlist = core.Setlist();
  ui::PluginUI& ui = core.Ui();
  practise::PractiseSession& practise = core.Practise();
  ShowEngine& engine = core.Engine();
};

}  // namespace quorvane::show::test
