#include "ui/ui_page.h"

namespace quorvane::ui {

const char* PageName(UiPage page) {
  switch (page) {
    case UiPage::kModeSelect:
      return "MODE_SELECT";
    case UiPage::kLive:
      return "LIVE";
    case UiPage::kSetlistSetup:
      return "SETLIST_SETUP";
    case UiPage::kPractise:
      return "PRACTISE";
    case UiPage::kAbout:
      return "ABOUT";
    case UiPage::kOptions:
      return "OPTIONS";
    case UiPage::kSoundCheck:
      return "SOUND_CHECK";
    case UiPage::kFinished:
      return "FINISHED";
  }
  // A value that names no page (remote clients only ever see the names above).
  return "UNKNOWN";
}

}  // namespace quorvane::ui
