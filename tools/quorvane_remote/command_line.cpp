#include "quorvane_remote/command_line.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

#include "protocol/json_writer.h"

namespace quorvane::remote_cli {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the JSON number at the start of `text` (0 when there is none), and whether it has
// a fraction or an exponent.
std::size_t NumberLength(std::string_view text, bool* isReal) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && IsDigit(text[i]))
      ++i;
    return i > from;
  };
  *isReal = false;
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0') {
    ++i;
  } else if (!digits()) {
    return 0;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return 0;
    *isReal = true;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return 0;
    *isReal = true;
  }
  return i;
}

std::optional<ValueKind> NumberKind(std::string_view text) {
  bool isReal = false;
  if (text.empty() || NumberLength(text, &isReal) != text.size()) return std::nullopt;
  return isReal ? ValueKind::kReal : ValueKind::kInteger;
}

template <class T>
std::optional<T> ParseWhole(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseReal(std::string_view text) {
  if (!NumberKind(text)) return std::nullopt;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> ParseSwitch(std::string_view text) {
  if (text == "on" || text == "true" || text == "yes" || text == "1") return true;
  if (text == "off" || text == "false" || text == "no" || text == "0") return false;
  return std::nullopt;
}

std::string_view KindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kInteger:
      return "an integer";
    case ValueKind::kReal:
      return "a real number";
    case ValueKind::kBoolean:
      return "a boolean";
    case ValueKind::kString:
      return "a string";
  }
  return "a value";
}

// --- Options -------------------------------------------------------------------------------

enum class Option {
  kHost,
  kPort,
  kTimeout,
  kDiscoveryPort,
  kAddress,
  kRaw,
  kWaitState,
  kCount,
  kSeconds,
};

struct OptionInfo {
  std::string_view name;
  Option option;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"--host", Option::kHost, true},
    {"--port", Option::kPort, true},
    {"--timeout", Option::kTimeout, true},
    {"--discovery-port", Option::kDiscoveryPort, true},
    {"--address", Option::kAddress, true},
    {"--raw", Option::kRaw, false},
    {"--wait-state", Option::kWaitState, false},
    {"--count", Option::kCount, true},
    {"--seconds", Option::kSeconds, true},
};

bool Allowed(Verb verb, Option option) {
  switch (option) {
    case Option::kTimeout:
    case Option::kDiscoveryPort:
    case Option::kRaw:
      return true;
    case Option::kAddress:
      return verb == Verb::kDiscover;
    case Option::kHost:
    case Option::kPort:
      return verb == Verb::kWatch || verb == Verb::kSend;
    case Option::kWaitState:
      return verb == Verb::kSend;
    case Option::kCount:
    case Option::kSeconds:
      return verb == Verb::kWatch;
  }
  return false;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
  const std::optional<int> port = ParseWhole<int>(text);
  if (!port || *port < 1 || *port > 65535) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

// Stores one option's value; an error text when the value does not fit.
std::string ApplyOption(Option option, std::string_view name, std::string_view value,
                        Options& options) {
  const std::string wrong = "invalid value '" + std::string(value) + "' for " + std::string(name);
  switch (option) {
    case Option::kHost:
    case Option::kAddress: {
      const std::optional<uint32_t> address = ParseIPv4(value);
      if (!address) return wrong + " (an IPv4 address such as 127.0.0.1 is expected)";
      options.address = *address;
      options.addressText = std::string(value);
      return {};
    }
    case Option::kPort:
    case Option::kDiscoveryPort: {
      const std::optional<uint16_t> port = ParsePort(value);
      if (!port) return wrong + " (a port from 1 to 65535 is expected)";
      if (option == Option::kPort) {
        options.port = *port;
      } else {
        options.discoveryPort = *port;
      }
      return {};
    }
    case Option::kTimeout:
    case Option::kSeconds: {
      const std::optional<double> seconds = ParseReal(value);
      if (!seconds || *seconds <= 0.0 || *seconds > 86400.0) {
        return wrong + " (seconds above 0 are expected)";
      }
      if (option == Option::kTimeout) {
        options.timeoutSeconds = *seconds;
      } else {
        options.seconds = *seconds;
      }
      return {};
    }
    case Option::kCount: {
      const std::optional<int64_t> count = ParseWhole<int64_t>(value);
      if (!count || *count < 1) return wrong + " (a whole number of 1 or more is expected)";
      options.count = *count;
      return {};
    }
    case Option::kRaw:
      options.raw = true;
      return {};
    case Option::kWaitState:
      options.waitState = true;
      return {};
  }
  return wrong;
}

std::optional<Verb> VerbOf(std::string_view word) {
  if (word == "discover") return Verb::kDiscover;
  if (word == "watch") return Verb::kWatch;
  if (word == "send") return Verb::kSend;
  if (FindAlias(word) || FindCommand(word)) return Verb::kSend;
  return std::nullopt;
}

ParsedArguments Failure(std::string error) {
  ParsedArguments parsed;
  parsed.error = std::move(error);
  return parsed;
}

ParsedArguments Help(std::string topic) {
  ParsedArguments parsed;
  parsed.invocation.emplace();
  parsed.invocation->verb = Verb::kHelp;
  parsed.invocation->helpTopic = std::move(topic);
  return parsed;
}

// The fields of `send NAME key=value...` or of a protocol name used as the verb.
std::string ReadFields(const std::vector<std::string>& words, std::vector<FieldValue>* fields) {
  for (const std::string& word : words) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) {
      return "expected FIELD=VALUE, got '" + word + "'";
    }
    const std::string_view key = std::string_view(word).substr(0, equals);
    if (key == "cmd") return "the command is named by NAME, not by a cmd= field";
    fields->push_back(TypeFieldValue(key, std::string_view(word).substr(equals + 1)));
  }
  return {};
}

