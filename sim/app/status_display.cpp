#include "sim/app/status_display.h"

#include <cmath>

#include "sim/platform/terminal.h"
#include "quorvane_remote/state_view.h"
#include "sim/app/session.h"
#include "sim/app/state_link.h"

namespace quorvane::sim {
namespace {

using remote_cli::FormatClock;

// Texts from the network go to a terminal: control bytes become '?' so that no escape sequence
// slips into the display.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::isfinite(value) ? value : 0.0);
  return text;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// Items go by their setlist index, as remote commands (LIVE_SELECT) and quorvane-remote name them.
std::string SongLabel(const remote_cli::SetlistLine& line, size_t index) {
  return "#" + std::to_string(index) + " " +
         (line.pause ? std::string("PAUSE") : Printable(line.name));
}

std::string TransportText(TransportState state) {
  switch (state) {
    case TransportState::kPlaying:
      return "playing";
    case TransportState::kPaused:
      return "paused";
    case TransportState::kStopped:
      break;
  }
  return "stopped";
}

std::string PractiseText(const remote_cli::PractiseView& practise) {
  if (!practise.active) return {};
  const auto markerName = [&](int64_t choice, const char* edge) -> std::string {
    if (choice < 0 || choice >= static_cast<int64_t>(practise.markers.size())) return edge;
    return Printable(practise.markers[static_cast<size_t>(choice)]);
  };
  std::string text = "\"" + Printable(practise.songName) + "\" " +
                     markerName(practise.startChoice, "start") + " to " +
                     markerName(practise.stopChoice, "end") + " at " +
                     std::to_string(static_cast<int>(std::lround(practise.rate * 100.0))) + "%" +
                     (practise.loop ? ", looped" : "");
  if (practise.countingIn) {
    return "counting in " + std::to_string(practise.precountBeats) + " beats: " + text;
  }
  return (practise.playing ? "playing " : "starting ") + text;
}

std::string Plural(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string RemoteText(const StatusFacts& facts) {
  if (facts.port == 0) return "not connected to the extension's server";
  const int64_t apps = facts.clients > 0 ? facts.clients - 1 : 0;
  return "port " + std::to_string(facts.port) + ": " + Plural(apps, "app", "apps") +
         " connected, besides this display";
}

}  // namespace

std::string FormatPosition(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  const bool negative = seconds < 0.0;
  const auto tenths = static_cast<int64_t>(std::floor(std::fabs(seconds) * 10.0 + 1e-6));
  const int64_t wholeSeconds = tenths / 10;
  char text[64];
  if (wholeSeconds >= 3600) {
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld.%lld", negative ? "-" : "",
                  static_cast<long long>(wholeSeconds / 3600),
                  static_cast<long long>(wholeSeconds / 60 % 60),
                  static_cast<long long>(wholeSeconds % 60), static_cast<long long>(tenths % 10));
  } else {
    std::snprintf(text, sizeof text, "%s%lld:%02lld.%lld", negative ? "-" : "",
                  static_cast<long long>(wholeSeconds / 60),
                  static_cast<long long>(wholeSeconds % 60), static_cast<long long>(tenths % 10));
  }
  return text;
}

std::string FitToWidth(const std::string& text, int columns) {
  if (columns <= 0) return text;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte belongs to the character before
    if (count == columns) return text.substr(0, i);
    ++count;
  }
  return text;
}

// What a rig of two is doing, in a few words.
std::string RigText(const remote_cli::StateView& state) {
  if (state.rigRole == "main")
    return state.rigConnected ? "main rig, backup following" : "main rig, no backup";
  if (state.rigRole != "backup") return {};
  if (state.onBackupRig) return "ON BACKUP RIG";
  if (state.rigLeading) return "backup rig, leading";
  return state.rigConnected ? "backup rig, following the main" : "backup rig, main not reachable";
}

