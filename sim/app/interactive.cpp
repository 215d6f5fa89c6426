#include "sim/app/interactive.h"

#include <algorithm>
#include <cstdio>

#include "sim/platform/message_pump.h"
#include "sim/platform/terminal.h"
#include "sim/app/host_log.h"
#include "sim/app/keyboard.h"
#include "sim/app/status_display.h"

namespace quorvane::sim {
namespace {

constexpr double kReconnectSeconds = 5.0;  // a failed search may block for most of a second

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

std::string DescribeEvent(const ObservedEvent& event) {
  if (event.kind == ObservedEvent::Kind::kMoved) {
    return (event.looped
                ? "looped back to " + Seconds(event.position)
                : "jumped from " + Seconds(event.from) + " to " + Seconds(event.position)) +
           " in \"" + event.name + "\"";
  }
  if (event.kind == ObservedEvent::Kind::kStopped) {
    return event.name.empty() ? "playback stopped" : "playback stopped in \"" + event.name + "\"";
  }
  return "playing \"" + event.name + "\"" +
         (event.chained ? ", following on from the song before" : "");
}

class InteractiveRun {
 public:
  InteractiveRun(ShowSession& session, StateLink& link, const InteractiveSettings& settings)
      : session_(session),
        link_(link),
        settings_(settings),
        pacer_(settings.speed),
        display_(stdout, ChooseMode(settings)),
        log_(session.GetHost(), settings.trace) {}

  int Run(const std::function<bool()>& interrupted) {
    Introduce();
    int exitCode = 0;
    for (const std::string& action : settings_.actions) {
      if (!session_.RunAction(action)) {
        Note("quorvane-sim: no action named " + action + " is registered");
        exitCode = 2;
        break;
      }
      Note("action " + action);
    }
    const KeyboardInput::Mode mode = keys_.Start();
    Note(mode == KeyboardInput::Mode::kKeys
             ? "Keys: s start, n next, x stop, e end, p play current, q quit."
             : "Type s, n, x, e, p or q (or start, next, stop, end, play, quit) and "
               "Enter.");

    bool quit = exitCode != 0;
    while (!quit && !(interrupted && interrupted())) {
      if (settings_.seconds >= 0.0 && pacer_.RealSeconds() >= settings_.seconds) break;
      AdvanceTheShow();
      link_.Poll(1);
      Report();
      if (!link_.IsConnected() && pacer_.RealSeconds() - lastConnect_ >= kReconnectSeconds) {
        ConnectLink();
      }
      for (const KeyCommand command : keys_.Take(WaitMs())) {
        if (command == KeyCommand::kQuit) {
          quit = true;
          break;
        }
        RunCommand(command);
      }
    }
    keys_.Stop();
    Report();
    Note(interrupted && interrupted() ? "quorvane-sim: interrupted, unloading the extension"
                                      : "quorvane-sim: unloading the extension");
    return exitCode;
  }

 private:
  static StatusDisplay::Mode ChooseMode(const InteractiveSettings& settings) {
    const bool terminal = !settings.plain && !settings.trace &&
                          platform::IsTerminal(platform::StandardStream::kOutput) &&
                          platform::EnableTerminalEscapes();
    return terminal ? StatusDisplay::Mode::kTerminal : StatusDisplay::Mode::kPlain;
  }

  void Note(const std::string& text) {
    const double seconds = static_cast<double>(session_.GetHost().ElapsedMs()) / 1000.0;
    display_.Note("[" + FormatPosition(seconds) + "] " + text);
  }

  void Introduce() {
    const Host& host = session_.GetHost();
    Note("Loaded the extension with \"" + ProjectName(host) +
         "\": " + std::to_string(host.Project().regions.size()) + " songs, " +
         std::to_string(host.Project().markers.size()) + " markers, " +
         std::to_string(host.Project().tracks.size()) + " tracks, " +
         std::to_string(host.Actions().size()) + " actions.");
    if (settings_.trace) {
      for (const std::string& line : log_.ActionLines())
        Note(line);
    }
    ConnectLink();
    if (settings_.window) {
      if (platform::SystemHasWindows()) {
        session_.RunAction("Quorvane_ShowWindow");
        Note("The window is open (the action \"Show/Hide Window\"); w hides or shows it.");
      } else {
        Note("--window: the extension has a window only in its Windows build.");
      }
    }
  }

  void ConnectLink() {
    lastConnect_ = pacer_.RealSeconds();
    std::string detail;
    const bool firstTry = !triedLink_;
    triedLink_ = true;
    if (!link_.Connect(ProjectName(session_.GetHost()), &detail)) {
      if (firstTry) {
        Note("The extension's remote server cannot be reached (" + detail +
             "); the display shows what the host sees and tries again.");
      }
      return;
    }
    Note("Remote server on port " + std::to_string(link_.Port()) +
         ", discovery on UDP 48193: try  quorvane-remote watch");
    if (settings_.trace) Note("(this display found it by " + link_.FoundBy() + ")");
    if (settings_.durationMinutes > 0 && !durationSent_) {
      durationSent_ = link_.Send(R"({"cmd":"SETUP_DURATION","minutes":)" +
                                 std::to_string(settings_.durationMinutes) + "}");
    }
  }

  // Catches the host's clock up with real time times the speed, tick by tick; a stall of more
  // than a second is not made up.
  void AdvanceTheShow() {
    pacer_.Forgive(static_cast<int64_t>(settings_.speed * 1000.0));
    const int64_t ticks = pacer_.Owed() / ShowSession::kTickMs;
    if (ticks <= 0) return;
    session_.Advance(ticks * ShowSession::kTickMs);
    pacer_.Use(ticks * ShowSession::kTickMs);
  }

  // Real milliseconds until the next tick is due.
  int WaitMs() const {
    const int64_t missing = ShowSession::kTickMs - pacer_.Owed();
    const auto ms = static_cast<int>(static_cast<double>(missing) / settings_.speed);
    return std::clamp(ms, 1, static_cast<int>(ShowSession::kTickMs));
  }

  void RunCommand(KeyCommand command) {
    const char* action = ActionForCommand(command);
    if (!action) return;
    if (command == KeyCommand::kWindow && !platform::SystemHasWindows()) {
      Note("w: the extension has a window only in its Windows build.");
      return;
    }
    const bool ran = session_.RunAction(action);
    Note(DescribeCommand(command) + (ran ? "" : " (the action is not registered)"));
  }

  void Report() {
    for (const std::string& line : log_.TakeLines())
      Note(line);
    for (const ObservedEvent& event : session_.Observer().TakeEvents())
      Note(DescribeEvent(event));
    display_.Update(GatherStatus(session_.GetHost(), link_, settings_.speed), pacer_.RealSeconds());
  }

  ShowSession& session_;
  StateLink& link_;
  const InteractiveSettings& settings_;
  Pacer pacer_;
  StatusDisplay display_;
  HostLog log_;
  KeyboardInput keys_;
  double lastConnect_ = 0.0;
  bool triedLink_ = false;
  bool durationSent_ = false;
};

}  // namespace

int RunInteractive(ShowSession& session, StateLink& link, const InteractiveSettings& settings,
                   const std::function<bool()>& interrupted) {
  return InteractiveRun(session, link, settings).Run(interrupted);
}

}  // namespace quorvane::sim
