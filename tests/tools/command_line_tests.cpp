// quorvane-remote's arguments: how field values are typed, what the aliases send, what is refused,
// and that the extension's own scanner reads the built lines as the user meant them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "quorvane_remote/command_line.h"
#include "quorvane_remote/remote_tool.h"
#include "protocol/command_scanner.h"
#include "protocol/command_table.h"

namespace quorvane::remote_cli {
namespace {

// The line an invocation sends; fails the test when the arguments are refused.
std::string LineOf(const std::vector<std::string>& args) {
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.invocation) {
    ADD_FAILURE() << "refused: " << parsed.error;
    return {};
  }
  return parsed.invocation->commandLine;
}

std::string ErrorOf(const std::vector<std::string>& args) {
  const ParsedArguments parsed = ParseArguments(args);
  EXPECT_FALSE(parsed.invocation) << "accepted";
  return parsed.error;
}

std::vector<std::string> WarningsOf(const std::vector<std::string>& args) {
  const ParsedArguments parsed = ParseArguments(args);
  return parsed.invocation ? parsed.invocation->warnings : std::vector<std::string>{"refused"};
}

TEST(CommandLine, FieldValuesAreTypedNumbersBooleansOrStrings) {
  const std::string line =
      LineOf({"send", "X", "whole=60", "negative=-12", "real=0.75", "exponent=1e3", "on=true",
              "off=false", "word=Encore", "quoted=\"60\"", "empty=", "padded=007", "plus=+1",
              "True=True", "spaced=two words"});
  EXPECT_EQ(line,
            R"({"cmd":"X","whole":60,"negative":-12,"real":0.75,"exponent":1e3,"on":true,)"
            R"("off":false,"word":"Encore","quoted":"60","empty":"","padded":"007","plus":"+1",)"
            R"("True":"True","spaced":"two words"})");
  EXPECT_TRUE(nlohmann::json::accept(line));
}

TEST(CommandLine, StringsAndKeysAreEscapedIntoValidJson) {
  const std::string line = LineOf({"send", "X", "name=say \"hi\"\\now\ttab", "we\"ird=1"});
  EXPECT_EQ(line, R"({"cmd":"X","name":"say \"hi\"\\now\ttab","we\"ird":1})");
  const nlohmann::json parsed = nlohmann::json::parse(line);
  EXPECT_EQ(parsed["name"], "say \"hi\"\\now\ttab");
}

TEST(CommandLine, TheExtensionsScannerReadsTheBuiltLinesAsMeant) {
  const std::string duration = LineOf({"SETUP_DURATION", "minutes=60"});
  EXPECT_EQ(protocol::ReadCommandType(duration), "SETUP_DURATION");
  EXPECT_EQ(protocol::ReadIntField(duration, "minutes"), 60);

  const std::string rate = LineOf({"rate", "0.75"});
  EXPECT_EQ(protocol::ReadCommandType(rate), "PRACTISE_RATE");
  EXPECT_EQ(protocol::ReadRateField(rate), 0.75);

  const std::string mute = LineOf({"mute", "2", "on"});
  EXPECT_EQ(protocol::ReadIntField(mute, "trackIndex"), 2);
  EXPECT_EQ(protocol::ReadBoolField(mute, "muted"), true);
  EXPECT_EQ(protocol::ReadBoolField(LineOf({"loop", "off"}), "enabled"), false);

  const std::string from = LineOf({"practise-from", "-2"});
  EXPECT_EQ(protocol::ReadIntField(from, "index"), -2);

  // Quoted, a number is a string, which the integer reader refuses: hence the warning.
  EXPECT_EQ(protocol::ReadIntField(LineOf({"send", "SETUP_DURATION", "minutes=\"60\""}), "minutes"),
            std::nullopt);
}

TEST(CommandLine, AliasesSendTheirCommandWithTypedArguments) {
  EXPECT_EQ(LineOf({"next"}), R"({"cmd":"LIVE_PLAY_NEXT"})");
  EXPECT_EQ(LineOf({"start"}), R"({"cmd":"LIVE_START_SHOW"})");
  EXPECT_EQ(LineOf({"select", "3"}), R"({"cmd":"LIVE_SELECT","index":3})");
  EXPECT_EQ(LineOf({"solo", "0", "yes"}),
            R"({"cmd":"PROJECT_TRACK_SOLO","trackIndex":0,"soloed":true})");
  EXPECT_EQ(LineOf({"autostart-time", "20", "30"}),
            R"({"cmd":"SETUP_AUTOSTART_TIME","hour":20,"minute":30})");
  EXPECT_EQ(LineOf({"rate", "1"}), R"({"cmd":"PRACTISE_RATE","rate":1})");
  // Every alias names a known command.
  for (const AliasInfo& alias : Aliases()) {
    EXPECT_NE(FindCommand(alias.command), nullptr) << alias.word;
  }
}