void ReadShowFacts(const remote_cli::StateView& state, StatusFacts* facts) {
  facts->haveState = true;
  facts->showStatus = Printable(state.showStatus);
  facts->page = Printable(state.page);
  facts->elapsed = state.showElapsed;
  facts->showRemaining = state.showRemaining;
  facts->playbackRemaining = state.playbackRemaining;
  facts->hasDelay = state.hasDelay;
  facts->delay = state.delaySeconds;
  facts->durationMinutes = state.durationMinutes;
  facts->currentIndex = state.currentIndex;
  facts->marker = Printable(state.currentMarkerName);
  facts->timeSignature = Printable(state.timeSignature);
  facts->bpm = state.bpm;
  facts->rate = state.playbackRate;
  facts->clients = state.clients;
  facts->practise = PractiseText(state.practise);
  facts->rig = RigText(state);

  const auto& items = state.setlist;
  facts->setlist.clear();
  for (size_t i = 0; i < items.size(); ++i) {
    facts->setlist.push_back(StatusSetlistRow{Printable(items[i].name), items[i].duration,
                                              items[i].pause, items[i].autoStart, items[i].played,
                                              static_cast<int64_t>(i) == state.currentIndex});
  }
  facts->currentSong.clear();
  facts->nextSong.clear();
  facts->nextAfterPause = false;
  if (state.currentIndex < 0 || state.currentIndex >= static_cast<int64_t>(items.size())) return;
  const auto current = static_cast<size_t>(state.currentIndex);
  facts->currentSong = SongLabel(items[current], current);
  for (size_t i = current + 1; i < items.size(); ++i) {
    if (items[i].pause) {
      facts->nextAfterPause = true;
      continue;
    }
    facts->nextSong = SongLabel(items[i], i);
    break;
  }
}

StatusFacts GatherStatus(const Host& host, const StateLink& link, double speed) {
  StatusFacts facts;
  facts.projectName = ProjectName(host);
  facts.speed = speed;
  facts.hostSeconds = static_cast<double>(host.ElapsedMs()) / 1000.0;
  facts.transport = TransportText(host.Transport());
  facts.playPosition = host.PlayPosition();
  const SimBeatPosition beat = host.BeatPosition(facts.playPosition);
  facts.bar = beat.measure + 1;
  facts.beat = beat.beatInMeasure + 1.0;
  for (const SimRegion& region : host.Project().regions) {
    if (facts.playPosition >= region.start && facts.playPosition < region.end) {
      facts.songUnderPosition = region.name;
      facts.songTime = facts.playPosition - region.start;
      facts.songLength = region.end - region.start;
      break;
    }
  }
  if (const remote_cli::StateView* state = link.State()) ReadShowFacts(*state, &facts);
  facts.port = link.IsConnected() ? link.Port() : 0;
  return facts;
}

std::vector<std::string> FormatStatusScreen(const StatusFacts& facts) {
  std::vector<std::string> lines;
  lines.push_back("KALVERN LIVE PLAYBACK SYSTEM  |  " + Printable(facts.projectName) +
                  "  |  quorvane-sim at " + Fixed(facts.speed, facts.speed < 10 ? 1 : 0) +
                  "x, host clock " + FormatClock(facts.hostSeconds));
  if (!facts.haveState) {
    lines.push_back("Show       no state from the extension yet (" + RemoteText(facts) + ")");
  } else {
    lines.push_back("Show       " + Pad(facts.showStatus, 9) + "clock " +
                    FormatClock(facts.elapsed) + "   left " + FormatClock(facts.showRemaining) +
                    " of " + FormatClock(static_cast<double>(facts.durationMinutes) * 60.0) +
                    "   music to play " + FormatClock(facts.playbackRemaining));
    lines.push_back("Delay      " + (facts.hasDelay ? FormatClock(facts.delay) + " over the set"
                                                    : std::string("none")));
    std::string now = facts.currentSong.empty() ? std::string("-") : facts.currentSong;
    if (!facts.marker.empty()) now += "  [" + facts.marker + "]";
    lines.push_back("Current    " + now);
    lines.push_back("Next       " + (facts.nextSong.empty() ? std::string("-") : facts.nextSong) +
                    (facts.nextAfterPause && !facts.nextSong.empty() ? "  (after a pause)" : ""));
    if (!facts.rig.empty()) lines.push_back("Rig        " + facts.rig);
  }
  std::string transport = "Transport  " + facts.transport + " at " +
                          FormatPosition(facts.playPosition) + "   bar " +
                          std::to_string(facts.bar) + " beat " +
                          std::to_string(static_cast<int>(std::floor(facts.beat)));
  if (!facts.songUnderPosition.empty()) {
    transport += "   in \"" + Printable(facts.songUnderPosition) + "\" " +
                 FormatClock(facts.songTime) + " / " + FormatClock(facts.songLength);
  }
  if (facts.haveState) {
    transport += "   " + facts.timeSignature + " " + Fixed(facts.bpm, 0) + " bpm  rate " +
                 Fixed(facts.rate, 2);
  }
  lines.push_back(transport);
  if (!facts.practise.empty()) lines.push_back("Practise   " + facts.practise);
  if (facts.haveState) lines.push_back("Remote     " + RemoteText(facts));

  if (!facts.setlist.empty()) {
    lines.push_back("");
    for (size_t i = 0; i < facts.setlist.size(); ++i) {
      const StatusSetlistRow& row = facts.setlist[i];
      char number[32];
      std::snprintf(number, sizeof number, "#%-3zu", i);
      std::string line = row.current ? "  > " : row.played ? "  x " : "    ";
      line += number;
      if (row.pause) {
        line += "PAUSE";
      } else {
        line +=
            Pad(row.name, 28) + (row.autoStart ? "auto  " : "      ") + FormatClock(row.duration);
      }
      lines.push_back(line);
    }
  }
  lines.push_back("");
  lines.push_back("Keys       s start  n next  x stop  e end  p play current  q quit");
  if (!facts.lastEvent.empty()) lines.push_back("Last       " + facts.lastEvent);
  return lines;
}

