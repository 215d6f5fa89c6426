#include "ui/callback_binding.h"

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "practise/track_manager.h"
#include "ui/pages.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/plugin_ui.h"

namespace quorvane::ui {

void ConfigurePluginUI(PluginUI& ui, show::Setlist& setlist, show::ShowEngine& engine,
                       practise::PractiseSession& practise, host::HostApi& host) {
  ui.setlist = &setlist;
  if (ui.window) ui.window->RebuildSetlistViews();

  CallbackSlots& slots = ui.slots;
  slots.onLiveMode = [&ui, &setlist, &engine, &practise] {
    if (!setlist.Empty()) {
      ShowLivePage(ui, practise, engine.Status());
    } else {
      ShowSetupPage(ui);
    }
  };
  slots.onPractiseMode = [&ui, &practise] { ShowPractisePage(ui, practise); };
  slots.onExitMode = [&ui, &engine] {
    engine.ResetShow();
    ui.ClearPlayedItems();
    engine.ResetAutoStart();
    engine.ResetAutoStartClock();
    ShowModeSelectPage(ui);
  };
  slots.onStartShow = [&ui, &engine] {
    engine.StartShow();
    engine.SnapshotShowState();
    SyncWindowState(ui, engine.Snapshot());
  };
  slots.onEndShow = [&engine] { engine.EndShow(); };
  slots.onPlayNext = [&engine] { engine.PlayNext(); };
  slots.onStop = [&engine] { engine.StopLive(); };
  slots.onPlaySelected = [&engine] { engine.PlayCurrent(); };
  slots.onSelectItem = [&engine](int32_t index) { engine.SelectSong(index); };
  slots.onShowSetup = [&ui] { ShowSetupPage(ui); };
  slots.onBackToLive = [&ui, &engine, &practise] { ShowLivePage(ui, practise, engine.Status()); };
  slots.onPractisePlay = [&practise] { practise.StartPractise(); };
  slots.onPractiseStop = [&practise] { practise.StopPractise(); };
  slots.onLoopToggled = [&practise] { practise.OnLoopToggled(); };
  slots.onSoundCheckMode = [&ui, &practise] { ShowSoundCheckPage(ui, practise); };
  slots.getBackingTracks = [&host] { return practise::ListProjectTracks(host); };
  slots.onTrackMute = [&host](int32_t track, bool muted) {
    return practise::SetTrackMute(host, track, muted);
  };
  slots.onTrackSolo = [&host](int32_t track, bool soloed) {
    return practise::SetTrackSolo(host, track, soloed);
  };
  slots.onShowDurationChanged = [&engine](double seconds) { engine.SetShowDuration(seconds); };
}

}  // namespace quorvane::ui
