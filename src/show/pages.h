// The page switches and the per-tick window sync, the part that holds without a window: the page
// in the window state record, the practise selection and the play rate. When a window exists it
// then does its own part (hide, lay out, refresh, redraw) through the window seam.
#pragma once

#include "ui/plugin_ui.h"
#include "ui/show_snapshot.h"

namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::show {

void ShowModeSelectPage(ui::PluginUI& ui);
// `status` is the show's status now: a show not yet started offers to play the selected song.
void ShowLivePage(ui::PluginUI& ui, practise::PractiseSession& practise, ui::ShowStatus status);
void ShowSetupPage(ui::PluginUI& ui);
void ShowPractisePage(ui::PluginUI& ui, practise::PractiseSession& practise);
void ShowSoundCheckPage(ui::PluginUI& ui, practise::PractiseSession& practise);
void ShowOptionsPage(ui::PluginUI& ui);
void ShowAboutPage(ui::PluginUI& ui);

// Takes the engine's snapshot into the window state; a finished show turns the live page into
// the FINISHED page. Then the window refreshes itself.
void SyncWindowState(ui::PluginUI& ui, const ui::ShowSnapshot& engineSnapshot);

}  // namespace quorvane::show
