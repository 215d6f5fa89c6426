// quorvane-remote's arguments: which verb, its options, and for a command the JSON line to send.
//
//   quorvane-remote discover [--address A] [--timeout S] [--raw]
//   quorvane-remote watch [--raw] [--host H] [--port P] [--count N] [--seconds S]
//   quorvane-remote send NAME [FIELD=VALUE...] [--wait-state]
//   quorvane-remote next | select 3 | mute 2 on | ...   (aliases)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane_remote/command_catalogue.h"

namespace quorvane::remote_cli {

enum class Verb { kHelp, kDiscover, kWatch, kSend };

struct Options {
  // The instance's address (--host), or where discover sends its probe (--address).
  uint32_t address = 0x7F000001u;  // 127.0.0.1
  std::string addressText = "127.0.0.1";
  std::optional<uint16_t> port;  // none: find the instance by a discovery probe
  uint16_t discoveryPort = 48193;
  double timeoutSeconds = 3.0;
  bool raw = false;
  bool waitState = false;
  std::optional<int64_t> count;   // watch: stop after this many states
  std::optional<double> seconds;  // watch: stop after this long
};

inline constexpr double kDiscoverTimeoutSeconds = 1.0;
inline constexpr double kConnectTimeoutSeconds = 3.0;

struct Invocation {
  Verb verb = Verb::kHelp;
  std::string helpTopic;  // kHelp: empty for the overview, else a verb or alias
  Options options;
  std::string commandName;  // kSend: the "cmd" value
  std::string commandLine;  // kSend: the JSON line, without its line feed
  // kSend: fields the command does not read, values it would ignore, and the like.
  std::vector<std::string> warnings;
};

struct ParsedArguments {
  std::optional<Invocation> invocation;
  std::string error;  // why there is no invocation, for the user
};

// `args` without the program name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// How a field value is written: integers and reals as JSON numbers, true and false as booleans,
// anything else as a JSON string. A value wrapped in double quotes is always a string (without
// them), so that "60" can still be sent as text.
enum class ValueKind { kInteger, kReal, kBoolean, kString };

struct FieldValue {
  std::string key;
  ValueKind kind = ValueKind::kString;
  std::string text;  // the number or boolean as written, or the string's content
};

FieldValue TypeFieldValue(std::string_view key, std::string_view value);

// An alias's argument, typed by the field it fills: whole numbers for integers, any number for
// reals, on/off (true/false, yes/no, 1/0) for booleans. None when it does not fit.
std::optional<FieldValue> AliasArgument(const FieldInfo& field, std::string_view value);

// {"cmd":"NAME","field":value,...}: the command first, the fields in the order given.
std::string BuildCommandLine(std::string_view command, const std::vector<FieldValue>& fields);

// Remarks about a command line before it is sent: an unknown command name, a field the command
// does not read, a value of a kind the command ignores, a field it needs that is missing.
std::vector<std::string> CheckCommand(std::string_view command,
                                      const std::vector<FieldValue>& fields);

// An IPv4 address in dotted decimal, or "localhost"; host byte order.
std::optional<uint32_t> ParseIPv4(std::string_view text);
std::string FormatIPv4(uint32_t address);

}  // namespace quorvane::remote_cli
