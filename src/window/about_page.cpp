#include "window/about_page.h"

#include <shellapi.h>

#include <algorithm>

#include "ui/pages.h"
#include "window/control_ids.h"
#include "window/images.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

constexpr wchar_t kDonationAddress[] = L"https://example.org/donate";
constexpr int kWheelStep = 48;

const wchar_t* const kIntroduction[] = {
    L"KALVERN LIVE PLAYBACK SYSTEM turns your project into the playback rig of a live show.",
    L"Every region of the project is a song; the setlist you build is saved inside the project.",
    L"Run the show from one big button, with the show clock and any delay always in sight.",
    L"Rehearse any section at your own pace, with loop and a click that counts you in.",
    L"Check the sound with the project's tracks at hand, and drive it all from a remote app.",
};

struct Paragraph {
  const wchar_t* text;
  int gap;  // pixels below it
};

struct Section {
  const wchar_t* heading;
  std::initializer_list<Paragraph> paragraphs;
};

const Section kSections[] = {
    {L"LIVE MODE",
     {{L"Build the show on the SHOW SETUP page: pick songs from the project's regions, add "
       L"pauses where the band needs a break, and set how long the show may run.",
       6},
      {L"The setlist is kept inside the project, so it is there again the next time the project "
       L"is opened.",
       6},
      {L"Click a song in the list and press PLAY SELECTED SONG to play it on its own, or press "
       L"START SHOW to begin the show: the first song starts at once and the show clock runs.",
       6},
      {L"After each song the big button offers the next one. Songs marked with the A cell follow "
       L"the song before them without a gap.",
       6},
      {L"When the songs still to play no longer fit in the time that is left, a red DELAY line "
       L"shows by how much the show will run over.",
       10}}},
    {L"PRACTISE MODE",
     {{L"Choose any song of the project and where to start and stop: at its beginning, its end "
       L"or any of its named markers.",
       6},
      {L"Named markers inside a region become the song's sections in the STRUCTURE list, which "
       L"follows the music while it plays.",
       6},
      {L"A click of four or eight beats can count you in, and LOOP repeats the section until you "
       L"press STOP.",
       6},
      {L"Slow a hard passage down, or speed it up, with the playback rate.", 9}}},
    {L"SOUND-CHECK MODE",
     {{L"Play songs or sections during the sound check while keeping the project's tracks at "
       L"hand: every track is listed under its folder, with M to mute it and S to solo it.",
       9}}},
    {L"REMOTE CONTROL",
     {{L"A remote app on the same network finds the running system by itself and offers the "
       L"same buttons as this window, so the show can be run from the stage.",
       0}}},
};

}  // namespace

void AboutPage::CreateControls() {
  backToMenu_ = Button(L"BACK TO MAIN PAGE", id::kBackToMenu);
  donate_ = Button(L"DONATE", id::kDonate);
  SetFont(backToMenu_, frame_.Fonts().normal22);
  SetFont(donate_, frame_.Fonts().normal22);
}

void AboutPage::ForgetControls() {
  backToMenu_ = nullptr;
  donate_ = nullptr;
}

void AboutPage::Enter() {
  frame_.LayoutPage();
  frame_.InvalidateAll(true);
}

void AboutPage::Layout(int w, int h) {
  Place(backToMenu_, 15, h - 48, (w - 38) / 2, 38);
  Place(donate_, (w - 38) / 2 + 23, h - 48, (w - 38) / 2, 38);
}

bool AboutPage::OnCommand(int id, int /*code*/, HWND /*control*/) {
  switch (id) {
    case id::kBackToMenu:
      ui::ShowModeSelectPage(ui_);
      return true;
    case id::kDonate:
      OpenDonationPage();
      return true;
    default:
      return false;
  }
}

void AboutPage::Paint(HDC dc, const RECT& client) {
  const int right = client.right - 33;
  const int bottom = client.bottom - 62;
  DrawImageFit(dc, frame_.AboutImage(), Rect(33, 24, 233, 224));

  OwnedFont body = MakeFont(13, FW_NORMAL, L"Segoe UI", FontQuality::kClearType);
  OwnedFont heading = MakeFont(15, FW_BOLD, L"Segoe UI", FontQuality::kClearType);
  OwnedFont title = MakeFont(17, FW_BOLD, L"Segoe UI", FontQuality::kClearType);
  const UINT wrapped = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
  const UINT oneLine = DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;

  int introBottom = 24;
  int y = 24;
  for (const wchar_t* text : kIntroduction) {
    const RECT place = Rect(248, y, right, 224);
    DrawTextIn(dc, text, place, wrapped, colour::kAboutText, body.Get());
    introBottom = MeasureWrappedBottom(dc, text, Rect(248, y, right, y + 10000), body.Get());
    y = introBottom + 4;
  }

  const int scrollTop = std::max(introBottom, 224) + 27;
  const int viewport = std::max(bottom - scrollTop, 1);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, 33, scrollTop, right, bottom);
  y = scrollTop - ui_.aboutScroll;
  DrawTextIn(dc, L"HOW TO USE", Rect(33, y, right, y + 30), oneLine, colour::kAboutHeading,
             title.Get());
  y += 36;
  bool first = true;
  for (const Section& section : kSections) {
    if (!first) y += 18;
    first = false;
    DrawTextIn(dc, section.heading, Rect(33, y, right, y + 30), oneLine, colour::kAboutHeading,
               heading.Get());
    y += 23;
    for (const Paragraph& paragraph : section.paragraphs) {
      const RECT place = Rect(33, y, right, y + 10000);
      DrawTextIn(dc, paragraph.text, place, wrapped, colour::kAboutText, body.Get());
      y = MeasureWrappedBottom(dc, paragraph.text, place, body.Get()) + paragraph.gap;
    }
  }
  RestoreDC(dc, saved);

  const int content = y + ui_.aboutScroll - scrollTop;
  ui_.aboutScrollMax = std::max(content - viewport, 0);
  if (ui_.aboutScroll > ui_.aboutScrollMax) ui_.aboutScroll = ui_.aboutScrollMax;
  if (ui_.aboutScrollMax > 0) {
    const int x = right - 5;
    FillRectColour(dc, Rect(x, scrollTop, x + 4, bottom), colour::kScrollTrack);
    const int thumb = std::max(viewport * viewport / std::max(viewport, content), 24);
    const int thumbTop =
        scrollTop + std::max(viewport - thumb, 0) * ui_.aboutScroll / ui_.aboutScrollMax;
    FillRectColour(dc, Rect(x, thumbTop, x + 4, thumbTop + thumb), colour::kScrollThumb);
  }
}

bool AboutPage::OnMouseWheel(int delta) {
  // The wheel is the about page's whether or not there is anything to scroll.
  if (ui_.aboutScrollMax < 1) return true;
  if (delta < 0) {
    ui_.aboutScroll = std::min(ui_.aboutScroll + kWheelStep, ui_.aboutScrollMax);
  } else if (delta > 0) {
    ui_.aboutScroll = std::max(ui_.aboutScroll - kWheelStep, 0);
  }
  frame_.InvalidateAll(true);
  return true;
}

void AboutPage::OpenDonationPage() {
  // Whether a browser opens is up to the system; nothing here depends on it.
  ShellExecuteW(Window(), L"open", kDonationAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace quorvane::window
