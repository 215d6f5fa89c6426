// The ids of the window's controls, as the command table routes them, and the private message
// the setlist list posts for a row action.
#pragma once

namespace quorvane::window::id {

// Menu.
inline constexpr int kLiveMode = 2100;
inline constexpr int kPractiseMode = 2101;
inline constexpr int kSoundCheckMode = 2205;
inline constexpr int kOptions = 2106;
inline constexpr int kAbout = 2103;
inline constexpr int kHideInterface = 2303;

// Live page.
inline constexpr int kStartShow = 1001;
inline constexpr int kEndShow = 1002;
inline constexpr int kPlayNext = 1003;
inline constexpr int kLiveStop = 1004;
inline constexpr int kPlaySelected = 1005;
inline constexpr int kShowSetup = 1006;
inline constexpr int kLiveList = 1007;
inline constexpr int kExitLive = 2105;

// Setup page.
inline constexpr int kSetlistList = 2002;
inline constexpr int kAddSong = 2003;
inline constexpr int kSongBox = 2008;
inline constexpr int kAddPause = 2009;
inline constexpr int kSongCountText = 2010;
inline constexpr int kSongCountExtra = 2011;
inline constexpr int kMusicTimeText = 2012;
inline constexpr int kMusicTimeExtra = 2013;
inline constexpr int kExcessText = 2014;
inline constexpr int kSetlistHeading = 2015;
inline constexpr int kAutoStartCheck = 2016;
inline constexpr int kAutoStartLabel = 2017;
inline constexpr int kDurationBox = 2019;
inline constexpr int kHourBox = 2024;
inline constexpr int kMinuteBox = 2026;

// Practise and sound-check pages.
inline constexpr int kPractiseSongBox = 2200;
inline constexpr int kPractiseStartBox = 2201;
inline constexpr int kPractiseStopBox = 2202;
inline constexpr int kPractisePlay = 2203;
inline constexpr int kSongLabel = 2206;
inline constexpr int kStartLabel = 2207;
inline constexpr int kStopLabel = 2208;
inline constexpr int kMarkersLabel = 2209;
inline constexpr int kMarkersList = 2210;
inline constexpr int kPractiseStop = 2211;
inline constexpr int kPrecount4 = 2212;
inline constexpr int kPrecount8 = 2213;
inline constexpr int kLoop = 2214;
inline constexpr int kRateBox = 2215;
inline constexpr int kRateLabel = 2216;
inline constexpr int kExitPractise = 2104;
inline constexpr int kExitSoundCheck = 2402;
// A track row's M and S cells send these plus the row; the first 512 rows have working cells.
inline constexpr int kTrackMuteBase = 2500;
inline constexpr int kTrackSoloBase = 3600;
inline constexpr int kTrackCellRows = 512;

// About and options pages.
inline constexpr int kBackToMenu = 2300;
inline constexpr int kDonate = 2302;
inline constexpr int kExitOptions = 2310;
inline constexpr int kOptionMarkerNames = 2311;
inline constexpr int kOptionTimeSignature = 2312;
inline constexpr int kWebNewKeys = 2313;
inline constexpr int kOptionLink = 2314;
inline constexpr int kOptionRigSingle = 2315;
inline constexpr int kOptionRigMain = 2316;
inline constexpr int kOptionRigBackup = 2317;
inline constexpr int kOptionRigMainAddress = 2318;

// Posted by the setlist list: low word of wParam = row, high word = action.
inline constexpr unsigned kSetlistRowAction = 0x8071;

}  // namespace quorvane::window::id
