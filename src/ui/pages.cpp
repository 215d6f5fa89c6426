#include "ui/pages.h"

#include "practise/practise_session.h"

namespace quorvane::ui {
namespace {

void EnterPage(PluginUI& ui, UiPage page) {
  ui.page = page;
  if (ui.window) ui.window->EnterPage(page);
}

}  // namespace

void ShowModeSelectPage(PluginUI& ui) {
  EnterPage(ui, UiPage::kModeSelect);
}

void ShowLivePage(PluginUI& ui, practise::PractiseSession& practise) {
  practise.ResetRateToNormal();
  ui.page = UiPage::kLive;
  if (ui.window) ui.window->EnterPage(UiPage::kLive);
}

void ShowSetupPage(PluginUI& ui) {
  EnterPage(ui, UiPage::kSetlistSetup);
}

void ShowPractisePage(PluginUI& ui, practise::PractiseSession& practise) {
  ui.page = UiPage::kPractise;
  practise.EnterPractisePage();
  if (ui.window) ui.window->EnterPage(UiPage::kPractise);
}

void ShowSoundCheckPage(PluginUI& ui, practise::PractiseSession& practise) {
  ui.page = UiPage::kSoundCheck;
  practise.EnterSoundCheckPage();
  if (ui.window) ui.window->EnterPage(UiPage::kSoundCheck);
}

void ShowOptionsPage(PluginUI& ui) {
  EnterPage(ui, UiPage::kOptions);
}

void ShowAboutPage(PluginUI& ui) {
  ui.aboutScroll = 0;
  ui.aboutScrollMax = 0;
  EnterPage(ui, UiPage::kAbout);
}

void SyncWindowState(PluginUI& ui, const show::ShowSnapshot& engineSnapshot) {
  ui.snapshot = engineSnapshot;
  if (ui.snapshot.status == show::ShowStatus::kFinished && ui.IsLivePage()) {
    ui.page = UiPage::kFinished;
  }
  if (ui.window) ui.window->SyncWindow();
}

}  // namespace quorvane::ui
