// What two rigs say to each other over the rig channel (a WebSocket on the main's web server,
// docs/protocol.md), as plain records. The channel's code turns them into and out of JSON; the
// follower and the core only see these records, on the host's main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvane::rig {

// A rig's part in a two-rig show, kept with the host's global settings.
enum class Role { kSingle, kMain, kBackup };
// "single", "main", "backup": the setting's text; anything else reads as single.
const char* RoleName(Role role);
Role ParseRole(std::string_view text);

// The main's transport against the rigs' shared Link timeline: at the moment the session's beat
// was `linkBeat` (quantum kTimelineQuantum), the main's play position was `position`. The backup
// converts the beat to its own clock on arrival (Link keeps the beat continuous across a tempo
// change, not the mapping of past beats) and filters over several samples.
inline constexpr double kTimelineQuantum = 4.0;
struct TimelineSample {
  uint64_t sequence = 0;
  double linkBeat = 0.0;
  double position = 0.0;  // project seconds
  double rate = 1.0;      // the main's play rate
  bool playing = false;
  int32_t regionId = -1;  // the setlist song playing, -1: none
};

// One region of a rig's project, and the setlist, as the rigs compare them before following.
struct RegionPrint {
  int32_t id = 0;
  std::string name;
  double length = 0.0;
};
struct SetlistPrint {
  int32_t regionId = -1;  // -1: a pause
  bool autoStart = false;
};
struct ProjectPrint {
  std::vector<RegionPrint> regions;
  std::vector<SetlistPrint> setlist;
};

// Main -> backup.
struct MainHello {
  ProjectPrint project;
  std::string controlKey;  // the backup adopts the main's web keys
  std::string viewKey;
};
struct MainState {
  std::string document;  // the main's whole state document (the JSON its clients get)
};
// A remote command line, as a client gave it to the rig that does not lead, for the one that does.
struct ForwardedCommand {
  std::string line;
};
using FromMain = std::variant<MainHello, MainState, TimelineSample, ForwardedCommand>;

// Backup -> main.
struct BackupHello {
  ProjectPrint project;
  std::string webAddress;  // where the pages go when the main is gone: "http://HOST:PORT/"
  // The backup leads the show (it took over from a main that went): a main that comes back
  // follows it until the lead is handed back, which a hello without it says.
  bool leading = false;
};
// A leading backup's state document, for the main that follows it.
struct BackupState {
  std::string document;
};
// A leading backup also sends its timeline samples, as a main does.
using FromBackup = std::variant<BackupHello, ForwardedCommand, BackupState, TimelineSample>;

}  // namespace quorvane::rig
