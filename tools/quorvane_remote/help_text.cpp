#include "quorvane_remote/help_text.h"

#include "quorvane_remote/command_catalogue.h"

namespace quorvane::remote_cli {
namespace {

constexpr std::string_view kOverview =
    R"(Usage: quorvane-remote COMMAND [ARGUMENTS] [OPTIONS]

Remote control for a running Quorvane show: finds instances, watches their state
and sends them commands.

Commands:
  discover              list the instances that answer a discovery probe
  watch                 print the state now and whenever it changes
  send NAME [F=V ...]   send one command by its protocol name, with fields
  NAME [F=V ...]        the same, e.g. quorvane-remote SETUP_DURATION minutes=60
  start, next, stop, replay, end, select INDEX, ...
                        shortcuts for the common commands (list below)
  help [TOPIC]          this text, or the help of a command or shortcut

Connection options (watch, send and the shortcuts):
  --host H              the instance's IPv4 address (default 127.0.0.1)
  --port P              its TCP port; without it, the first instance that
                        answers a discovery probe sent to H is used
  --timeout S           seconds to wait for discovery, connection and answers
                        (default 3)
  --discovery-port P    the UDP port of the probe (default 48193)

Exit codes:
  0 done   1 the system's sockets failed   2 wrong arguments
  3 no instance answered   4 connection refused or not answered
  5 the instance closed or broke the connection   6 no greeting from the port

Shortcuts:
)";

constexpr std::string_view kDiscover =
    R"(Usage: quorvane-remote discover [--address A] [--timeout S] [--raw]
                                [--discovery-port P]

Sends a discovery probe and lists every instance that answers within the time
limit, one line each: address:port, instance id, project, host, protocol.

  --address A           where the probe goes (default 127.0.0.1, this computer).
                        Name a broadcast address of your network, such as
                        192.168.1.255, to find instances on other computers.
  --timeout S           seconds to collect answers (default 1)
  --raw                 print each answer as the JSON it arrived as
  --discovery-port P    the UDP port of the probe (default 48193)

On one computer, several instances share the discovery port and the system
hands a probe to one of them only; --port reaches any of them directly.
Exit code 3 when no instance answered.
)";

constexpr std::string_view kWatch =
    R"(Usage: quorvane-remote watch [--raw] [--host H] [--port P] [--count N]
                             [--seconds S] [--timeout S]

Connects, prints the greeting and then the state whenever it changes: page,
show status, transport, the current song and marker, the show clock (elapsed,
remaining, music left, delay), the setlist with the current item (>) and the
played marks ([x]), the practise state, the sound-check tracks and the number
of connected clients. Setlist positions (#0, #1, ...) are the INDEX values of
select, remove, move-up and the other setlist commands.

  --raw                 print the lines exactly as they arrive (WELCOME first,
                        then every STATE)
  --count N             stop after N states
  --seconds S           stop after S seconds
  --host, --port, --timeout, --discovery-port
                        as for every connection (see quorvane-remote --help)

Without --count and --seconds it runs until Ctrl+C or until the connection
ends (exit code 5).
)";

constexpr std::string_view kSend =
    R"(Usage: quorvane-remote send NAME [FIELD=VALUE ...] [--wait-state] [--raw]
                            [--host H] [--port P] [--timeout S]

Sends one command line, {"cmd":"NAME",...}, with the fields in the order given.
Values are typed: whole and real numbers are sent as numbers, true and false as
booleans, anything else as a string ("..." around a value keeps it a string).
The extension answers nothing; what a command changed shows in the next state.
Without --wait-state the tool waits until the instance has taken the line.

  --wait-state          wait for the next change of the state and print it
                        (the current state, with a note, if nothing changed)
  --raw                 print that state as the JSON line it arrived as
  --host, --port, --timeout, --discovery-port
                        as for every connection (see quorvane-remote --help)

Examples:
  quorvane-remote send SETUP_DURATION minutes=60
  quorvane-remote send PRACTISE_RATE rate=0.75 --wait-state
  quorvane-remote send LIVE_SELECT index=2 --port 40123

Commands (see also quorvane-remote help NAME):
)";

std::string AliasUsage(const AliasInfo& alias, const CommandInfo& command) {
  std::string usage(alias.word);
  for (const FieldInfo& field : command.fields)
    usage += " " + std::string(field.placeholder);
  return usage;
}

std::string CommandUsage(const CommandInfo& command) {
  std::string usage(command.name);
  for (const FieldInfo& field : command.fields) {
    usage += " " + std::string(field.name) + "=" + std::string(FieldTypeName(field.type));
  }
  return usage;
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text + " ";
}

std::string AliasList() {
  std::string text;
  for (const AliasInfo& alias : Aliases()) {
    const CommandInfo& command = *FindCommand(alias.command);
    text += "  " + Padded(AliasUsage(alias, command), 26) + std::string(command.name) + "\n";
  }
  return text;
}

std::string CommandList() {
  std::string text;
  for (const CommandInfo& command : Commands()) {
    text += "  " + CommandUsage(command) + "\n      " + std::string(command.summary) + "\n";
  }
  return text;
}

std::string CommandHelp(const CommandInfo& command, const AliasInfo* alias) {
  std::string text = "Usage: quorvane-remote " +
                     (alias ? AliasUsage(*alias, command) : CommandUsage(command)) +
                     " [--wait-state] [--raw] [--host H] [--port P] [--timeout S]\n\n";
  text += "Sends " + std::string(command.name) + ": " + std::string(command.summary) + ".\n";
  if (!command.fields.empty()) {
    text += "\nFields:\n";
    for (const FieldInfo& field : command.fields) {
      text += "  " + Padded(alias ? std::string(field.placeholder) : std::string(field.name), 12) +
              "\"" + std::string(field.name) + "\", " + std::string(FieldTypeName(field.type));
      if (alias && field.type == FieldType::kBoolean) text += " (on/off, true/false, yes/no, 1/0)";
      text += "; missing: " + std::string(field.defaultValue) + "\n";
    }
  }
  text += "\nSee quorvane-remote help send for --wait-state and the other options.\n";
  return text;
}

}  // namespace

std::string HelpText(std::string_view topic) {
  if (topic.empty()) return std::string(kOverview) + AliasList();
  if (topic == "discover") return std::string(kDiscover);
  if (topic == "watch") return std::string(kWatch);
  if (topic == "send") return std::string(kSend) + CommandList();
  if (topic == "commands") return CommandList();
  if (const AliasInfo* alias = FindAlias(topic)) {
    return CommandHelp(*FindCommand(alias->command), alias);
  }
  if (const CommandInfo* command = FindCommand(topic)) return CommandHelp(*command, nullptr);
  return {};
}

}  // namespace quorvane::remote_cli
