#include "protocol/command_table.h"

#include <array>

namespace quorvane::protocol {
namespace {

using enum CommandId;
using enum FieldType;

constexpr FieldDefinition kIndex[] = {{"index", kInteger, "-1", "INDEX"}};
constexpr FieldDefinition kEnabledOrCurrent[] = {
    {"enabled", kBoolean, "the current value", "on|off"}};
constexpr FieldDefinition kEnabled[] = {{"enabled", kBoolean, "false", "on|off"}};
// A jump's moment: 0 at once, 1 at the next bar line, 2 at the end of the section playing.
constexpr FieldDefinition kJump[] = {{"index", kInteger, "-1", "SECTION"},
                                     {"when", kInteger, "1", "WHEN"}};
constexpr FieldDefinition kRegionId[] = {{"regionId", kInteger, "-1", "REGION"}};
// The index comes first: the scanner finds a key wherever its quoted name first stands, and a
// note may quote one.
constexpr FieldDefinition kNote[] = {{"index", kInteger, "-1", "INDEX"},
                                     {"note", kString, "none", "TEXT"}};
constexpr FieldDefinition kMinutes[] = {{"minutes", kInteger, "-1", "MINUTES"}};
constexpr FieldDefinition kTime[] = {{"hour", kInteger, "-1", "HOUR"},
                                     {"minute", kInteger, "-1", "MINUTE"}};
constexpr FieldDefinition kMute[] = {{"trackIndex", kInteger, "-1", "TRACK"},
                                     {"muted", kBoolean, "false", "on|off"}};
constexpr FieldDefinition kSolo[] = {{"trackIndex", kInteger, "-1", "TRACK"},
                                     {"soloed", kBoolean, "false", "on|off"}};
constexpr FieldDefinition kRegionNumber[] = {{"index", kInteger, "-1", "REGION"}};
constexpr FieldDefinition kMarker[] = {{"index", kInteger, "-1", "MARKER"}};
constexpr FieldDefinition kBeats[] = {{"beats", kInteger, "0", "BEATS"}};
constexpr FieldDefinition kRate[] = {{"rate", kReal, "1.0", "RATE"}};

constexpr Broadcast kNo = Broadcast::kNo;
constexpr Broadcast kAlways = Broadcast::kAlways;

constexpr std::array kCommands = std::to_array<CommandDefinition>({
    {kPing, "PING", {}, kNo, "keep-alive; changes nothing"},
    {kRequestState,
     "REQUEST_STATE",
     {},
     kAlways,
     "refresh the show clock; a STATE follows when anything changed"},
    {kModeMenu, "MODE_MENU", {}, kNo, "window to the mode selection page"},
    {kOpenAbout, "OPEN_ABOUT", {}, kNo, "window to the About page"},
    {kOpenOptions, "OPEN_OPTIONS", {}, kAlways, "window to the Options page"},
    {kOptionsLiveMarkers, "OPTIONS_LIVE_MARKERS", kEnabledOrCurrent, kAlways,
     "show marker names on the live page"},
    {kOptionsTimeSigBpm, "OPTIONS_TIME_SIG_BPM", kEnabledOrCurrent, kAlways,
     "show time signature and tempo on the live page"},
    {kOptionsLink, "OPTIONS_LINK", kEnabledOrCurrent, kAlways,
     "Ableton Link: the song's tempo and bars for the room's Link apps"},
    {kExitOptions, "EXIT_OPTIONS", {}, kNo, "leave the Options page"},
    {kClosePlugin,
     "CLOSE_PLUGIN",
     {},
     kNo,
     "close the window; the show and the server keep running"},
    {kOpenLiveSetup, "OPEN_LIVE_SETUP", {}, kNo, "window to the setlist setup page"},
    {kExitMode, "EXIT_MODE", {}, kNo, "leave the current mode; resets the show"},
    {kModeLive, "MODE_LIVE", {}, kNo, "live mode (the setup page while the setlist is empty)"},
    {kModePractise, "MODE_PRACTISE", {}, kNo, "practise mode"},
    {kModeSoundCheck, "MODE_SOUND_CHECK", {}, kNo, "sound-check mode"},
    {kLivePlayNext, "LIVE_PLAY_NEXT", {}, kNo, "play the next song of the setlist"},
    {kLiveStop, "LIVE_STOP", {}, kAlways, "stop playback"},
    {kLiveReplay, "LIVE_REPLAY", {}, kAlways, "play the current song again"},
    {kLiveStartShow, "LIVE_START_SHOW", {}, kNo, "start the show clock"},
    {kLiveEndShow, "LIVE_END_SHOW", {}, kAlways, "end the show"},
    {kLiveSelect, "LIVE_SELECT", kIndex, kNo,
     "make a setlist item current (ignored during playback)"},
    {kLiveVamp, "LIVE_VAMP", kEnabledOrCurrent, kAlways,
     "repeat the section playing until released"},
    {kLiveJumpSection, "LIVE_JUMP_SECTION", kJump, kAlways,
     "jump to a section of the song: when 0 at once, 1 at the next bar, 2 at the section's end"},
    {kLiveNextSection,
     "LIVE_NEXT_SECTION",
     {},
     kAlways,
     "jump to the next section at the next bar"},
    {kLivePreviousSection,
     "LIVE_PREVIOUS_SECTION",
     {},
     kAlways,
     "jump back to this section's start (in its first bar: the section before) at the next bar"},
    {kLiveCancelJump, "LIVE_CANCEL_JUMP", {}, kAlways, "drop the queued jump"},
    {kSetupAddRegion, "SETUP_ADD_REGION", kRegionId, kNo, "append a song by its region number"},
    {kSetupAddPause, "SETUP_ADD_PAUSE", {}, kNo, "append a pause"},
    {kSetupRemove, "SETUP_REMOVE", kIndex, kNo, "remove a setlist item"},
    {kSetupMoveUp, "SETUP_MOVE_UP", kIndex, kNo, "move a setlist item up"},
    {kSetupMoveDown, "SETUP_MOVE_DOWN", kIndex, kNo, "move a setlist item down"},
    {kSetupToggleAutoStart, "SETUP_TOGGLE_AUTOSTART", kIndex, kNo,
     "chain a song to the song before it, or unchain it"},
    {kSetupNote, "SETUP_NOTE", kNote, kNo,
     "set a setlist item's note (up to 280 bytes of UTF-8; empty removes it)"},
    {kSetupDuration, "SETUP_DURATION", kMinutes, Broadcast::kWhenApplied,
     "set the show's duration (5 minutes or more)"},
    {kSetupAutoStartShow, "SETUP_AUTOSTART_SHOW", kEnabled, kNo, "timed show start on or off"},
    {kSetupAutoStartTime, "SETUP_AUTOSTART_TIME", kTime, kNo, "time of the timed show start"},
    {kProjectTrackMute, "PROJECT_TRACK_MUTE", kMute, kNo, "mute or unmute a track"},
    {kProjectTrackSolo, "PROJECT_TRACK_SOLO", kSolo, kNo, "solo or unsolo a track"},
    {kPractisePlay, "PRACTISE_PLAY", {}, kAlways, "start a practise run"},
    {kPractiseStop, "PRACTISE_STOP", {}, kAlways, "stop the practise run"},
    {kPractiseLoop, "PRACTISE_LOOP", kEnabled, kAlways, "loop the practise range"},
    {kPractiseRegion, "PRACTISE_REGION", kRegionNumber, kAlways,
     "practise song by its region number"},
    {kPractiseStart, "PRACTISE_START", kMarker, kAlways,
     "practise start: -2 the song's start, else a marker index"},
    {kPractiseStopPoint, "PRACTISE_STOP_POINT", kMarker, kAlways,
     "practise stop: -1 the song's end, else a marker index"},
    {kPractisePrecount, "PRACTISE_PRECOUNT", kBeats, kAlways, "pre-count click: 0, 4 or 8 beats"},
    {kPractiseRate, "PRACTISE_RATE", kRate, kAlways,
     "playback rate, 0.50 to 1.50 in steps of 0.05"},
    {kRigHandBack,
     "RIG_HAND_BACK",
     {},
     kAlways,
     "a backup rig that leads hands the show back to its main, between songs"},
});

}  // namespace

std::string_view FieldTypeName(FieldType type) {
  switch (type) {
    case kInteger:
      return "integer";
    case kBoolean:
      return "boolean";
    case kReal:
      return "real";
    case kString:
      return "string";
  }
  return "value";
}

std::span<const CommandDefinition> RemoteCommands() {
  return kCommands;
}

const CommandDefinition* FindRemoteCommand(std::string_view name) {
  for (const CommandDefinition& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const FieldDefinition* FindCommandField(const CommandDefinition& command, std::string_view name) {
  for (const FieldDefinition& field : command.fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

}  // namespace quorvane::protocol
