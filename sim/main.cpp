// quorvane-sim: runs the extension inside the host simulator, in real time, with the built-in
// demo project, and prints what the host sees as plain lines.
//
//   quorvane-sim [--library PATH] [--seconds N] [--action NAME]... [--help]
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/executable_path.h"
#include "sim/demo_project.h"
#include "sim/sim_host.h"

#ifndef QUORVANE_DEFAULT_LIBRARY
#define QUORVANE_DEFAULT_LIBRARY "reaper_Quorvane"
#endif

namespace {

using quorvane::sim::Host;
using quorvane::sim::HostCall;
using quorvane::sim::TransportState;

constexpr int64_t kTickMs = 33;  // about 30 ticks a second, as the host's timer

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) {
  g_interrupted = 1;
}

struct Options {
  std::string library;
  double seconds = -1.0;  // < 0: until interrupted
  std::vector<std::string> actions;
  bool help = false;
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: quorvane-sim [options]\n"
               "Runs the Quorvane extension inside the host simulator with a built-in demo\n"
               "project (seven songs, a tempo and a time-signature change, tracks in folders and\n"
               "a stored setlist), ticking about 30 times a second in real time, and prints what\n"
               "the host sees: registrations, actions, transport, messages and console output.\n"
               "\n"
               "Options:\n"
               "  --library PATH   the extension library to load; by default %s\n"
               "                   next to this program (or in ../src of a build tree)\n"
               "  --seconds N      stop by itself after N seconds (default: run until Ctrl+C)\n"
               "  --action NAME    run a registered action by its command name at start, for\n"
               "                   example Quorvane_StartShow (repeatable, run in order)\n"
               "  --help           this text\n",
               QUORVANE_DEFAULT_LIBRARY);
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    const bool takesValue = arg == "--library" || arg == "--seconds" || arg == "--action";
    if (const size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    } else if (takesValue) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--library") {
      options->library = value;
    } else if (arg == "--seconds") {
      char* end = nullptr;
      options->seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(options->seconds >= 0.0)) {
        *error = "--seconds needs a number of seconds, not '" + value + "'";
        return false;
      }
    } else if (arg == "--action") {
      if (value.empty()) {
        *error = "--action needs an action name";
        return false;
      }
      options->actions.push_back(value);
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
  }
  return true;
}

// The default library: next to this program, else where a build tree puts it (../src).
std::string DefaultLibraryPath() {
  namespace fs = std::filesystem;
  const std::string self = quorvane::platform::ExecutablePath();
  const fs::path folder = self.empty() ? fs::current_path() : fs::path(self).parent_path();
  const fs::path beside = folder / QUORVANE_DEFAULT_LIBRARY;
  const fs::path buildTree = folder.parent_path() / "src" / QUORVANE_DEFAULT_LIBRARY;
  std::error_code ignored;
  if (!fs::exists(beside, ignored) && fs::exists(buildTree, ignored)) return buildTree.string();
  return beside.string();
}

// Prints, as plain lines, what changed in the host since the last call.
class Reporter {
 public:
  explicit Reporter(Host& host) : host_(host) {}

  void Line(const std::string& text) const {
    std::printf("[%8.3f] %s\n", static_cast<double>(host_.ElapsedMs()) / 1000.0, text.c_str());
  }

  void Registrations() {
    const auto& calls = host_.Registrations();
    for (; registrations_ < calls.size(); ++registrations_) {
      const auto& call = calls[registrations_];
      std::string text = "register " + call.name;
      if (!call.what.empty()) text += " \"" + call.what + "\"";
      Line(text + " -> " + std::to_string(call.result));
    }
  }

  void Actions() const {
    const auto actions = host_.Actions();
    Line("actions available: " + std::to_string(actions.size()));
    for (const auto& action : actions) {
      Line("  " + std::to_string(action.id) + "  " + action.name +
           (action.description.empty() ? "" : "  \"" + action.description + "\""));
    }
  }

