#include "quorvane_remote/command_catalogue.h"

namespace quorvane::remote_cli {
std::span<const CommandInfo> Commands() {
  return protocol::RemoteCommands();
}

const CommandInfo* FindCommand(std::string_view name) {
  return protocol::FindRemoteCommand(name);
}

const FieldInfo* FindField(const CommandInfo& command, std::string_view name) {
  return protocol::FindCommandField(command, name);
}

const std::vector<AliasInfo>& Aliases() {
  static const std::vector<AliasInfo> aliases = {
      {"start", "LIVE_START_SHOW"},
      {"next", "LIVE_PLAY_NEXT"},
      {"stop", "LIVE_STOP"},
      {"replay", "LIVE_REPLAY"},
      {"end", "LIVE_END_SHOW"},
      {"select", "LIVE_SELECT"},
      {"vamp", "LIVE_VAMP"},
      {"jump", "LIVE_JUMP_SECTION"},
      {"next-section", "LIVE_NEXT_SECTION"},
      {"previous-section", "LIVE_PREVIOUS_SECTION"},
      {"cancel-jump", "LIVE_CANCEL_JUMP"},
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
      {"link", "OPTIONS_LINK"},
      {"close-window", "CLOSE_PLUGIN"},
      {"hand-back", "RIG_HAND_BACK"},
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
