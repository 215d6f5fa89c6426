#include "sim/app/options.h"

#include <cmath>
#include <cstdlib>

namespace quorvane::sim {
namespace {

bool ReadNumber(const std::string& text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(*value);
}

// "MIN-MAX" or a single "MS", whole milliseconds, MIN <= MAX.
bool ReadLatencyRange(const std::string& text, int64_t* min, int64_t* max) {
  const size_t dash = text.find('-');
  double low = 0.0;
  double high = 0.0;
  if (!ReadNumber(text.substr(0, dash), &low)) return false;
  if (dash == std::string::npos) {
    high = low;
  } else if (!ReadNumber(text.substr(dash + 1), &high)) {
    return false;
  }
  if (low < 0.0 || high < low || high > 10000.0) return false;
  *min = static_cast<int64_t>(low);
  *max = static_cast<int64_t>(high);
  return true;
}

enum class Reading { kNotOurs, kRead, kWrong };

// The rig's timing conditions.
Reading ReadRigTiming(const std::string& arg, const std::string& value, SimOptions* options,
                      std::string* error) {
  if (arg == "--clock-skew-ppm") {
    if (ReadNumber(value, &options->clockSkewPpm) && std::fabs(options->clockSkewPpm) <= 10000.0) {
      return Reading::kRead;
    }
    *error = "--clock-skew-ppm needs millionths between -10000 and 10000, not '" + value + "'";
    return Reading::kWrong;
  }
  if (arg == "--start-latency-ms") {
    if (ReadLatencyRange(value, &options->startLatencyMinMs, &options->startLatencyMaxMs)) {
      return Reading::kRead;
    }
    *error = "--start-latency-ms needs MIN-MAX milliseconds (0 to 10000), not '" + value + "'";
    return Reading::kWrong;
  }
  return Reading::kNotOurs;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions* options,
                     std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    const bool takesValue = arg == "--library" || arg == "--seconds" || arg == "--action" ||
                            arg == "--speed" || arg == "--script" || arg == "--project" ||
                            arg == "--settings" || arg == "--rig" || arg == "--follow" ||
                            arg == "--clock-skew-ppm" || arg == "--start-latency-ms";
    if (const size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    } else if (takesValue) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (const Reading rig = ReadRigTiming(arg, value, options, error); rig != Reading::kNotOurs) {
      if (rig == Reading::kWrong) return false;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--library") {
      options->library = value;
    } else if (arg == "--project") {
      if (value.empty()) {
        *error = "--project needs a file name";
        return false;
      }
      options->projectFile = value;
    } else if (arg == "--settings") {
      if (value.empty()) {
        *error = "--settings needs a file name";
        return false;
      }
      options->settingsFile = value;
    } else if (arg == "--seconds") {
      if (!ReadNumber(value, &options->seconds) || options->seconds < 0.0) {
        *error = "--seconds needs a number of seconds, not '" + value + "'";
        return false;
      }
    } else if (arg == "--speed") {
      if (!ReadNumber(value, &options->speed) || options->speed <= 0.0 ||
          options->speed > kMaxSpeed) {
        *error = "--speed needs a factor above 0 and up to 1000, not '" + value + "'";
        return false;
      }
      options->speedGiven = true;
    } else if (arg == "--script") {
      if (value != "demo") {
        *error = "--script knows one script, demo, not '" + value + "'";
        return false;
      }
      options->script = value;
    } else if (arg == "--action") {
      if (value.empty()) {
        *error = "--action needs an action name";
        return false;
      }
      options->actions.push_back(value);
    } else if (arg == "--rig") {
      if (value != "single" && value != "main" && value != "backup") {
        *error = "--rig needs single, main or backup, not '" + value + "'";
        return false;
      }
      options->rigRole = value;
    } else if (arg == "--follow") {
      if (value.empty()) {
        *error = "--follow needs the main rig's address";
        return false;
      }
      options->rigFollow = value;
    } else if (arg == "--window") {
      options->window = true;
    } else if (arg == "--plain") {
      options->plain = true;
    } else if (arg == "--trace") {
      options->trace = true;
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (!options->script.empty() && !options->speedGiven) options->speed = kScriptSpeed;
  if (!options->rigFollow.empty()) {
    if (!options->rigRole.empty() && options->rigRole != "backup") {
      *error = "--follow makes this rig a backup, not a " + options->rigRole;
      return false;
    }
    options->rigRole = "backup";
  }
  return true;
}

std::string UsageText(const std::string& defaultLibrary) {
  return "Usage: quorvane-sim [options]\n"
         "Runs the Quorvane extension inside the host simulator, as the host would: a show\n"
         "project (the built-in demo: seven songs, a tempo and a time-signature change, tracks\n"
         "in folders, a stored setlist with a pause and auto-start songs), the timer about 30\n"
         "times a second, and the extension's remote server live, so that quorvane-remote and\n"
         "remote apps find it on this computer. A status display follows the show; keys run\n"
         "the actions:\n"
         "  s start the show   n play next   x stop   e end the show   p play current   q quit\n"
         "(single keys on a terminal; elsewhere type the key or its word and Enter).\n"
         "\n"
         "Options:\n"
         "  --project FILE   a project file instead of the demo (see docs/project-file.md)\n"
         "  --script demo    play a whole narrated show unattended and print a summary; exits 0\n"
         "                   when the show completed (speed 50 unless --speed is given)\n"
         "  --speed F        run the host's clock F times faster than real time (default 1)\n"
         "  --seconds N      stop by itself after N real seconds (default: run until q or Ctrl+C)\n"
         "  --settings FILE  keep the host's global settings (the web remote's port and keys,\n"
         "                   a live show) in FILE, so its address stays the same from run to\n"
         "                   run and a show killed mid-way goes on when started again\n"
         "  --rig ROLE       this rig's part in a two-rig show: single, main or backup (kept\n"
         "                   with the settings); a backup follows the main it is told to\n"
         "  --follow ADDR    be the backup of the main at ADDR, its web remote's control\n"
         "                   address (http://HOST:PORT/?key=KEY); implies --rig backup\n"
         "  --action NAME    run a registered action at start, e.g. Quorvane_StartShow\n"
         "                   (repeatable, run in order)\n"
         "  --window         open the extension's window (the Windows build has one)\n"
         "  --plain          plain status lines even on a terminal\n"
         "  --trace          also print every call the extension makes into the host\n"
         "  --clock-skew-ppm N      the audio clock runs N millionths fast (negative: slow)\n"
         "  --start-latency-ms A-B  play pressed: the transport moves after a random A to B ms\n"
         "  --library PATH   the extension library to load; by default " +
         defaultLibrary +
         "\n"
         "                   next to this program (or in ../src of a build tree)\n"
         "  --help           this text\n"
         "\n"
         "Exit codes: 0 done, 1 the extension did not load or the script failed, 2 wrong\n"
         "arguments or a bad project file.\n";
}

}  // namespace quorvane::sim