TEST(CommandLine, AliasArgumentsThatDoNotFitAreRefused) {
  EXPECT_EQ(ErrorOf({"select", "x"}), "INDEX of select must be a whole number, got 'x'");
  EXPECT_EQ(ErrorOf({"select", "1.5"}), "INDEX of select must be a whole number, got '1.5'");
  EXPECT_EQ(ErrorOf({"select", "99999999999"}),
            "INDEX of select must be a whole number, got '99999999999'");
  EXPECT_EQ(ErrorOf({"mute", "1", "maybe"}), "on|off of mute must be on or off, got 'maybe'");
  EXPECT_EQ(ErrorOf({"rate", "fast"}), "RATE of rate must be a number, got 'fast'");
  EXPECT_EQ(ErrorOf({"select"}), "usage: quorvane-remote select INDEX (1 argument, got 0)");
  EXPECT_EQ(ErrorOf({"next", "1"}), "usage: quorvane-remote next (0 arguments, got 1)");
}

TEST(CommandLine, OptionsAreCheckedForTheirVerb) {
  const ParsedArguments both = ParseArguments({"watch", "--port=4000", "--count", "2", "--raw"});
  ASSERT_TRUE(both.invocation);
  EXPECT_EQ(both.invocation->options.port, 4000);
  EXPECT_EQ(both.invocation->options.count, 2);
  EXPECT_TRUE(both.invocation->options.raw);
  EXPECT_EQ(both.invocation->options.timeoutSeconds, kConnectTimeoutSeconds);
  EXPECT_EQ(ParseArguments({"discover"}).invocation->options.timeoutSeconds,
            kDiscoverTimeoutSeconds);

  EXPECT_EQ(ErrorOf({"watch", "--port", "0"}),
            "invalid value '0' for --port (a port from 1 to 65535 is expected)");
  EXPECT_EQ(ErrorOf({"watch", "--port", "65536"}),
            "invalid value '65536' for --port (a port from 1 to 65535 is expected)");
  EXPECT_EQ(ErrorOf({"watch", "--port"}), "option --port needs a value");
  EXPECT_EQ(ErrorOf({"watch", "--raw=yes"}), "option --raw takes no value");
  EXPECT_EQ(ErrorOf({"discover", "--port", "4000"}), "option --port does not apply to discover");
  EXPECT_EQ(ErrorOf({"next", "--count", "1"}), "option --count does not apply to next");
  EXPECT_EQ(ErrorOf({"watch", "--timeout", "-1"}),
            "invalid value '-1' for --timeout (seconds above 0 are expected)");
  EXPECT_EQ(ErrorOf({"watch", "--host", "example.org"}),
            "invalid value 'example.org' for --host (an IPv4 address such as 127.0.0.1 is "
            "expected)");
  EXPECT_EQ(ErrorOf({"watch", "extra"}), "watch takes no arguments, got 'extra'");
  EXPECT_EQ(ErrorOf({"send"}), "send needs a command name, e.g. send LIVE_PLAY_NEXT");
  EXPECT_EQ(ErrorOf({"send", "X", "novalue"}), "expected FIELD=VALUE, got 'novalue'");
  EXPECT_EQ(ErrorOf({"send", "X", "cmd=Y"}), "the command is named by NAME, not by a cmd= field");
  EXPECT_EQ(ErrorOf({"frobnicate"}), "unknown command 'frobnicate'");
  EXPECT_EQ(ErrorOf({"--port", "1", "next"}), "the command comes before the options, got '--port'");
  EXPECT_EQ(ErrorOf({}), "no command given");
  // After "--", what looks like an option is a field.
  EXPECT_EQ(LineOf({"send", "X", "--", "--odd=1"}), R"({"cmd":"X","--odd":1})");
}

TEST(CommandLine, AddressesAreDottedIPv4OrLocalhost) {
  EXPECT_EQ(ParseIPv4("127.0.0.1"), 0x7F000001u);
  EXPECT_EQ(ParseIPv4("localhost"), 0x7F000001u);
  EXPECT_EQ(ParseIPv4("192.168.1.255"), 0xC0A801FFu);
  EXPECT_EQ(FormatIPv4(0xC0A801FFu), "192.168.1.255");
  for (const char* wrong :
       {"256.0.0.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", "", "1.2.3.-4", "1.2.3.4 "}) {
    EXPECT_EQ(ParseIPv4(wrong), std::nullopt) << wrong;
  }
}

