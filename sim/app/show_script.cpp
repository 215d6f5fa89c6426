#include "sim/app/show_script.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <optional>

#include "sim/app/keyboard.h"

namespace quorvane::sim {
namespace {

using remote_cli::FormatClock;
using remote_cli::StateView;
using RealClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long the extension may take to show a remote command's effect: the command travels over
// loopback and runs at the next tick, and documents go out at most every 50 ms.
constexpr auto kStateWait = 3s;
// A held clock this long lets the document of the moment arrive (a broadcast interval, the send
// by the server's own thread, and a margin for a loaded machine).
constexpr auto kCheckpointHold = 200ms;
// Nothing at all happening for this long of show time means the show is stuck.
constexpr int64_t kQuietLimitMs = 10 * 60 * 1000;

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

class ScriptRunner {
 public:
  ScriptRunner(ShowSession& session, StateLink& link, double speed, std::ostream& out,
               const std::function<bool()>& interrupted, const ScriptTimings& timings)
      : session_(session),
        link_(link),
        pacer_(speed),
        out_(out),
        interrupted_(interrupted),
        timings_(timings) {
    summary_.speed = speed;
  }

  ScriptSummary Run() {
    const bool done = Connect() && Rehearse() && PlayShow();
    summary_.hostSeconds = static_cast<double>(session_.GetHost().ElapsedMs()) / 1000.0;
    summary_.realSeconds = pacer_.RealSeconds();
    summary_.completed = done && summary_.failure.empty();
    return summary_;
  }

 private:
  // --- Telling ---
  void Say(const std::string& text) {
    char stamp[32];
    std::snprintf(
        stamp, sizeof stamp, "[%6s] ",
        FormatClock(static_cast<double>(session_.GetHost().ElapsedMs()) / 1000.0).c_str());
    out_ << stamp << text << "\n";
    out_.flush();
  }

  bool Fail(const std::string& why) {
    if (summary_.failure.empty()) summary_.failure = why;
    return false;
  }

  std::string Clocks(const StateView& state) const {
    std::string text =
        "clock " + FormatClock(state.showElapsed) + ", left " + FormatClock(state.showRemaining);
    if (state.hasDelay) text += ", delay " + FormatClock(state.delaySeconds);
    return text;
  }

  // --- Time ---
  bool Step() {
    if (interrupted_ && interrupted_()) return Fail("interrupted");
    pacer_.WaitUntilOwed(ShowSession::kTickMs);
    session_.Advance(ShowSession::kTickMs);
    pacer_.Use(ShowSession::kTickMs);
    for (ObservedEvent& event : session_.Observer().TakeEvents())
      events_.push_back(std::move(event));
    return true;
  }

  bool RunFor(int64_t ms) {
    for (int64_t run = 0; run < ms; run += ShowSession::kTickMs) {
      if (!Step()) return false;
    }
    return true;
  }

  bool RunUntil(const std::function<bool()>& done, int64_t limitMs, const std::string& what) {
    for (int64_t run = 0; !done(); run += ShowSession::kTickMs) {
      if (run >= limitMs)
        return Fail(what + " did not happen within " +
                    FormatClock(static_cast<double>(limitMs) / 1000.0));
      if (!Step()) return false;
    }
    return true;
  }

  std::optional<ObservedEvent> NextEvent(int64_t limitMs) {
    if (!RunUntil([&] { return !events_.empty(); }, limitMs, "anything")) return std::nullopt;
    ObservedEvent event = std::move(events_.front());
    events_.pop_front();
    return event;
  }

  // With the show standing still, ticks until the extension's state shows `wanted`.
  const StateView* AwaitState(const std::function<bool(const StateView&)>& wanted,
                              const std::string& what) {
    pacer_.Hold();
    const StateView* found = nullptr;
    const RealClock::time_point deadline = RealClock::now() + kStateWait;
    while (RealClock::now() < deadline && link_.IsConnected()) {
      if (interrupted_ && interrupted_()) break;
      session_.TickHeld();
      link_.Poll(5);
      if (link_.State() && wanted(*link_.State())) {
        found = link_.State();
        break;
      }
    }
    pacer_.Resume();
    if (!found) Fail("the extension's state did not show " + what);
    return found;
  }

