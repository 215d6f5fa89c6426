#include "show/pages.h"

#include "practise/practise_session.h"

namespace quorvane::show {
namespace {

void EnterPage(ui::PluginUI& ui, ui::UiPage page) {
  ui.page = page;
  if (ui.window) ui.window->EnterPage(page);
}

}  // namespace

void ShowModeSelectPage(ui::PluginUI& ui) {
  EnterPage(ui, ui::UiPage::kModeSelect);
}

void ShowLivePage(ui::PluginUI& ui, practise::PractiseSession& practise, ui::ShowStatus status) {
  practise.ResetRateToNormal();
  ui.page = ui::UiPage::kLive;
  // The page's own re-lay below shows the new choice; no separate refresh is needed.
  if (status == ui::ShowStatus::kPrepared) ui.liveTransport = ui::LiveTransport::kSelected;
  if (ui.window) ui.window->EnterPage(ui::UiPage::kLive);
}

void ShowSetupPage(ui::PluginUI& ui) {
  EnterPage(ui, ui::UiPage::kSetlistSetup);
}

void ShowPractisePage(ui::PluginUI& ui, practise::PractiseSession& practise) {
  ui.page = ui::UiPage::kPractise;
  practise.EnterPractisePage();
  if (ui.window) ui.window->EnterPage(ui::UiPage::kPractise);
}

void ShowSoundCheckPage(ui::PluginUI& ui, practise::PractiseSession& practise) {
  ui.page = ui::UiPage::kSoundCheck;
  practise.EnterSoundCheckPage();
  if (ui.window) ui.window->EnterPage(ui::UiPage::kSoundCheck);
}

void ShowOptionsPage(ui::PluginUI& ui) {
  EnterPage(ui, ui::UiPage::kOptions);
}

void ShowAboutPage(ui::PluginUI& ui) {
  ui.aboutScroll = 0;
  ui.aboutScrollMax = 0;
  EnterPage(ui, ui::UiPage::kAbout);
}

void SyncWindowState(ui::PluginUI& ui, const ui::ShowSnapshot& engineSnapshot) {
  ui.snapshot = engineSnapshot;
  if (ui.snapshot.status == ui::ShowStatus::kFinished && ui.IsLivePage()) {
    ui.page = ui::UiPage::kFinished;
  }
  if (ui.window) ui.window->SyncWindow();
}

}  // namespace quorvane::show
