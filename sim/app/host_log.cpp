#include "sim/app/host_log.h"

#include <algorithm>
#include <cstdio>

namespace quorvane::sim {
namespace {

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", value);
  return text;
}

std::string Describe(const HostCall& call) {
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
    return f + "(set " + call.text + " " + Seconds(call.time) + " - " + Seconds(call.endTime) + ")";
  }
  if (f == "PlayPreviewEx" || f == "StopPreview") {
    return f + "(" + call.text + ") -> " + std::to_string(call.result);
  }
  if (!call.text.empty()) return f + "(" + call.text + ")";
  return f + "()";
}

const char* TransportText(TransportState state) {
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

}  // namespace

std::vector<std::string> HostLog::TakeLines() {
  std::vector<std::string> lines;
  if (everyCall_) HostCalls(lines);

  const std::string& console = host_.ConsoleText();
  for (size_t newline; (newline = console.find('\n', console_)) != std::string::npos;) {
    if (newline > console_)
      lines.push_back("console: " + console.substr(console_, newline - console_));
    console_ = newline + 1;
  }
  const auto& messages = host_.Messages();
  for (; messages_ < messages.size(); ++messages_) {
    const ShownMessage& message = messages[messages_];
    lines.push_back("message box \"" + message.title + "\" (" +
                    (message.icon == platform::MessageIcon::kError ? "error" : "warning") +
                    "): " + message.text);
  }
  const auto& problems = host_.Problems();
  for (; problems_ < problems.size(); ++problems_)
    lines.push_back("host problem: " + problems[problems_]);

  if (everyCall_ && host_.Transport() != transport_) {
    transport_ = host_.Transport();
    lines.push_back(std::string("transport ") + TransportText(transport_) + " at " +
                    Seconds(host_.PlayPosition()));
  }
  return lines;
}

void HostLog::HostCalls(std::vector<std::string>& lines) {
  const auto& registrations = host_.Registrations();
  for (; registrations_ < registrations.size(); ++registrations_) {
    const RegistrationCall& call = registrations[registrations_];
    lines.push_back("register " + call.name + (call.what.empty() ? "" : " \"" + call.what + "\"") +
                    " -> " + std::to_string(call.result));
  }
  // Stored keys come in bursts (the setlist is written whole): one line per burst.
  std::vector<std::string> stateWrites;
  const auto flushStateWrites = [&] {
    if (stateWrites.empty()) return;
    std::string text = "project state written (" + std::to_string(stateWrites.size()) + "): ";
    for (size_t i = 0; i < stateWrites.size() && i < 4; ++i)
      text += (i ? ", " : "") + stateWrites[i];
    if (stateWrites.size() > 4) text += ", ...";
    lines.push_back(text);
    stateWrites.clear();
  };
  // Only the recent calls are kept: after a flood the oldest unseen ones are gone.
  const auto& calls = host_.Calls();
  const uint64_t fresh = host_.CallsRecorded() - calls_;
  calls_ = host_.CallsRecorded();
  const size_t from = calls.size() - static_cast<size_t>(std::min<uint64_t>(fresh, calls.size()));
  for (size_t i = from; i < calls.size(); ++i) {
    const HostCall& call = calls[i];
    if (call.function == "SetProjExtState") {
      stateWrites.push_back(call.text);
      continue;
    }
    flushStateWrites();
    if (call.function != "ShowConsoleMsg") lines.push_back("host call " + Describe(call));
  }
  flushStateWrites();
}

std::vector<std::string> HostLog::ActionLines() const {
  std::vector<std::string> lines;
  for (const SimAction& action : host_.Actions()) {
    lines.push_back("  " + action.name +
                    (action.description.empty() ? "" : "  \"" + action.description + "\""));
  }
  return lines;
}

}  // namespace quorvane::sim