  // The extension's state of this very moment: the show stands still until it has arrived.
  const StateView* Checkpoint() {
    pacer_.Hold();
    const RealClock::time_point until = RealClock::now() + kCheckpointHold;
    while (RealClock::now() < until && link_.IsConnected()) {
      session_.TickHeld();
      link_.Poll(10);
    }
    pacer_.Resume();
    if (!link_.State()) Fail("no state came from the extension");
    return link_.State();
  }

  bool Send(const std::string& line) {
    if (!link_.Send(line)) return Fail("the remote connection failed sending " + line);
    return true;
  }

  bool Press(KeyCommand command) {
    const char* action = ActionForCommand(command);
    if (!session_.RunAction(action)) return Fail(std::string("no action ") + action);
    Say(DescribeCommand(command) + " (" + action + ")");
    for (ObservedEvent& event : session_.Observer().TakeEvents())
      events_.push_back(std::move(event));
    return true;
  }

  // --- The parts of the show ---
  bool Connect() {
    std::string detail;
    if (!link_.IsConnected() && !link_.Connect(ProjectName(session_.GetHost()), &detail)) {
      return Fail("cannot reach the extension's remote server: " + detail);
    }
    const StateView* state = AwaitState([](const StateView&) { return true; }, "any state");
    if (!state) return false;
    double music = 0.0;
    for (const remote_cli::SetlistLine& line : state->setlist) {
      if (line.pause) continue;
      ++summary_.songsInSetlist;
      music += line.duration;
    }
    music_ = music;
    Say("The demo show: " + Quoted(state->projectName) + ", " +
        std::to_string(summary_.songsInSetlist) + " songs in the stored setlist, " +
        FormatClock(music) + " of music; the extension's remote server is on port " +
        std::to_string(link_.Port()) + ".");
    if (summary_.songsInSetlist == 0) return Fail("the setlist has no songs");
    return true;
  }