  // New host calls, messages, console output and transport changes.
  void Changes() {
    Registrations();
    const auto& calls = host_.Calls();
    std::vector<std::string> stateWrites;
    auto flushStateWrites = [&] {
      if (stateWrites.empty()) return;
      std::string text = "project state written (" + std::to_string(stateWrites.size()) + "): ";
      for (size_t i = 0; i < stateWrites.size() && i < 4; ++i) {
        text += (i ? ", " : "") + stateWrites[i];
      }
      if (stateWrites.size() > 4) text += ", ...";
      Line(text);
      stateWrites.clear();
    };
    for (; calls_ < calls.size(); ++calls_) {
      const HostCall& call = calls[calls_];
      if (call.function == "SetProjExtState") {
        stateWrites.push_back(call.text);
        continue;
      }
      flushStateWrites();
      if (call.function == "ShowConsoleMsg") continue;  // printed line by line below
      Line("host call " + Describe(call));
    }
    flushStateWrites();

    const std::string& console = host_.ConsoleText();
    for (size_t newline; (newline = console.find('\n', console_)) != std::string::npos;) {
      Line("console: " + console.substr(console_, newline - console_));
      console_ = newline + 1;
    }
    const auto& messages = host_.Messages();
    for (; messages_ < messages.size(); ++messages_) {
      const auto& message = messages[messages_];
      Line("message box \"" + message.title + "\" (" +
           (message.icon == quorvane::platform::MessageIcon::kError ? "error" : "warning") +
           "): " + message.text);
    }
    const auto& problems = host_.Problems();
    for (; problems_ < problems.size(); ++problems_)
      Line("host problem: " + problems[problems_]);

    if (host_.Transport() != transport_) {
      transport_ = host_.Transport();
      Line("transport " + TransportText() + " at " + Seconds(host_.PlayPosition()));
    }
  }

  void Status() const {
    const double position = host_.PlayPosition();
    const auto beats = host_.BeatPosition(position);
    char text[256];
    std::snprintf(text, sizeof text, "%s %s | measure %d beat %.2f | %.0f bpm %d/%d | rate %.2f%s",
                  TransportText().c_str(), Seconds(position).c_str(), beats.measure + 1,
                  beats.beatInMeasure + 1.0, host_.DividedBpmAt(position), beats.beatsInMeasure,
                  beats.denominator, host_.PlayRate(), host_.RepeatOn() ? " | repeat" : "");
    std::string line = text;
    for (const auto& region : host_.Project().regions) {
      if (position >= region.start && position < region.end) {
        line += " | song " + std::to_string(region.number) + " \"" + region.name + "\"";
        break;
      }
    }
    Line(line);
  }

  size_t HostCallCount() const { return host_.Calls().size(); }

 private:
  static std::string Seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", value);
    return text;
  }

  std::string TransportText() const {
    switch (host_.Transport()) {
      case TransportState::kPlaying:
        return "playing";
      case TransportState::kPaused:
        return "paused";
      default:
        return "stopped";
    }
  }

  static std::string Describe(const HostCall& call) {
    const std::string& f = call.function;
    if (f == "SetEditCurPos") {
      return f + "(" + Seconds(call.time) + (call.moveView ? ", move view" : "") +
             (call.seekPlay ? ", seek play" : "") + ")";
    }
    if (f == "Main_OnCommand") return f + "(" + std::to_string(call.command) + ")";
    if (f == "CSurf_OnPlayRateChange") {
      char text[32];
      std::snprintf(text, sizeof text, "%.3f", call.time);
      return f + "(" + text + ")";
    }
    if (f == "GetSet_LoopTimeRange") {
      return f + "(set " + call.text + " " + Seconds(call.time) + " - " + Seconds(call.endTime) +
             ")";
    }
    if (f == "PlayPreviewEx" || f == "StopPreview") {
      return f + "(" + call.text + ") -> " + std::to_string(call.result);
    }
    if (!call.text.empty()) return f + "(" + call.text + ")";
    return f + "()";
  }

  Host& host_;
  size_t registrations_ = 0;
  size_t calls_ = 0;
  size_t console_ = 0;
  size_t messages_ = 0;
  size_t problems_ = 0;
  TransportState transport_ = TransportState::kStopped;
};