std::string ReadAliasArguments(const AliasInfo& alias, const std::vector<std::string>& words,
                               std::vector<FieldValue>* fields) {
  const CommandInfo& command = *FindCommand(alias.command);
  std::string usage = std::string(alias.word);
  for (const FieldInfo& field : command.fields)
    usage += " " + std::string(field.placeholder);
  if (words.size() != command.fields.size()) {
    return "usage: quorvane-remote " + usage + " (" + std::to_string(command.fields.size()) +
           " argument" + (command.fields.size() == 1 ? "" : "s") + ", got " +
           std::to_string(words.size()) + ")";
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    const FieldInfo& field = command.fields[i];
    std::optional<FieldValue> value = AliasArgument(field, words[i]);
    if (!value) {
      const std::string expected = field.type == FieldType::kBoolean   ? "on or off"
                                   : field.type == FieldType::kInteger ? "a whole number"
                                   : field.type == FieldType::kString  ? "text"
                                                                       : "a number";
      return std::string(field.placeholder) + " of " + std::string(alias.word) + " must be " +
             expected + ", got '" + words[i] + "'";
    }
    fields->push_back(std::move(*value));
  }
  return {};
}

}  // namespace

// --- Values --------------------------------------------------------------------------------

FieldValue TypeFieldValue(std::string_view key, std::string_view value) {
  FieldValue field;
  field.key = std::string(key);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    field.kind = ValueKind::kString;
    field.text = std::string(value.substr(1, value.size() - 2));
  } else if (value == "true" || value == "false") {
    field.kind = ValueKind::kBoolean;
    field.text = std::string(value);
  } else if (const std::optional<ValueKind> number = NumberKind(value)) {
    field.kind = *number;
    field.text = std::string(value);
  } else {
    field.kind = ValueKind::kString;
    field.text = std::string(value);
  }
  return field;
}

std::optional<FieldValue> AliasArgument(const FieldInfo& field, std::string_view value) {
  FieldValue typed;
  typed.key = std::string(field.name);
  switch (field.type) {
    case FieldType::kInteger: {
      // The extension reads 32-bit integers; anything wider would be cut to the limits silently.
      if (NumberKind(value) != ValueKind::kInteger || !ParseWhole<int32_t>(value)) {
        return std::nullopt;
      }
      typed.kind = ValueKind::kInteger;
      typed.text = std::string(value);
      return typed;
    }
    case FieldType::kReal: {
      const std::optional<ValueKind> kind = NumberKind(value);
      if (!kind || !ParseReal(value)) return std::nullopt;
      typed.kind = *kind;
      typed.text = std::string(value);
      return typed;
    }
    case FieldType::kBoolean: {
      const std::optional<bool> on = ParseSwitch(value);
      if (!on) return std::nullopt;
      typed.kind = ValueKind::kBoolean;
      typed.text = *on ? "true" : "false";
      return typed;
    }
    case FieldType::kString:
      typed.kind = ValueKind::kString;
      typed.text = std::string(value);
      return typed;
  }
  return std::nullopt;
}

std::string BuildCommandLine(std::string_view command, const std::vector<FieldValue>& fields) {
  protocol::JsonWriter json;
  json.BeginObject().Key("cmd").String(command);
  for (const FieldValue& field : fields) {
    json.Key(field.key);
    if (field.kind == ValueKind::kString) {
      json.String(field.text);
    } else {
      json.Raw(field.text);  // checked to be a JSON number or boolean
    }
  }
  json.EndObject();
  return json.Take();
}

