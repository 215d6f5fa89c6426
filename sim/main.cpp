// quorvane-sim: the extension inside the host simulator, loaded through its entry point, with the
// built-in demo project or a project file, in real time (or faster), with its remote server live.
// Interactive with a status display and keys, or a narrated demo show (--script demo). The pieces
// live in sim/app/.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim/platform/dynamic_library.h"
#include "sim/platform/executable_path.h"
#include "platform/network_addresses.h"
#include "sim/app/interactive.h"
#include "sim/app/options.h"
#include "sim/app/project_file.h"
#include "sim/app/session.h"
#include "sim/app/show_script.h"
#include "sim/app/state_link.h"
#include "sim/demo_project.h"
#include "sim/sim_host.h"

#ifndef QUORVANE_DEFAULT_LIBRARY
#define QUORVANE_DEFAULT_LIBRARY "reaper_Quorvane"
#endif

namespace {

using namespace quorvane::sim;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
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

// The host's clocks start from the computer's: the time of day for a timed start, the calendar for
// a show that goes on after the simulator was killed and started again.
void SetClocksFromSystem(Host& host) {
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now)) {
    host.SetLocalTime(local->tm_hour, local->tm_min, local->tm_sec);
  }
  host.SetWallClock(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
}

// The web remote's addresses, as the extension kept them in the host's settings, on the
// computer's first network address (where a phone on the same network reaches it).
void PrintWebRemoteAddresses(const Host& host) {
  const std::string port = host.GlobalExtState("Quorvane", "webPortInUse");
  if (port.empty()) {
    std::printf("Web remote: not running\n");
    return;
  }
  const std::vector<std::string> addresses = quorvane::platform::LocalIpv4Addresses();
  const std::string base = "http://" +
                           (addresses.empty() ? std::string("127.0.0.1") : addresses.front()) +
                           ":" + port + "/?key=";
  std::printf("Web remote: %s%s\n", base.c_str(),
              host.GlobalExtState("Quorvane", "webControlKey").c_str());
  std::printf("Web remote, view only: %s%s\n", base.c_str(),
              host.GlobalExtState("Quorvane", "webViewKey").c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    std::fprintf(stderr, "quorvane-sim: %s (quorvane-sim --help lists the options)\n",
                 error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText(QUORVANE_DEFAULT_LIBRARY).c_str(), stdout);
    return 0;
  }

  Host host;
  ProjectDescription project;
  if (options.projectFile.empty()) {
    BuildDemoProject(host);
  } else if (LoadProjectFile(options.projectFile, &project, &error)) {
    BuildProject(host, project);
  } else {
    std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
    return 2;
  }
  SetClocksFromSystem(host);
  host.SetClockSkewPpm(options.clockSkewPpm);
  host.SetStartLatency(options.startLatencyMinMs, options.startLatencyMaxMs,
                       static_cast<uint64_t>(std::time(nullptr)));
  if (!options.settingsFile.empty()) host.UseSettingsFile(options.settingsFile);
  // The rig's part is read when the extension loads.
  if (!options.rigRole.empty()) host.SetGlobalExtState("Quorvane", "rigRole", options.rigRole);
  if (!options.rigFollow.empty())
    host.SetGlobalExtState("Quorvane", "rigMainAddress", options.rigFollow);

  if (options.library.empty()) options.library = DefaultLibraryPath();
  quorvane::platform::DynamicLibrary library;
  if (!library.Open(options.library, &error)) {
    std::fprintf(stderr, "quorvane-sim: cannot load the extension: %s\n", error.c_str());
    return 1;
  }
  const auto entry = reinterpret_cast<EntryFunction>(library.Symbol("ReaperPluginEntry"));
  if (!entry) {
    std::fprintf(stderr, "quorvane-sim: %s has no ReaperPluginEntry\n", options.library.c_str());
    return 1;
  }

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  const auto interrupted = [] { return g_interrupted != 0; };

  int exitCode = 0;
  {
    ShowSession session(host, entry, static_cast<HINSTANCE>(library.Handle()));
    if (!session.Load()) {
      std::fprintf(stderr, "quorvane-sim: the extension refused to load (%s)\n",
                   options.library.c_str());
      return 1;
    }
    PrintWebRemoteAddresses(host);
    StateLink link;
    if (options.script == "demo") {
      ScriptTimings timings;
      timings.setMinutes = project.durationMinutes;
      const ScriptSummary summary =
          RunDemoScript(session, link, options.speed, std::cout, interrupted, timings);
      std::cout << "\n" << FormatSummary(summary) << std::flush;
      exitCode = summary.completed ? 0 : 1;
    } else {
      InteractiveSettings settings;
      settings.speed = options.speed;
      settings.seconds = options.seconds;
      settings.plain = options.plain;
      settings.trace = options.trace;
      settings.window = options.window;
      settings.durationMinutes = project.durationMinutes;
      settings.actions = options.actions;
      exitCode = RunInteractive(session, link, settings, interrupted);
    }
    link.Close();
    session.Unload();
  }
  library.Close();
  return exitCode;
}
