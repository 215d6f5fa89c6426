#include "quorvane_remote/remote_tool.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/socket.h"
#include "quorvane_remote/command_line.h"
#include "quorvane_remote/discovery_client.h"
#include "quorvane_remote/help_text.h"
#include "quorvane_remote/json_reader.h"
#include "quorvane_remote/line_connection.h"
#include "quorvane_remote/state_view.h"

namespace quorvane::remote_cli {
namespace {

constexpr int64_t kProtocolVersion = 2;
constexpr std::size_t kQuotedPrefix = 80;  // how much of an unexpected line a message quotes

// "1.5 s"; to_chars, as it never follows the process locale.
std::string Seconds(double seconds) {
  char buffer[32];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, std::round(seconds * 10.0) / 10.0,
                    std::chars_format::general);
  return (error == std::errc() ? std::string(buffer, end) : std::string("?")) + " s";
}

std::string Quoted(std::string_view line) {
  std::string text(line.substr(0, kQuotedPrefix));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return "'" + text + (line.size() > kQuotedPrefix ? "...'" : "'");
}

// The type of a server line, or nothing when the line is not a JSON object.
std::optional<std::string> LineType(const std::optional<JsonValue>& message) {
  if (!message || !message->IsObject()) return std::nullopt;
  return (*message)["type"].Text();
}

// One run of a network verb: where to go, the connection, and the two streams.
class Session {
 public:
  Session(const Invocation& invocation, std::ostream& out, std::ostream& err,
          const std::function<bool()>& interrupted)
      : invocation_(invocation),
        options_(invocation.options),
        out_(out),
        err_(err),
        interrupted_(interrupted) {}

  int Discover();
  int Watch();
  int Send();

 private:
  std::chrono::milliseconds Timeout() const {
    return std::chrono::milliseconds(std::llround(options_.timeoutSeconds * 1000.0));
  }
  Clock::time_point Deadline() const { return Clock::now() + Timeout(); }
  bool Interrupted() const { return interrupted_ && interrupted_(); }

  void Fail(const std::string& message) { err_ << "quorvane-remote: " << message << "\n"; }
  std::string NobodyAnswered() const {
    return "no instance answered a discovery probe to " + options_.addressText + " (UDP port " +
           std::to_string(options_.discoveryPort) + ") within " + Seconds(options_.timeoutSeconds);
  }

  // Finds the instance, connects and reads its greeting; an exit code when that fails.
  std::optional<int> Open();
  std::optional<int> ReportLost(ReadStatus status, const std::string& when);
  // Prints a STATE line as the options ask; false when it was not worth a new block (its
  // readable form equals the last one shown).
  bool ShowState(const std::string& line, const JsonValue& state);

  const Invocation& invocation_;
  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  const std::function<bool()>& interrupted_;