  bool Rehearse() {
    const int minutes = timings_.setMinutes > 0 ? timings_.setMinutes
                                                : std::max(5, static_cast<int>(music_ / 60.0));
    if (!Send(R"({"cmd":"SETUP_DURATION","minutes":)" + std::to_string(minutes) + "}"))
      return false;
    if (!AwaitState([&](const StateView& s) { return s.durationMinutes == minutes; },
                    "the set's length")) {
      return false;
    }
    summary_.durationMinutes = minutes;
    Say("SETUP_DURATION: the set is " + std::to_string(minutes) + " minutes long.");

    // The first song of the setlist, by its region number.
    const remote_cli::JsonValue* document = link_.Document();
    int64_t regionId = -1;
    std::string songName;
    for (const remote_cli::JsonValue& item : (*document)["setlist"].Items()) {
      if (item["pause"].Boolean(true)) continue;
      regionId = item["regionId"].Integer(-1);
      songName = item["name"].Text();
      break;
    }
    if (!Send(R"({"cmd":"MODE_PRACTISE"})") ||
        !Send(R"({"cmd":"PRACTISE_REGION","index":)" + std::to_string(regionId) + "}")) {
      return false;
    }
    const StateView* state = AwaitState(
        [&](const StateView& s) { return s.page == "PRACTISE" && s.practise.regionId == regionId; },
        "the practise page with " + Quoted(songName));
    if (!state) return false;
    // The section between the last two markers (or from the song's start to its only marker, or
    // the whole song).
    const auto markers = static_cast<int64_t>(state->practise.markers.size());
    const std::vector<std::string> names = state->practise.markers;
    const int64_t start = markers >= 2 ? markers - 2 : -2;
    const int64_t stop = markers >= 1 ? markers - 1 : -1;
    const int beats = timings_.precountBeats;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", timings_.practiseRate);
    if (!Send(R"({"cmd":"PRACTISE_START","index":)" + std::to_string(start) + "}") ||
        !Send(R"({"cmd":"PRACTISE_STOP_POINT","index":)" + std::to_string(stop) + "}") ||
        !Send(R"({"cmd":"PRACTISE_PRECOUNT","beats":)" + std::to_string(beats) + "}") ||
        !Send(std::string(R"({"cmd":"PRACTISE_RATE","rate":)") + rate + "}")) {
      return false;
    }
    if (!AwaitState(
            [&](const StateView& s) {
              return s.practise.startChoice == start && s.practise.stopChoice == stop &&
                     s.practise.precountBeats == beats &&
                     std::fabs(s.practise.rate - timings_.practiseRate) < 0.001;
            },
            "the practise section")) {
      return false;
    }
    const std::string from = start >= 0 ? Quoted(names[static_cast<size_t>(start)]) : "its start";
    const std::string to = stop >= 0 ? Quoted(names[static_cast<size_t>(stop)]) : "its end";
    Say("Rehearsal before the doors open (remote commands MODE_PRACTISE, PRACTISE_*): " +
        Quoted(songName) + " from " + from + " to " + to + " at " +
        std::to_string(static_cast<int>(std::lround(timings_.practiseRate * 100.0))) + "%.");

    if (!Send(R"({"cmd":"PRACTISE_PLAY"})")) return false;
    state = AwaitState([](const StateView& s) { return s.practise.active; }, "a practise run");
    if (!state) return false;
    Host& host = session_.GetHost();
    if (!state->practise.countingIn || host.PlayingPreviews() == 0) {
      return Fail("the practise run started without its count-in");
    }
    summary_.countInBeats = beats;
    Say("PRACTISE_PLAY: the count-in clicks " + std::to_string(beats) + " beats.");
    if (!RunUntil([&] { return host.Transport() == TransportState::kPlaying; }, 60'000,
                  "the section's start after the count-in")) {
      return false;
    }
    Say("The band plays " + Quoted(songName) + " from " + from + ".");
    if (!RunUntil([&] { return host.Transport() != TransportState::kPlaying; }, kQuietLimitMs,
                  "the end of the practise section")) {
      return false;
    }
    ++summary_.practiseRuns;
    Say("At " + to + " the run stops by itself.");

    // Once more with the loop on: the host repeats the section over its time selection until
    // the band stops it.
    if (!Send(R"({"cmd":"PRACTISE_LOOP","enabled":true})") || !Send(R"({"cmd":"PRACTISE_PLAY"})")) {
      return false;
    }
    Say("PRACTISE_LOOP and PRACTISE_PLAY: the section again, looped, after its count-in.");
    if (!RunUntil([&] { return host.Transport() == TransportState::kPlaying; }, 60'000,
                  "the looped section's start")) {
      return false;
    }
    double lastPosition = host.PlayPosition();
    if (!RunUntil(
            [&] {
              const double position = host.PlayPosition();
              const bool wrapped = position + 0.5 < lastPosition;
              lastPosition = position;
              return wrapped;
            },
            kQuietLimitMs, "the section's loop back to its start")) {
      return false;
    }
    Say("At " + to + " the host goes back to " + from + " and plays the section again.");
    if (!Send(R"({"cmd":"PRACTISE_STOP"})") ||
        !Send(R"({"cmd":"PRACTISE_LOOP","enabled":false})")) {
      return false;
    }
    if (!AwaitState([](const StateView& s) { return !s.practise.active && !s.practise.loop; },
                    "the looped run stopped")) {
      return false;
    }
    ++summary_.practiseRuns;
    Say("PRACTISE_STOP: the looped run ends; repeat and the host's count-in are as they were.");

    if (!Send(R"({"cmd":"MODE_LIVE"})")) return false;
    if (!AwaitState(
            [](const StateView& s) {
              return s.page == "LIVE" && std::fabs(s.playbackRate - 1.0) < 0.001;
            },
            "the live page")) {
      return false;
    }
    Say("MODE_LIVE: the live page, the rate back at 100%.");
    return true;
  }

