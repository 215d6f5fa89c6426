#include "quorvane_remote/state_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "quorvane_remote/command_line.h"

namespace quorvane::remote_cli {
namespace {

constexpr std::size_t kNameColumn = 28;  // widest setlist name before the duration column

// Texts from the network go to a terminal: control bytes become '?' so that no escape sequence
// of a hostile or broken peer reaches it.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  if (!std::isfinite(value)) value = 0.0;
  value = std::clamp(value, -1e12, 1e12);
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string Count(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string TwoDigits(int64_t value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string MarkerChoice(const PractiseView& practise, int64_t choice, const char* songEdge) {
  if (choice < 0) return songEdge;
  if (choice < static_cast<int64_t>(practise.markers.size())) {
    return "marker \"" + Printable(practise.markers[static_cast<std::size_t>(choice)]) + "\"";
  }
  return "marker #" + std::to_string(choice);
}

std::string PractiseLine(const PractiseView& practise) {
  if (practise.regionId < 0 && !practise.active) return "Practise: no song chosen\n";
  std::string line = "Practise: \"" + Printable(practise.songName) + "\" (region " +
                     std::to_string(practise.regionId) + ") from " +
                     MarkerChoice(practise, practise.startChoice, "the start") + " to " +
                     MarkerChoice(practise, practise.stopChoice, "the end");
  line += ", rate " + Fixed(practise.rate, 2) + ", loop " + (practise.loop ? "on" : "off") + ", ";
  line += practise.precountBeats > 0
              ? "pre-count " + std::to_string(practise.precountBeats) + " beats"
              : std::string("no pre-count");
  if (practise.countingIn) {
    line += ", counting in";
  } else if (practise.playing) {
    line += ", playing at " + FormatClock(practise.position);
  } else if (practise.active) {
    line += ", starting";
  } else {
    line += ", idle";
  }
  return line + "\n";
}

std::string SetlistBlock(const StateView& state) {
  std::string block = "Setlist: ";
  block += state.setlist.empty()
               ? std::string("empty")
               : Count(state.songCount, "song", "songs") + ", music " + Printable(state.musicTime);
  block += ", show " + std::to_string(state.durationMinutes) + " min, ";
  if (!state.autoStartShow) {
    block += "timed start off";
  } else if (state.autoStartHour >= 0 && state.autoStartMinute >= 0) {
    block +=
        "timed start at " + TwoDigits(state.autoStartHour) + ":" + TwoDigits(state.autoStartMinute);
  } else {
    block += "timed start on, no time set";
  }
  block += "\n";
  for (const SetlistLine& item : state.setlist) {
    std::string name = Printable(item.name);
    if (name.size() < kNameColumn) name.append(kNameColumn - name.size(), ' ');
    std::string line = std::string("  ") + (item.index == state.currentIndex ? "> " : "  ") +
                       (item.played ? "[x] " : "[ ] ") + "#" + std::to_string(item.index) + " " +
                       name;
    if (!item.pause) line += " " + FormatClock(item.duration);
    if (item.autoStart) line += "  auto-start";
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    block += line + "\n";
  }
  return block;
}

}  // namespace

std::string FormatClock(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  const bool negative = seconds <= -1.0;
  const auto whole = static_cast<int64_t>(std::min(std::fabs(seconds), 1e12));
  const int64_t hours = whole / 3600;
  const int64_t minutes = whole / 60 % 60;
  const int64_t rest = whole % 60;
  std::string text = negative ? "-" : "";
  if (hours > 0) {
    text += std::to_string(hours) + ":" + TwoDigits(minutes);
  } else {
    text += std::to_string(minutes);
  }
  return text + ":" + TwoDigits(rest);
}

StateView ReadStateView(const JsonValue& state) {
  StateView view;
  view.projectName = state["projectName"].Text();
  view.instanceId = state["instanceId"].Text();
  view.page = state["page"].Text("?");
  view.showStatus = state["showStatus"].Text("?");
  view.playing = state["playing"].Boolean(false);
  view.position = state["position"].Number(0.0);
  view.currentIndex = state["currentIndex"].Integer(-1);
  view.currentMarkerName = state["currentMarkerName"].Text();
  view.showElapsed = state["showElapsed"].Number(0.0);
  view.showRemaining = state["showRemaining"].Number(0.0);
  view.playbackRemaining = state["playbackRemaining"].Number(0.0);
  view.hasDelay = state["hasDelay"].Boolean(false);
  view.delaySeconds = state["delaySeconds"].Number(0.0);
  view.liveTransport = state["liveTransport"].Text("?");
  view.timeSignature = state["timeSignature"].Text("--");
  view.bpm = state["bpm"].Number(0.0);
  view.playbackRate = state["playbackRate"].Number(1.0);
  view.repeat = state["repeat"].Boolean(false);
  view.autoStartShow = state["autoStartShow"].Boolean(false);
  view.autoStartHour = state["autoStartHour"].Integer(-1);
  view.autoStartMinute = state["autoStartMinute"].Integer(-1);

  int64_t position = 0;
  for (const JsonValue& item : state["setlist"].Items()) {
    SetlistLine line;
    line.index = item["index"].Integer(position);
    line.name = item["name"].Text();
    line.duration = item["duration"].Number(0.0);
    line.pause = item["pause"].Boolean(false);
    line.autoStart = item["autoStart"].Boolean(false);
    line.played = item["played"].Boolean(false);
    view.setlist.push_back(std::move(line));
    ++position;
  }
  const JsonValue& setup = state["setup"];
  view.durationMinutes = setup["durationMinutes"].Integer(0);
  view.songCount = setup["songCount"].Integer(0);
  view.musicTime = setup["musicTime"].Text("--:--:--");

  for (const JsonValue& track : state["soundCheck"].Items()) {
    ++view.trackCount;
    if (track["muted"].Boolean(false)) ++view.mutedTracks;
    if (track["soloed"].Boolean(false)) ++view.soloedTracks;
  }

  const JsonValue& practise = state["practise"];
  view.practise.regionId = practise["regionId"].Integer(-1);
  view.practise.songName = practise["songName"].Text();
  for (const JsonValue& marker : practise["markers"].Items()) {
    view.practise.markers.push_back(marker["name"].Text());
  }
  view.practise.startChoice = practise["startChoice"].Integer(-2);
  view.practise.stopChoice = practise["stopChoice"].Integer(-1);
  view.practise.precountBeats = practise["precountBeats"].Integer(0);
  view.practise.loop = practise["loop"].Boolean(false);
  view.practise.rate = practise["rate"].Number(1.0);
  view.practise.active = practise["active"].Boolean(false);
  view.practise.countingIn = practise["countingIn"].Boolean(false);
  view.practise.playing = practise["playing"].Boolean(false);
  view.practise.position = practise["position"].Number(0.0);

  view.clients = state["remote"]["clients"].Integer(0);
  const JsonValue& rig = state["rig"];
  view.rigRole = rig["role"].Text("single");
  view.rigLeading = rig["leading"].Boolean(true);
  view.rigConnected = rig["connected"].Boolean(false);
  view.onBackupRig = rig["onBackupRig"].Boolean(false);
  return view;
}

std::string RenderState(const StateView& state) {
  std::string text = "=== \"" + Printable(state.projectName) + "\" | instance " +
                     Printable(state.instanceId) + " | " +
                     Count(state.clients, "client", "clients") + "\n";
  text += "Page " + Printable(state.page) + ", show " + Printable(state.showStatus) + ", " +
          (state.playing ? "playing" : "stopped") + ", transport button " +
          Printable(state.liveTransport) + "\n";

  text += "Current: ";
  const auto current =
      std::find_if(state.setlist.begin(), state.setlist.end(),
                   [&](const SetlistLine& item) { return item.index == state.currentIndex; });
  if (state.currentIndex < 0 || current == state.setlist.end()) {
    text += "none";
  } else {
    text += "#" + std::to_string(current->index) + " " + Printable(current->name);
    if (state.playing) text += " at " + FormatClock(state.position);
    if (!state.currentMarkerName.empty()) {
      text += ", marker \"" + Printable(state.currentMarkerName) + "\"";
    }
  }
  text += "\n";

  text += "Show clock: elapsed " + FormatClock(state.showElapsed) + ", remaining " +
          FormatClock(state.showRemaining) + ", music left " +
          FormatClock(state.playbackRemaining) + ", " +
          (state.hasDelay ? "late by " + FormatClock(state.delaySeconds) : std::string("on time")) +
          "\n";
  text += "Tempo " + Printable(state.timeSignature) + " at " + Fixed(state.bpm, 2) +
          " bpm, play rate " + Fixed(state.playbackRate, 2) + ", repeat " +
          (state.repeat ? "on" : "off") + "\n";
  text += SetlistBlock(state);
  text += PractiseLine(state.practise);
  text += "Sound check: " + Count(state.trackCount, "track", "tracks") + ", " +
          std::to_string(state.mutedTracks) + " muted, " + std::to_string(state.soloedTracks) +
          " soloed\n";
  return text;
}

std::string RenderInstance(const DiscoveredInstance& instance) {
  return FormatIPv4(instance.from.address) + ":" + std::to_string(instance.port) + "  instance " +
         Printable(instance.instanceId) + "  project \"" + Printable(instance.projectName) +
         "\"  host " + Printable(instance.host) + "  protocol " + std::to_string(instance.protocol);
}

}  // namespace quorvane::remote_cli
