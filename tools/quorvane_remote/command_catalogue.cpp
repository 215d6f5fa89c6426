#include "quorvane_remote/command_catalogue.h"

namespace quorvane::remote_cli {
namespace {

constexpr FieldInfo kIndex{"index", FieldType::kInteger, "INDEX"};
constexpr FieldInfo kEnabled{"enabled", FieldType::kBoolean, "on|off"};

}  // namespace

std::string_view FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::kInteger:
      return "integer";
    case FieldType::kBoolean:
      return "boolean";
    case FieldType::kReal:
      return "real";
  }
  return "value";
}

const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {"PING", {}, "keep-alive; changes nothing"},
      {"REQUEST_STATE", {}, "refresh the show clock; a STATE follows when anything changed"},
      {"MODE_MENU", {}, "window to the mode selection page"},
      {"OPEN_ABOUT", {}, "window to the About page"},
      {"OPEN_OPTIONS", {}, "window to the Options page"},
      {"OPTIONS_LIVE_MARKERS", {kEnabled}, "show marker names on the live page"},
      {"OPTIONS_TIME_SIG_BPM", {kEnabled}, "show time signature and tempo on the live page"},
      {"EXIT_OPTIONS", {}, "leave the Options page"},
      {"CLOSE_PLUGIN", {}, "close the window; the show and the server keep running"},
      {"OPEN_LIVE_SETUP", {}, "window to the setlist setup page"},
      {"EXIT_MODE", {}, "leave the current mode; resets the show"},
      {"MODE_LIVE", {}, "live mode (the setup page while the setlist is empty)"},
      {"MODE_PRACTISE", {}, "practise mode"},
      {"MODE_SOUND_CHECK", {}, "sound-check mode"},
      {"LIVE_PLAY_NEXT", {}, "play the next song of the setlist"},
      {"LIVE_STOP", {}, "stop playback"},
      {"LIVE_REPLAY", {}, "play the current song again"},
      {"LIVE_START_SHOW", {}, "start the show clock"},
      {"LIVE_END_SHOW", {}, "end the show"},
      {"LIVE_SELECT", {kIndex}, "make a setlist item current (ignored during playback)"},
      {"SETUP_ADD_REGION",
       {{"regionId", FieldType::kInteger, "REGION"}},
       "append a song by its region number"},
      {"SETUP_ADD_PAUSE", {}, "append a pause"},
      {"SETUP_REMOVE", {kIndex}, "remove a setlist item"},
      {"SETUP_MOVE_UP", {kIndex}, "move a setlist item up"},
      {"SETUP_MOVE_DOWN", {kIndex}, "move a setlist item down"},
      {"SETUP_TOGGLE_AUTOSTART", {kIndex}, "chain a song to the song before it, or unchain it"},
      {"SETUP_DURATION",
       {{"minutes", FieldType::kInteger, "MINUTES"}},
       "set the show's duration (5 minutes or more)"},
      {"SETUP_AUTOSTART_SHOW", {kEnabled}, "timed show start on or off (needs the window)"},
      {"SETUP_AUTOSTART_TIME",
       {{"hour", FieldType::kInteger, "HOUR"}, {"minute", FieldType::kInteger, "MINUTE"}},
       "time of the timed show start (needs the window)"},
      {"PROJECT_TRACK_MUTE",
       {{"trackIndex", FieldType::kInteger, "TRACK"}, {"muted", FieldType::kBoolean, "on|off"}},
       "mute or unmute a track"},
      {"PROJECT_TRACK_SOLO",
       {{"trackIndex", FieldType::kInteger, "TRACK"}, {"soloed", FieldType::kBoolean, "on|off"}},
       "solo or unsolo a track"},
      {"PRACTISE_PLAY", {}, "start a practise run"},
      {"PRACTISE_STOP", {}, "stop the practise run"},
      {"PRACTISE_LOOP", {kEnabled}, "loop the practise range"},
      {"PRACTISE_REGION",
       {{"index", FieldType::kInteger, "REGION"}},
       "practise song by its region number"},
      {"PRACTISE_START",
       {{"index", FieldType::kInteger, "MARKER"}},
       "practise start: -2 the song's start, else a marker index"},
      {"PRACTISE_STOP_POINT",
       {{"index", FieldType::kInteger, "MARKER"}},
       "practise stop: -1 the song's end, else a marker index"},
      {"PRACTISE_PRECOUNT",
       {{"beats", FieldType::kInteger, "BEATS"}},
       "pre-count click: 0, 4 or 8 beats"},
      {"PRACTISE_RATE",
       {{"rate", FieldType::kReal, "RATE"}},
       "playback rate, 0.50 to 1.50 in steps of 0.05"},
  };
  return commands;
}

const CommandInfo* FindCommand(std::string_view name) {
  for (const CommandInfo& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const FieldInfo* FindField(const CommandInfo& command, std::string_view name) {
  for (const FieldInfo& field : command.fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

const std::vector<AliasInfo>& Aliases() {
  static const std::vector<AliasInfo> aliases = {
      {"start", "LIVE_START_SHOW"},
      {"next", "LIVE_PLAY_NEXT"},
      {"stop", "LIVE_STOP"},
      {"replay", "LIVE_REPLAY"},
      {"end", "LIVE_END_SHOW"},
      {"select", "LIVE_SELECT"},
      {"ping", "PING"},
      {"refresh", "REQUEST_STATE"},
      {"add-song", "SETUP_ADD_REGION"},
      {"add-pause", "SETUP_ADD_PAUSE"},
      {"remove", "SETUP_REMOVE"},
      {"move-up", "SETUP_MOVE_UP"},
      {"move-down", "SETUP_MOVE_DOWN"},
      {"chain", "SETUP_TOGGLE_AUTOSTART"},
      {"duration", "SETUP_DURATION"},
      {"autostart", "SETUP_AUTOSTART_SHOW"},
      {"autostart-time", "SETUP_AUTOSTART_TIME"},
      {"mute", "PROJECT_TRACK_MUTE"},
      {"solo", "PROJECT_TRACK_SOLO"},
      {"practise-play", "PRACTISE_PLAY"},
      {"practise-stop", "PRACTISE_STOP"},
      {"practise-song", "PRACTISE_REGION"},
      {"practise-from", "PRACTISE_START"},
      {"practise-to", "PRACTISE_STOP_POINT"},
      {"loop", "PRACTISE_LOOP"},
      {"precount", "PRACTISE_PRECOUNT"},
      {"rate", "PRACTISE_RATE"},
      {"live", "MODE_LIVE"},
      {"practise", "MODE_PRACTISE"},
      {"sound-check", "MODE_SOUND_CHECK"},
      {"menu", "MODE_MENU"},
      {"setup", "OPEN_LIVE_SETUP"},
      {"options", "OPEN_OPTIONS"},
      {"about", "OPEN_ABOUT"},
      {"exit", "EXIT_MODE"},
      {"markers", "OPTIONS_LIVE_MARKERS"},
      {"time-signature", "OPTIONS_TIME_SIG_BPM"},
      {"close-window", "CLOSE_PLUGIN"},
  };
  return aliases;
}

const AliasInfo* FindAlias(std::string_view word) {
  for (const AliasInfo& alias : Aliases()) {
    if (alias.word == word) return &alias;
  }
  return nullptr;
}

}  // namespace quorvane::remote_cli
