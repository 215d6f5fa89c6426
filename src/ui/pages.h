// The page switches and the per-tick window sync, the part that holds without a window: the page
// in the window state record, the practise selection and the play rate. When a window exists it
// then does its own part (hide, lay out, refresh, redraw) through the window seam.
#pragma once

#include "show/show_snapshot.h"
#include "ui/plugin_ui.h"

namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::ui {

void ShowModeSelectPage(PluginUI& ui);
// The play button's choice is the engine's: the operations that open the page set it first.
void ShowLivePage(PluginUI& ui, practise::PractiseSession& practise);
void ShowSetupPage(PluginUI& ui);
void ShowPractisePage(PluginUI& ui, practise::PractiseSession& practise);
void ShowSoundCheckPage(PluginUI& ui, practise::PractiseSession& practise);
void ShowOptionsPage(PluginUI& ui);
void ShowAboutPage(PluginUI& ui);

// Takes the engine's snapshot into the window state; a finished show turns the live page into
// the FINISHED page. Then the window refreshes itself.
void SyncWindowState(PluginUI& ui, const show::ShowSnapshot& engineSnapshot);

}  // namespace quorvane::ui