std::vector<std::string> CheckCommand(std::string_view name,
                                      const std::vector<FieldValue>& fields) {
  std::vector<std::string> warnings;
  const CommandInfo* command = FindCommand(name);
  if (!command) {
    std::string warning = "'" + std::string(name) + "' is not a command this tool knows";
    std::string upper(name);
    for (char& c : upper)
      c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (FindCommand(upper)) {
      warning += " (names are case-sensitive: did you mean " + upper + "?)";
    }
    warnings.push_back(warning + "; the instance ignores commands it does not know");
    return warnings;
  }
  for (const FieldValue& field : fields) {
    const FieldInfo* info = FindField(*command, field.key);
    if (!info) {
      std::string known;
      for (const FieldInfo& f : command->fields)
        known += (known.empty() ? "" : ", ") + std::string(f.name);
      warnings.push_back(
          std::string(name) + " reads no field '" + field.key + "'" +
          (known.empty() ? std::string(" (it reads none)") : " (it reads: " + known + ")"));
      continue;
    }
    const bool fits = info->type == FieldType::kBoolean ? field.kind == ValueKind::kBoolean
                      : info->type == FieldType::kString
                          ? field.kind == ValueKind::kString
                          : field.kind == ValueKind::kInteger || field.kind == ValueKind::kReal;
    if (!fits) {
      warnings.push_back("field '" + field.key + "' of " + std::string(name) + " is read as " +
                         (info->type == FieldType::kInteger  ? "an integer"
                          : info->type == FieldType::kReal   ? "a real number"
                          : info->type == FieldType::kString ? "a string"
                                                             : "a boolean") +
                         "; " + std::string(KindName(field.kind)) + " is ignored");
    } else if (info->type == FieldType::kInteger && field.kind == ValueKind::kReal) {
      warnings.push_back("field '" + field.key + "' of " + std::string(name) +
                         " is read as an integer: only the whole number in front of " + field.text +
                         " counts");
    }
  }
  for (const FieldInfo& info : command->fields) {
    bool given = false;
    for (const FieldValue& field : fields)
      given = given || field.key == info.name;
    if (!given) {
      warnings.push_back(std::string(name) + " without '" + std::string(info.name) +
                         "' changes nothing");
    }
  }
  return warnings;
}

// --- Addresses -----------------------------------------------------------------------------

std::optional<uint32_t> ParseIPv4(std::string_view text) {
  if (text == "localhost") return 0x7F000001u;
  uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = text.find('.');
    const std::string_view digits = part == 3 ? text : text.substr(0, dot);
    if (part < 3 && dot == std::string_view::npos) return std::nullopt;
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    for (const char c : digits) {
      if (!IsDigit(c)) return std::nullopt;
    }
    const std::optional<int> value = ParseWhole<int>(digits);
    if (!value || *value > 255) return std::nullopt;
    address = (address << 8) | static_cast<uint32_t>(*value);
    if (part < 3) text.remove_prefix(dot + 1);
  }
  return address;
}

std::string FormatIPv4(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

// --- Arguments -----------------------------------------------------------------------------

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) return Failure("no command given");
  const std::string& first = args[0];
  if (first == "--help" || first == "-h" || first == "help") {
    return Help(args.size() > 1 ? args[1] : std::string());
  }
  const std::optional<Verb> verb = VerbOf(first);
  if (!verb) {
    return Failure(first.rfind("-", 0) == 0
                       ? "the command comes before the options, got '" + first + "'"
                       : "unknown command '" + first + "'");
  }

  Invocation invocation;
  invocation.verb = *verb;
  invocation.options.timeoutSeconds =
      *verb == Verb::kDiscover ? kDiscoverTimeoutSeconds : kConnectTimeoutSeconds;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.rfind("--", 0) != 0 || arg == "--") {
      if (!optionsEnded && arg == "--") {
        optionsEnded = true;
      } else if (!optionsEnded && arg == "-h") {
        return Help(first);
      } else {
        positional.push_back(arg);
      }
      continue;
    }
    if (arg == "--help") return Help(first);
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionInfo* info = nullptr;
    for (const OptionInfo& candidate : kOptions) {
      if (candidate.name == name) info = &candidate;
    }
    if (!info) return Failure("unknown option '" + name + "'");
    if (!Allowed(*verb, info->option)) {
      return Failure("option " + name + " does not apply to " + first);
    }
    std::string value;
    if (info->takesValue) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return Failure("option " + name + " needs a value");
      }
    } else if (equals != std::string::npos) {
      return Failure("option " + name + " takes no value");
    }
    if (std::string error = ApplyOption(info->option, name, value, invocation.options);
        !error.empty()) {
      return Failure(error);
    }
  }

  if (*verb != Verb::kSend) {
    if (!positional.empty()) {
      return Failure(first + " takes no arguments, got '" + positional.front() + "'");
    }
    return ParsedArguments{std::move(invocation), {}};
  }

  std::vector<FieldValue> fields;
  std::string error;
  if (first == "send") {
    if (positional.empty()) return Failure("send needs a command name, e.g. send LIVE_PLAY_NEXT");
    invocation.commandName = positional.front();
    positional.erase(positional.begin());
    if (invocation.commandName.empty()) return Failure("the command name is empty");
    error = ReadFields(positional, &fields);
  } else if (const AliasInfo* alias = FindAlias(first)) {
    invocation.commandName = std::string(alias->command);
    error = ReadAliasArguments(*alias, positional, &fields);
  } else {
    invocation.commandName = first;  // a protocol name used directly
    error = ReadFields(positional, &fields);
  }
  if (!error.empty()) return Failure(error);
  invocation.commandLine = BuildCommandLine(invocation.commandName, fields);
  invocation.warnings = CheckCommand(invocation.commandName, fields);
  return ParsedArguments{std::move(invocation), {}};
}

}  // namespace quorvane::remote_cli