  bool PlayShow() {
    session_.Observer().ResetCounts();
    events_.clear();
    if (!Press(KeyCommand::kStart)) return false;
    for (;;) {
      const std::optional<ObservedEvent> event = NextEvent(kQuietLimitMs);
      if (!event) return false;
      const StateView* state = Checkpoint();
      if (!state) return false;
      if (event->kind == ObservedEvent::Kind::kMoved) continue;
      if (event->kind == ObservedEvent::Kind::kSongStarted) {
        Say((event->chained ? Quoted(event->name) + " follows on by itself (auto-start)"
                            : "Playing " + Quoted(event->name)) +
            ": " + Clocks(*state) + ".");
        summary_.delay = state->delaySeconds;
        if (!vamped_ && !VampAndJump()) return false;
        continue;
      }
      if (state->showStatus == "FINISHED") {
        Say(Quoted(event->name) + ", the last song, ends, and with it the show.");
        break;
      }
      if (state->showStatus != "LIVE") return Fail("the show stopped being live");
      const auto current = static_cast<size_t>(std::max<int64_t>(0, state->currentIndex));
      const bool pause = current < state->setlist.size() && state->setlist[current].pause;
      if (pause) {
        Say(Quoted(event->name) + " ends. A pause: the band talks to the audience for " +
            FormatClock(static_cast<double>(timings_.pauseTalkMs) / 1000.0) + ".");
        if (!RunFor(timings_.pauseTalkMs)) return false;
      } else {
        Say(Quoted(event->name) + " ends; applause.");
        if (!RunFor(timings_.applauseMs)) return false;
      }
      if (!Press(KeyCommand::kNext)) return false;
    }

    const StateView* state = Checkpoint();
    if (!state) return false;
    for (const remote_cli::SetlistLine& line : state->setlist)
      summary_.songsPlayed += !line.pause && line.played ? 1 : 0;
    summary_.songsStarted = session_.Observer().SongsStarted();
    summary_.chained = session_.Observer().Chained();
    summary_.elapsed = state->showElapsed;
    if (state->showStatus != "FINISHED") return Fail("the show did not finish");
    if (summary_.songsPlayed != summary_.songsInSetlist) return Fail("not every song was played");
    return true;
  }

  // In the first song with a chorus: the band vamps on it once round, then jumps back to the
  // section before it on the next bar line.
  bool VampAndJump() {
    const remote_cli::JsonValue* document = link_.Document();
    if (!document) return true;
    const std::vector<remote_cli::JsonValue>& sections = (*document)["sections"].Items();
    size_t chorus = 0;
    while (chorus < sections.size() && sections[chorus]["name"].Text() != "Chorus")
      ++chorus;
    if (chorus == 0 || chorus >= sections.size()) return true;  // no chorus after a section
    vamped_ = true;
    // Copied: the document is replaced as states arrive.
    const double start = sections[chorus]["start"].Number(0.0);
    const std::string before = sections[chorus - 1]["name"].Text();
    Host& host = session_.GetHost();
    if (!RunUntil([&] { return host.PlayPosition() >= start + 0.5; }, kQuietLimitMs,
                  "the chorus")) {
      return false;
    }
    const double vampedAt = host.PlayPosition();
    const int64_t vampedAtMs = host.ElapsedMs();
    if (!Send(R"({"cmd":"LIVE_VAMP","enabled":true})")) return false;
    // The show stands still until the extension has taken the command, however fast it runs.
    if (!AwaitDocument([](const remote_cli::JsonValue& d) { return d["vamp"].Boolean(false); },
                       "the vamp")) {
      return false;
    }
    Say("LIVE_VAMP: the singer talks to the crowd; the band vamps on the chorus.");
    if (!AwaitMove(true, "the chorus' loop")) return false;
    const StateView* state = Checkpoint();
    if (!state) return false;
    Say("At the chorus' end the host goes back to its start: the vamp holds (" + Clocks(*state) +
        ").");
    if (!Send(R"({"cmd":"LIVE_JUMP_SECTION","index":)" + std::to_string(chorus - 1) +
              R"(,"when":1})")) {
      return false;
    }
    const auto target = static_cast<int64_t>(chorus - 1);
    if (!AwaitDocument(
            [target](const remote_cli::JsonValue& d) {
              return d["queuedSection"].Integer(-1) == target;
            },
            "the queued jump")) {
      return false;
    }
    Say("LIVE_JUMP_SECTION: once more from " + Quoted(before) + ", on the next bar line.");
    if (!AwaitMove(false, "the jump")) return false;
    summary_.liveControlSeconds = static_cast<double>(host.ElapsedMs() - vampedAtMs) / 1000.0 -
                                  (host.PlayPosition() - vampedAt);
    state = Checkpoint();
    if (!state) return false;
    Say("On the bar line the song goes back to " + Quoted(before) + "; the vamp is released (" +
        Clocks(*state) + ").");
    return true;
  }

