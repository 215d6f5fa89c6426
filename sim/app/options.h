// quorvane-sim's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::sim {

// The script's default speed: the whole demo show (about five and a half minutes) in seconds.
inline constexpr double kScriptSpeed = 50.0;
inline constexpr double kMaxSpeed = 1000.0;

struct SimOptions {
  std::string library;       // empty: the default library beside the program
  std::string projectFile;   // empty: the built-in demo project
  std::string script;        // empty: interactive; "demo": the narrated show
  std::string settingsFile;  // the host's global settings; empty: kept for this run only
  double seconds = -1.0;     // real seconds before stopping; < 0: until quit
  double speed = 1.0;        // virtual seconds per real second
  bool speedGiven = false;
  std::vector<std::string> actions;  // run in order after loading
  bool window = false;
  bool plain = false;  // plain lines even on a terminal
  bool trace = false;  // every host call too (plain lines)
  bool help = false;
  std::string rigRole;    // empty: as the settings say; "single", "main" or "backup"
  std::string rigFollow;  // the main's control address (a backup's)
  // A backup rig's conditions, for following tests: the audio clock's error in millionths and the
  // range of the delay between play pressed and the transport moving.
  double clockSkewPpm = 0.0;
  int64_t startLatencyMinMs = 0;
  int64_t startLatencyMaxMs = 0;
};

// False with `error` naming the argument at fault.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions* options, std::string* error);

std::string UsageText(const std::string& defaultLibrary);

}  // namespace quorvane::sim
