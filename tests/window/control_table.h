// The window's control ids as the control table gives them, kept apart from the product's own
// header so that a test notices a control that moved to another id.
#pragma once

namespace quorvane::window_tests::ids {

inline constexpr int kLiveMode = 2100;
inline constexpr int kPractiseMode = 2101;
inline constexpr int kSoundCheckMode = 2205;
inline constexpr int kOptions = 2106;
inline constexpr int kAbout = 2103;
inline constexpr int kHideInterface = 2303;

inline constexpr int kStartShow = 1001;
inline constexpr int kEndShow = 1002;
inline constexpr int kPlayNext = 1003;
inline constexpr int kLiveStop = 1004;
inline constexpr int kPlaySelected = 1005;
inline constexpr int kShowSetup = 1006;
inline constexpr int kLiveList = 1007;
inline constexpr int kExitLive = 2105;

inline constexpr int kSetlistList = 2002;
inline constexpr int kAddSong = 2003;
inline constexpr int kSongBox = 2008;
inline constexpr int kAddPause = 2009;
inline constexpr int kExcessText = 2014;
inline constexpr int kAutoStartCheck = 2016;
inline constexpr int kDurationBox = 2019;
inline constexpr int kHourBox = 2024;
inline constexpr int kMinuteBox = 2026;

inline constexpr int kPractiseSong = 2200;
inline constexpr int kPractiseStart = 2201;
inline constexpr int kPractiseStopPoint = 2202;
inline constexpr int kPractisePlay = 2203;
inline constexpr int kMarkersList = 2210;
inline constexpr int kPractiseStop = 2211;
inline constexpr int kPrecount4 = 2212;
inline constexpr int kPrecount8 = 2213;
inline constexpr int kLoop = 2214;
inline constexpr int kRateBox = 2215;
inline constexpr int kExitPractise = 2104;
inline constexpr int kExitSoundCheck = 2402;

inline constexpr int kBackToMenu = 2300;
inline constexpr int kDonate = 2302;
inline constexpr int kExitOptions = 2310;
inline constexpr int kOptionMarkerNames = 2311;
inline constexpr int kOptionTimeSignature = 2312;
inline constexpr int kOptionLink = 2314;
inline constexpr int kOptionRigSingle = 2315;
inline constexpr int kOptionRigMain = 2316;
inline constexpr int kOptionRigBackup = 2317;
inline constexpr int kOptionRigMainAddress = 2318;

}  // namespace quorvane::window_tests::ids