  bool AwaitDocument(const std::function<bool(const remote_cli::JsonValue&)>& wanted,
                     const std::string& what) {
    return AwaitState(
               [&](const StateView&) {
                 const remote_cli::JsonValue* document = link_.Document();
                 return document && wanted(*document);
               },
               what) != nullptr;
  }

  // Plays on until the host's play position moves (the loop when `looped`, else a jump).
  bool AwaitMove(bool looped, const std::string& what) {
    auto moved = events_.end();
    if (!RunUntil(
            [&] {
              moved = std::find_if(events_.begin(), events_.end(), [&](const ObservedEvent& e) {
                return e.kind == ObservedEvent::Kind::kMoved && e.looped == looped;
              });
              return moved != events_.end();
            },
            kQuietLimitMs, what)) {
      return false;
    }
    events_.erase(moved);
    return true;
  }

  bool vamped_ = false;
  ShowSession& session_;
  StateLink& link_;
  Pacer pacer_;
  std::ostream& out_;
  std::function<bool()> interrupted_;
  ScriptTimings timings_;
  ScriptSummary summary_;
  std::deque<ObservedEvent> events_;
  double music_ = 0.0;
};

}  // namespace

ScriptSummary RunDemoScript(ShowSession& session, StateLink& link, double speed, std::ostream& out,
                            const std::function<bool()>& interrupted,
                            const ScriptTimings& timings) {
  return ScriptRunner(session, link, speed, out, interrupted, timings).Run();
}

std::string FormatSummary(const ScriptSummary& summary) {
  char text[512];
  std::string lines = "Summary\n";
  std::snprintf(text, sizeof text, "  songs played   %d of %d (%d followed on by auto-start)\n",
                summary.songsPlayed, summary.songsInSetlist, summary.chained);
  lines += text;
  lines += "  show clock     " + FormatClock(summary.elapsed) + " for a " +
           std::to_string(summary.durationMinutes) + "-minute set\n";
  lines += "  delay          " + FormatClock(summary.delay) + " when the last song started\n";
  if (summary.liveControlSeconds > 0.0) {
    lines += "  live control   a vamp on a chorus and a jump back, " +
             FormatClock(summary.liveControlSeconds) + " more music\n";
  }
  std::snprintf(text, sizeof text, "  rehearsal      %d run%s with a %d-beat count-in\n",
                summary.practiseRuns, summary.practiseRuns == 1 ? "" : "s", summary.countInBeats);
  lines += text;
  if (summary.speed > 0.0) {
    std::snprintf(text, sizeof text, "  time           %.1f s of show in %.1f s (speed %gx)\n",
                  summary.hostSeconds, summary.realSeconds, summary.speed);
  } else {
    std::snprintf(text, sizeof text, "  time           %.1f s of show in %.1f s (unpaced)\n",
                  summary.hostSeconds, summary.realSeconds);
  }
  lines += text;
  lines += summary.completed ? "The demo show completed.\n"
                             : "The demo show did not complete: " + summary.failure + "\n";
  return lines;
}

}  // namespace quorvane::sim
