// The window's dark palette. Every colour the pages, buttons and rows are painted with is named
// here, so that one look runs through all of them.
#pragma once

#include "window/gdi.h"

namespace quorvane::window::colour {

inline constexpr COLORREF kWindow = Rgb(26, 26, 26);
inline constexpr COLORREF kMenuBackground = Rgb(0, 0, 0);
inline constexpr COLORREF kList = Rgb(21, 21, 21);
inline constexpr COLORREF kPanel = Rgb(34, 34, 34);
inline constexpr COLORREF kPanelEdge = Rgb(51, 51, 51);
inline constexpr COLORREF kHeading = Rgb(143, 143, 143);
inline constexpr COLORREF kBrightText = Rgb(235, 235, 235);
inline constexpr COLORREF kCheck = Rgb(225, 225, 225);
inline constexpr COLORREF kCheckFrame = Rgb(155, 155, 155);
inline constexpr COLORREF kLabelText = Rgb(190, 190, 190);
inline constexpr COLORREF kWhite = Rgb(255, 255, 255);
inline constexpr COLORREF kBlack = Rgb(0, 0, 0);

// A button's fill and edge.
struct ButtonColours {
  COLORREF fill;
  COLORREF edge;
};
inline constexpr ButtonColours kButton{Rgb(51, 51, 51), Rgb(85, 85, 85)};
inline constexpr ButtonColours kGo{Rgb(46, 122, 62), Rgb(68, 170, 85)};
inline constexpr ButtonColours kEnd{Rgb(61, 37, 37), Rgb(136, 68, 68)};
inline constexpr ButtonColours kStop{Rgb(122, 41, 41), Rgb(170, 68, 68)};
inline constexpr ButtonColours kReplay{Rgb(122, 96, 24), Rgb(220, 175, 45)};
inline constexpr ButtonColours kDisabled{Rgb(42, 42, 42), Rgb(58, 58, 58)};
inline constexpr COLORREF kDisabledText = Rgb(105, 105, 105);
inline constexpr COLORREF kPressed = Rgb(0, 170, 254);
inline constexpr ButtonColours kPressedGo{Rgb(68, 170, 85), Rgb(100, 205, 115)};
inline constexpr ButtonColours kPressedReplay{Rgb(220, 175, 45), Rgb(245, 205, 80)};
inline constexpr COLORREF kToggleRing = Rgb(255, 205, 0);

inline constexpr COLORREF kAccent = Rgb(68, 255, 68);
inline constexpr COLORREF kLiveSelection = Rgb(51, 43, 26);
inline constexpr COLORREF kSetlistSelection = Rgb(34, 51, 42);
inline constexpr COLORREF kRowNumber = Rgb(130, 130, 130);
inline constexpr COLORREF kRowNumberPlayed = Rgb(100, 100, 100);
inline constexpr COLORREF kDuration = Rgb(130, 160, 200);
inline constexpr COLORREF kDurationPlayed = Rgb(90, 110, 130);
inline constexpr COLORREF kStrike = Rgb(150, 150, 150);
inline constexpr COLORREF kSeparator = Rgb(37, 37, 37);
inline constexpr COLORREF kGlyphText = Rgb(180, 180, 180);
inline constexpr COLORREF kGlyphOn = Rgb(36, 96, 55);
inline constexpr COLORREF kDangerText = Rgb(255, 120, 120);
inline constexpr COLORREF kTrackText = Rgb(205, 205, 205);
inline constexpr ButtonColours kMuteOn{Rgb(180, 40, 40), Rgb(220, 70, 70)};
inline constexpr ButtonColours kSoloOn{Rgb(190, 155, 30), Rgb(235, 200, 70)};
inline constexpr COLORREF kInfoWarning = Rgb(255, 170, 0);
inline constexpr COLORREF kDelay = Rgb(255, 0, 0);
inline constexpr COLORREF kCountdown = Rgb(220, 190, 70);
inline constexpr COLORREF kLiveTimer = Rgb(224, 224, 224);
inline constexpr COLORREF kSetupText = Rgb(220, 220, 220);
inline constexpr COLORREF kAboutText = Rgb(230, 230, 230);
inline constexpr COLORREF kAboutHeading = Rgb(245, 245, 245);
inline constexpr COLORREF kScrollTrack = Rgb(45, 45, 45);
inline constexpr COLORREF kScrollThumb = Rgb(110, 110, 110);

}  // namespace quorvane::window::colour