std::string FormatStatusLine(const StatusFacts& facts) {
  std::string line = "[" + FormatPosition(facts.hostSeconds) + "] ";
  if (facts.haveState) {
    line += facts.showStatus + " clock " + FormatClock(facts.elapsed) + " left " +
            FormatClock(facts.showRemaining) +
            (facts.hasDelay ? " delay " + FormatClock(facts.delay) : std::string()) + " | now " +
            (facts.currentSong.empty() ? std::string("-") : facts.currentSong) +
            (facts.marker.empty() ? std::string() : " [" + facts.marker + "]") + " | next " +
            (facts.nextSong.empty() ? std::string("-") : facts.nextSong) + " | ";
  }
  line += facts.transport + " " + FormatPosition(facts.playPosition) + " bar " +
          std::to_string(facts.bar);
  if (!facts.practise.empty()) line += " | practise: " + facts.practise;
  if (!facts.rig.empty()) line += " | " + facts.rig;
  if (facts.haveState && facts.port != 0) {
    const int64_t apps = facts.clients > 0 ? facts.clients - 1 : 0;
    line += " | " + Plural(apps, "remote app", "remote apps");
  }
  return line;
}

StatusDisplay::StatusDisplay(std::FILE* out, Mode mode) : out_(out), mode_(mode) {
  if (mode_ == Mode::kTerminal) std::fputs("\x1b[?25l", out_);  // no blinking cursor in the block
}

StatusDisplay::~StatusDisplay() {
  if (mode_ == Mode::kTerminal) std::fputs("\x1b[?25h", out_);
  std::fflush(out_);
}

void StatusDisplay::Update(const StatusFacts& facts, double nowSeconds) {
  lastFacts_ = facts;
  haveFacts_ = true;
  if (mode_ == Mode::kTerminal) {
    if (lastDraw_ >= 0.0 && nowSeconds - lastDraw_ < kRedrawSeconds) return;
    lastDraw_ = nowSeconds;
    Draw(facts);
    return;
  }
  // A plain line when the situation changes (status, song, transport, practise), else at most
  // one a second while the clocks move.
  const std::string situation = facts.showStatus + "|" + std::to_string(facts.currentIndex) + "|" +
                                facts.transport + "|" + facts.practise + "|" + facts.page + "|" +
                                facts.rig;
  const std::string line = FormatStatusLine(facts);
  if (situation == lastSituation_) {
    if (nowSeconds - lastDraw_ < kPlainLineSeconds) return;
    // Past the host clock in front, nothing moved: no line.
    if (line.substr(line.find(']')) == lastLine_.substr(lastLine_.find(']'))) return;
  }
  lastSituation_ = situation;
  lastLine_ = line;
  lastDraw_ = nowSeconds;
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void StatusDisplay::Note(const std::string& text) {
  if (mode_ == Mode::kPlain) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
    return;
  }
  Erase();
  std::fprintf(out_, "%s\n", text.c_str());
  if (haveFacts_) Draw(lastFacts_);
  std::fflush(out_);
}

void StatusDisplay::Draw(const StatusFacts& facts) {
  const int columns = platform::TerminalColumns();
  std::string frame;
  if (drawnLines_ > 0) frame += "\x1b[" + std::to_string(drawnLines_) + "F";
  const std::vector<std::string> lines = FormatStatusScreen(facts);
  for (const std::string& line : lines) {
    // One column spare: a line that fills the last column would wrap on some terminals.
    frame += "\x1b[2K" + FitToWidth(line, columns > 1 ? columns - 1 : 0) + "\n";
  }
  frame += "\x1b[J";
  drawnLines_ = static_cast<int>(lines.size());
  std::fputs(frame.c_str(), out_);
  std::fflush(out_);
}

void StatusDisplay::Erase() {
  if (drawnLines_ == 0) return;
  std::fprintf(out_, "\x1b[%dF\x1b[J", drawnLines_);
  drawnLines_ = 0;
}

}  // namespace quorvane::sim