  LineConnection connection_;
  std::string where_;  // "127.0.0.1:40123"
  std::string lastShown_;
};

int Session::Discover() {
  DiscoveryRequest request;
  request.probeTo = platform::Endpoint{options_.address, options_.discoveryPort};
  request.timeout = Timeout();
  const DiscoveryResult result = remote_cli::Discover(request, interrupted_);
  if (!result.error.empty()) {
    Fail(result.error);
    return kExitSocketFailure;
  }
  if (result.instances.empty()) {
    Fail(NobodyAnswered() + ". Is the host running with Quorvane loaded?");
    return kExitNoInstance;
  }
  for (const DiscoveredInstance& instance : result.instances) {
    out_ << (options_.raw ? instance.reply : RenderInstance(instance)) << "\n";
  }
  out_.flush();
  return kExitOk;
}

std::optional<int> Session::Open() {
  platform::Endpoint target{options_.address, options_.port.value_or(0)};
  if (!options_.port) {
    DiscoveryRequest request;
    request.probeTo = platform::Endpoint{options_.address, options_.discoveryPort};
    request.timeout = Timeout();
    request.firstOnly = true;
    const DiscoveryResult found = remote_cli::Discover(request, interrupted_);
    if (!found.error.empty()) {
      Fail(found.error);
      return kExitSocketFailure;
    }
    if (found.instances.empty()) {
      if (Interrupted()) return kExitOk;
      Fail(NobodyAnswered() + ". Is the host running with Quorvane loaded? --port P connects " +
           "without discovery.");
      return kExitNoInstance;
    }
    target = platform::Endpoint{found.instances.front().from.address, found.instances.front().port};
  }
  where_ = FormatIPv4(target.address) + ":" + std::to_string(target.port);

  switch (connection_.Connect(target, Timeout())) {
    case ConnectStatus::kConnected:
      break;
    case ConnectStatus::kRefused:
      Fail("cannot connect to " + where_ + ": connection refused (no instance listens there)");
      return kExitConnectFailed;
    case ConnectStatus::kTimedOut:
      Fail("cannot connect to " + where_ + ": no answer within " +
           Seconds(options_.timeoutSeconds));
      return kExitConnectFailed;
  }

  std::string welcome;
  const ReadStatus status = connection_.ReadLine(&welcome, Deadline(), interrupted_);
  if (status == ReadStatus::kInterrupted) return kExitOk;
  if (status == ReadStatus::kTimedOut) {
    Fail(where_ + " sent no greeting within " + Seconds(options_.timeoutSeconds) +
         "; is it a Quorvane instance?");
    return kExitNoGreeting;
  }
  if (status != ReadStatus::kLine) {
    return ReportLost(status, "before its greeting (the instance may be serving its maximum " +
                                  std::string("number of clients)"));
  }
  const std::optional<JsonValue> message = ParseJson(welcome);
  if (LineType(message) != "WELCOME") {
    Fail(where_ + " did not greet like a Quorvane instance: " + Quoted(welcome));
    return kExitNoGreeting;
  }
  const int64_t protocol = (*message)["protocol"].Integer(0);
  if (protocol != kProtocolVersion) {
    err_ << "quorvane-remote: warning: " << where_ << " speaks protocol " << protocol
         << "; this tool knows protocol " << kProtocolVersion << "\n";
  }
  if (options_.raw && invocation_.verb == Verb::kWatch) {
    out_ << welcome << "\n";
  } else if (invocation_.verb == Verb::kWatch) {
    out_ << "Connected to " << where_ << " (protocol " << protocol << ")\n";
  }
  out_.flush();
  return std::nullopt;
}

std::optional<int> Session::ReportLost(ReadStatus status, const std::string& when) {
  if (status == ReadStatus::kClosed) {
    Fail("the instance at " + where_ + " closed the connection " + when);
  } else {
    Fail("the connection to " + where_ + " broke " + when);
  }
  return kExitConnectionLost;
}

bool Session::ShowState(const std::string& line, const JsonValue& state) {
  if (options_.raw) {
    out_ << line << "\n";
    out_.flush();
    return true;
  }
  std::string rendered = RenderState(ReadStateView(state));
  if (rendered == lastShown_) return false;
  out_ << rendered;
  out_.flush();
  lastShown_ = std::move(rendered);
  return true;
}

int Session::Watch() {
  if (const std::optional<int> failed = Open()) return *failed;
  const Clock::time_point deadline =
      options_.seconds
          ? Clock::now() + std::chrono::milliseconds(std::llround(*options_.seconds * 1000.0))
          : Clock::time_point::max();
  int64_t shown = 0;
  std::string line;
  for (;;) {
    const ReadStatus status = connection_.ReadLine(&line, deadline, interrupted_);
    if (status == ReadStatus::kTimedOut || status == ReadStatus::kInterrupted) return kExitOk;
    if (status != ReadStatus::kLine) return *ReportLost(status, "while watching");
    const std::optional<JsonValue> message = ParseJson(line);
    const std::optional<std::string> type = LineType(message);
    if (type == "STATE") {
      if (ShowState(line, *message)) ++shown;
    } else if (options_.raw) {
      out_ << line << "\n";
      out_.flush();
    } else {
      err_ << "quorvane-remote: skipped a line that is not a state: " << Quoted(line) << "\n";
    }
    if (options_.count && shown >= *options_.count) return kExitOk;
  }
}

int Session::Send() {
  for (const std::string& warning : invocation_.warnings) {
    err_ << "quorvane-remote: warning: " << warning << "\n";
  }
  if (const std::optional<int> failed = Open()) return *failed;

  // With --wait-state the greeting's state comes first, so that the state printed afterwards is
  // one the command may have changed, not the one the connection started with.
  std::string line;
  std::string current;
  std::optional<JsonValue> currentState;
  if (options_.waitState) {
    const Clock::time_point deadline = Deadline();
    while (current.empty()) {
      const ReadStatus status = connection_.ReadLine(&line, deadline, interrupted_);
      if (status == ReadStatus::kInterrupted) return kExitOk;
      if (status == ReadStatus::kTimedOut) break;  // a host that does not tick: send anyway
      if (status != ReadStatus::kLine) return *ReportLost(status, "before the command was sent");
      std::optional<JsonValue> message = ParseJson(line);
      if (LineType(message) == "STATE") {
        current = line;
        currentState = std::move(message);
      }
    }
  }

  if (!connection_.SendAll(invocation_.commandLine + "\n", Deadline())) {
    Fail("cannot send to " + where_ + ": the connection broke");
    return kExitConnectionLost;
  }
  if (!options_.raw) out_ << "Sent " << invocation_.commandLine << " to " << where_ << "\n";
  out_.flush();

  if (!options_.waitState) {
    // The server drops a client whose stream ends, after queueing its complete lines: the end of
    // the connection is the receipt.
    if (!connection_.FinishSending()) return kExitOk;
    const Clock::time_point deadline = Deadline();
    for (;;) {
      const ReadStatus status = connection_.ReadLine(&line, deadline, interrupted_);
      if (status == ReadStatus::kLine) continue;
      if (status == ReadStatus::kClosed || status == ReadStatus::kInterrupted) return kExitOk;
      if (status == ReadStatus::kTimedOut) {
        err_ << "quorvane-remote: warning: " << where_ << " did not confirm the command within "
             << Seconds(options_.timeoutSeconds) << "\n";
        return kExitOk;
      }
      return *ReportLost(status, "before it confirmed the command");
    }
  }

  const Clock::time_point deadline = Deadline();
  for (;;) {
    const ReadStatus status = connection_.ReadLine(&line, deadline, interrupted_);
    if (status == ReadStatus::kInterrupted) return kExitOk;
    if (status == ReadStatus::kTimedOut) break;
    if (status != ReadStatus::kLine) return *ReportLost(status, "before the state changed");
    const std::optional<JsonValue> message = ParseJson(line);
    // A repeat of the state already known carries no news of the command.
    if (LineType(message) != "STATE" || line == current) continue;
    ShowState(line, *message);
    return kExitOk;
  }
  err_ << "quorvane-remote: the state did not change within " << Seconds(options_.timeoutSeconds)
       << (currentState ? "; it is still:" : "; the instance sent no state") << "\n";
  if (currentState) ShowState(current, *currentState);
  return kExitOk;
}

}  // namespace

int RunRemoteTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const std::function<bool()>& interrupted) {
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.invocation) {
    err << "quorvane-remote: " << parsed.error << "\nTry 'quorvane-remote --help'.\n";
    return kExitUsage;
  }
  const Invocation& invocation = *parsed.invocation;
  if (invocation.verb == Verb::kHelp) {
    const std::string text = HelpText(invocation.helpTopic);
    if (text.empty()) {
      err << "quorvane-remote: no help for '" << invocation.helpTopic
          << "'\nTry 'quorvane-remote --help'.\n";
      return kExitUsage;
    }
    out << text;
    out.flush();
    return kExitOk;
  }

  const platform::SocketLibrary library;
  if (!library.IsStarted()) {
    err << "quorvane-remote: the system's socket library cannot be started\n";
    return kExitSocketFailure;
  }
  Session session(invocation, out, err, interrupted);
  switch (invocation.verb) {
    case Verb::kDiscover:
      return session.Discover();
    case Verb::kWatch:
      return session.Watch();
    case Verb::kSend:
      return session.Send();
    case Verb::kHelp:
      break;
  }
  return kExitUsage;
}

}  // namespace quorvane::remote_cli