TEST(CommandLine, SendWarnsAboutWhatTheInstanceWouldIgnore) {
  EXPECT_TRUE(WarningsOf({"send", "SETUP_DURATION", "minutes=60"}).empty());
  EXPECT_TRUE(WarningsOf({"send", "PRACTISE_RATE", "rate=1"}).empty());
  EXPECT_EQ(WarningsOf({"send", "live_play_next"}),
            std::vector<std::string>{
                "'live_play_next' is not a command this tool knows (names are case-sensitive: "
                "did you mean LIVE_PLAY_NEXT?); the instance ignores commands it does not know"});
  EXPECT_EQ(WarningsOf({"send", "SETUP_DURATION", "minute=60"}),
            (std::vector<std::string>{"SETUP_DURATION reads no field 'minute' (it reads: minutes)",
                                      "SETUP_DURATION without 'minutes' changes nothing"}));
  EXPECT_EQ(WarningsOf({"send", "PRACTISE_LOOP", "enabled=on"}),
            std::vector<std::string>{
                "field 'enabled' of PRACTISE_LOOP is read as a boolean; a string is ignored"});
  EXPECT_EQ(WarningsOf({"send", "LIVE_SELECT", "index=1.5"}),
            std::vector<std::string>{"field 'index' of LIVE_SELECT is read as an integer: only "
                                     "the whole number in front of 1.5 counts"});
  EXPECT_EQ(WarningsOf({"send", "PING", "index=1"}),
            std::vector<std::string>{"PING reads no field 'index' (it reads none)"});
}

TEST(CommandLine, HelpExistsForEveryVerbAliasAndCommand) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunRemoteTool({"--help"}, out, err), kExitOk);
  EXPECT_NE(out.str().find("discover"), std::string::npos);
  EXPECT_NE(out.str().find("select INDEX"), std::string::npos);
  for (const char* topic : {"discover", "watch", "send"}) {
    std::ostringstream text;
    EXPECT_EQ(RunRemoteTool({topic, "--help"}, text, err), kExitOk) << topic;
    EXPECT_EQ(text.str().rfind(std::string("Usage: quorvane-remote ") + topic, 0), 0u) << topic;
  }
  for (const AliasInfo& alias : Aliases()) {
    std::ostringstream text;
    EXPECT_EQ(RunRemoteTool({std::string(alias.word), "-h"}, text, err), kExitOk);
    EXPECT_NE(text.str().find(alias.command), std::string::npos) << alias.word;
  }
  std::ostringstream none;
  std::ostringstream complaint;
  EXPECT_EQ(RunRemoteTool({"help", "nothing"}, none, complaint), kExitUsage);
  EXPECT_EQ(complaint.str(),
            "quorvane-remote: no help for 'nothing'\nTry 'quorvane-remote --help'.\n");
  std::ostringstream usage;
  EXPECT_EQ(RunRemoteTool({"select", "x"}, none, usage), kExitUsage);
  EXPECT_EQ(usage.str(),
            "quorvane-remote: INDEX of select must be a whole number, got 'x'\n"
            "Try 'quorvane-remote --help'.\n");
}

TEST(CommandLine, TheCommandListIsExactlyWhatTheExtensionHandles) {
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunRemoteTool({"help", "commands"}, out, err), kExitOk);
  std::vector<std::string> listed;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    // A command's line is indented by two; its summary below it by six.
    if (line.rfind("  ", 0) == 0 && line[2] != ' ')
      listed.push_back(line.substr(2, line.find(' ', 2) - 2));
  }
  std::vector<std::string> handled;
  for (const protocol::CommandDefinition& command : protocol::RemoteCommands()) {
    handled.emplace_back(command.name);
    std::ostringstream help;
    ASSERT_EQ(RunRemoteTool({"help", std::string(command.name)}, help, err), kExitOk);
    for (const protocol::FieldDefinition& field : command.fields) {
      const std::string described = "\"" + std::string(field.name) + "\", " +
                                    std::string(protocol::FieldTypeName(field.type)) +
                                    "; missing: " + std::string(field.defaultValue);
      EXPECT_NE(help.str().find(described), std::string::npos) << command.name << help.str();
    }
  }
  EXPECT_EQ(listed, handled);
  EXPECT_EQ(listed.size(), 47u);
}

}  // namespace
}  // namespace quorvane::remote_cli