void SetLocalTimeFromSystem(Host& host) {
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now)) {
    host.SetLocalTime(local->tm_hour, local->tm_min, local->tm_sec);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
    PrintUsage(stderr);
    return 2;
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.library.empty()) options.library = DefaultLibraryPath();

  Host host;
  quorvane::sim::BuildDemoProject(host);
  SetLocalTimeFromSystem(host);
  Reporter report(host);
  report.Line("demo project \"" + host.Project().path +
              "\": " + std::to_string(host.Project().regions.size()) + " songs, " +
              std::to_string(host.Project().markers.size()) + " markers, " +
              std::to_string(host.Project().tracks.size()) + " tracks");

  quorvane::platform::DynamicLibrary library;
  if (!library.Open(options.library, &error)) {
    std::fprintf(stderr, "quorvane-sim: cannot load %s: %s\n", options.library.c_str(),
                 error.c_str());
    return 1;
  }
  auto entry = reinterpret_cast<ReaperPluginEntryFn>(library.Symbol("ReaperPluginEntry"));
  if (!entry) {
    std::fprintf(stderr, "quorvane-sim: %s has no ReaperPluginEntry\n", options.library.c_str());
    return 1;
  }
  report.Line("loading " + options.library);
  auto* instance = static_cast<HINSTANCE>(library.Handle());
  const int loaded = entry(instance, host.Info());
  report.Changes();
  if (loaded != 1) {
    // The host unloads a library whose entry does not return 1, without calling it again.
    report.Line("the extension refused to load (ReaperPluginEntry returned " +
                std::to_string(loaded) + ")");
    const int left = host.RegisteredCount("timer") + host.RegisteredCount("hookcommand") +
                     host.RegisteredCount("hookcustommenu");
    if (left > 0) report.Line("warning: " + std::to_string(left) + " hooks were left registered");
    std::fflush(stdout);
    return 1;
  }
  report.Line("loaded");
  report.Actions();
  const auto menu = host.BuildMenu("Main extensions", 0);
  for (const auto& item : menu) {
    report.Line("menu \"Main extensions\": " + item.text + " (" + std::to_string(item.id) + ")");
  }

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  int ticks = 0;
  host.Tick();  // the first tick takes up the project
  ++ticks;
  report.Changes();

  int actionsRun = 0;
  int exitCode = 0;
  for (const std::string& action : options.actions) {
    const int id = host.CommandId(action);
    if (id == 0) {
      report.Line("no action named " + action + " is registered");
      exitCode = 2;
      break;
    }
    const bool handled = host.RunAction(action);
    ++actionsRun;
    report.Line("action " + action + " (" + std::to_string(id) + ") run" +
                (handled ? "" : ", not handled by any hook"));
    report.Changes();
  }
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const int64_t limitMs =
      options.seconds < 0.0 ? -1 : static_cast<int64_t>(options.seconds * 1000.0 + 0.5);
  int64_t nextStatusMs = 1000;
  int64_t nextTickMs = kTickMs;
  while (exitCode == 0 && !g_interrupted) {
    const int64_t realMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (limitMs >= 0 && realMs >= limitMs) break;
    if (realMs < nextTickMs) {  // at most one tick in each 33 ms slot, whatever sleep does
      std::this_thread::sleep_for(std::chrono::milliseconds(nextTickMs - realMs));
      continue;
    }
    // The virtual clock follows real time.
    if (realMs > host.ElapsedMs()) host.Advance(realMs - host.ElapsedMs());
    host.Tick();
    ++ticks;
    nextTickMs = (realMs / kTickMs + 1) * kTickMs;
    report.Changes();
    if (host.ElapsedMs() >= nextStatusMs) {
      report.Status();
      nextStatusMs = (host.ElapsedMs() / 1000 + 1) * 1000;
    }
    std::fflush(stdout);
  }
  if (limitMs >= 0 && host.ElapsedMs() < limitMs && !g_interrupted && exitCode == 0) {
    host.Advance(limitMs - host.ElapsedMs());
  }

  report.Line(g_interrupted ? "interrupted: unloading" : "unloading");
  const int unloaded = entry(instance, nullptr);
  report.Changes();
  std::printf(
      "quorvane-sim: %.1f s, %d ticks, %zu registrations, %d actions run, %zu host calls, "
      "%zu messages, %zu problems; unloaded (entry returned %d)\n",
      static_cast<double>(host.ElapsedMs()) / 1000.0, ticks, host.Registrations().size(),
      actionsRun, report.HostCallCount(), host.Messages().size(), host.Problems().size(), unloaded);
  std::fflush(stdout);
  library.Close();
  return exitCode;
}
