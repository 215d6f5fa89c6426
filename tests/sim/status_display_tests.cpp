// quorvane-sim's status: what it shows of a show in the extension's state document, the terminal
// screen redrawn in place, the plain lines for logs, and the keys that drive the actions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "quorvane_remote/json_reader.h"
#include "quorvane_remote/state_view.h"
#include "sim/app/keyboard.h"
#include "sim/app/options.h"
#include "sim/app/status_display.h"
#include "sim/demo_project.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::sim {
namespace {

// A LIVE show on its second song, 21 s late, with a pause before the fourth item.
constexpr const char* kLiveState =
    R"({"type":"STATE","protocol":2,"projectName":"Summer","page":"LIVE","showStatus":"LIVE",)"
    R"("playing":true,"position":45.0,"currentIndex":1,"currentMarkerName":"Chorus",)"
    R"("showElapsed":192.5,"showRemaining":107.5,"playbackRemaining":128.5,"hasDelay":true,)"
    R"("delaySeconds":21.0,"timeSignature":"4/4","bpm":120.0,"playbackRate":1.0,)"
    R"("setlist":[{"index":0,"name":"Opening","duration":32.0,"pause":false,"autoStart":false,"played":true},)"
    R"({"index":1,"name":"Northbound","duration":28.0,"pause":false,"autoStart":true,"played":false},)"
    R"({"index":2,"name":"PAUSE","duration":0.0,"pause":true,"autoStart":false,"played":false},)"
    R"({"index":3,"name":"Slow Burn","duration":40.0,"pause":false,"autoStart":false,"played":false}],)"
    R"("setup":{"durationMinutes":5,"songCount":3,"musicTime":"00:01:40"},)"
    R"("practise":{"regionId":-1,"active":false},"remote":{"clients":2}})";

StatusFacts LiveFacts(const char* document = kLiveState) {
  const auto json = remote_cli::ParseJson(document);
  EXPECT_TRUE(json.has_value());
  StatusFacts facts;
  facts.projectName = "Summer";
  facts.speed = 1.0;
  facts.hostSeconds = 200.0;
  facts.transport = "playing";
  facts.playPosition = 45.0;
  facts.bar = 23;
  facts.beat = 3.5;
  facts.songUnderPosition = "Northbound";
  facts.songTime = 13.0;
  facts.songLength = 28.0;
  facts.port = 40123;
  ReadShowFacts(remote_cli::ReadStateView(*json), &facts);
  return facts;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

TEST(SimStatus, TheScreenShowsTheShowAsTheExtensionReportsIt) {
  const std::vector<std::string> lines = FormatStatusScreen(LiveFacts());
  const std::string text = Joined(lines);
  EXPECT_TRUE(HasLine(lines,
                      "Show       LIVE     clock 3:12   left 1:47 of 5:00   music to play "
                      "2:08"))
      << text;
  EXPECT_TRUE(HasLine(lines, "Delay      0:21 over the set")) << text;
  EXPECT_TRUE(HasLine(lines, "Current    #1 Northbound  [Chorus]")) << text;
  EXPECT_TRUE(HasLine(lines, "Next       #3 Slow Burn  (after a pause)")) << text;
  EXPECT_TRUE(HasLine(lines,
                      "Transport  playing at 0:45.0   bar 23 beat 3   in \"Northbound\" "
                      "0:13 / 0:28   4/4 120 bpm  rate 1.00"))
      << text;
  EXPECT_TRUE(HasLine(lines, "Remote     port 40123: 1 app connected, besides this display"))
      << text;
  EXPECT_TRUE(HasLine(lines, "  x #0  Opening                           0:32")) << text;
  EXPECT_TRUE(HasLine(lines, "  > #1  Northbound                  auto  0:28")) << text;
  EXPECT_TRUE(HasLine(lines, "    #2  PAUSE")) << text;
  EXPECT_TRUE(HasLine(lines, "Keys       s start  n next  x stop  e end  p play current  q quit"))
      << text;
}

TEST(SimStatus, WithoutAStateDocumentOnlyTheHostsSideIsShown) {
  StatusFacts facts;
  facts.projectName = "Summer";
  facts.transport = "stopped";
  const std::vector<std::string> lines = FormatStatusScreen(facts);
  const std::string text = Joined(lines);
  EXPECT_TRUE(HasLine(lines,
                      "Show       no state from the extension yet (not connected to the "
                      "extension's server)"))
      << text;
  EXPECT_EQ(text.find("Delay"), std::string::npos);
  EXPECT_EQ(text.find("Remote"), std::string::npos);
  EXPECT_TRUE(HasLine(lines, "Transport  stopped at 0:00.0   bar 1 beat 1")) << text;
}

TEST(SimStatus, APractiseRunAndTheLastSongAreSpelledOut) {
  const std::string practising =
      R"({"type":"STATE","showStatus":"PREPARED","currentIndex":1,"setlist":[)"
      R"({"name":"A","pause":false},{"name":"B","pause":false}],)"
      R"("practise":{"regionId":2,"songName":"B","markers":[{"name":"Intro"},{"name":"Chorus"},{"name":"Outro"}],)"
      R"("startChoice":1,"stopChoice":-1,"precountBeats":4,"loop":true,"rate":0.9,)"
      R"("active":true,"countingIn":true,"playing":false},"remote":{"clients":1}})";
  const StatusFacts facts = LiveFacts(practising.c_str());
  EXPECT_EQ(facts.practise, "counting in 4 beats: \"B\" Chorus to end at 90%, looped");
  EXPECT_EQ(facts.nextSong, "");
  const std::string text = Joined(FormatStatusScreen(facts));
  EXPECT_NE(text.find("Practise   counting in 4 beats"), std::string::npos) << text;
  EXPECT_NE(text.find("Next       -\n"), std::string::npos) << text;
  EXPECT_NE(text.find("port 40123: 0 apps connected"), std::string::npos) << text;
}

TEST(SimStatus, ARigOfTwoSaysWhetherItFollowsOrLeads) {
  const auto rig = [](const std::string& members) {
    const std::string document = R"({"type":"STATE","showStatus":"LIVE","rig":{)" + members + "}}";
    return LiveFacts(document.c_str());
  };
  const StatusFacts following = rig(R"("role":"backup","leading":false,"connected":true)");
  EXPECT_NE(FormatStatusLine(following).find("| backup rig, following the main |"),
            std::string::npos)
      << FormatStatusLine(following);
  EXPECT_TRUE(HasLine(FormatStatusScreen(following), "Rig        backup rig, following the main"));
  EXPECT_EQ(rig(R"("role":"backup","leading":false,"connected":false)").rig,
            "backup rig, main not reachable");
  EXPECT_EQ(rig(R"("role":"backup","leading":true,"onBackupRig":true)").rig, "ON BACKUP RIG");
  EXPECT_EQ(rig(R"("role":"main","leading":true,"connected":true)").rig,
            "main rig, backup following");
  // A single rig's screen has no such line.
  EXPECT_EQ(Joined(FormatStatusScreen(rig(R"("role":"single")"))).find("Rig "), std::string::npos);
  EXPECT_EQ(LiveFacts().rig, "");
}

TEST(SimStatus, NamesFromTheNetworkCannotSendEscapeSequences) {
  const std::string hostile =
      R"({"type":"STATE","currentIndex":0,"setlist":[{"name":"Evil\u001b[2J","pause":false}]})";
  const std::string text = Joined(FormatStatusScreen(LiveFacts(hostile.c_str())));
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_NE(text.find("Evil?[2J"), std::string::npos) << text;
}

TEST(SimStatus, ThePlainLineCarriesClockSongsAndTransport) {
  EXPECT_EQ(FormatStatusLine(LiveFacts()),
            "[3:20.0] LIVE clock 3:12 left 1:47 delay 0:21 | now #1 Northbound [Chorus] | next #3 "
            "Slow Burn | playing 0:45.0 bar 23 | 1 remote app");
}

TEST(SimStatus, PositionsAndWidths) {
  EXPECT_EQ(FormatPosition(0.0), "0:00.0");
  EXPECT_EQ(FormatPosition(65.29), "1:05.2");
  EXPECT_EQ(FormatPosition(3725.0), "1:02:05.0");
  EXPECT_EQ(FormatPosition(-1.5), "-0:01.5");
  EXPECT_EQ(FitToWidth("Glass Harbour", 5), "Glass");
  EXPECT_EQ(FitToWidth("Caf\xC3\xA9 Noir", 4), "Caf\xC3\xA9");  // é stays whole
  EXPECT_EQ(FitToWidth("Caf\xC3\xA9", 3), "Caf");
  EXPECT_EQ(FitToWidth("short", 80), "short");
  EXPECT_EQ(FitToWidth("unknown width", 0), "unknown width");
}

std::string Written(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;)
    text += static_cast<char>(c);
  std::fseek(file, 0, SEEK_END);  // the display may write on
  return text;
}

TEST(SimStatus, TheTerminalScreenIsRedrawnInPlaceFourTimesASecond) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    StatusDisplay display(file, StatusDisplay::Mode::kTerminal);
    StatusFacts facts = LiveFacts();
    const auto lines = static_cast<int>(FormatStatusScreen(facts).size());
    display.Update(facts, 0.0);
    display.Update(facts, 0.1);  // too soon: not drawn
    display.Update(facts, 0.3);
    const std::string text = Written(file);
    // The second drawing goes back up over the first instead of scrolling.
    const std::string up = "\x1b[" + std::to_string(lines) + "F";
    EXPECT_EQ(text.find(up), text.rfind(up));
    ASSERT_NE(text.find(up), std::string::npos);
    EXPECT_EQ(text.substr(0, 6), "\x1b[?25l");  // the cursor is hidden while drawing
  }
  const std::string text = Written(file);
  EXPECT_EQ(text.substr(text.size() - 6), "\x1b[?25h");  // and shown again at the end
  std::fclose(file);
}

TEST(SimStatus, PlainLinesComeOnChangesAndAtMostOnceASecondWhileTheClockRuns) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    StatusDisplay display(file, StatusDisplay::Mode::kPlain);
    StatusFacts facts = LiveFacts();
    display.Update(facts, 0.0);
    facts.elapsed += 0.5;
    facts.hostSeconds += 0.5;
    display.Update(facts, 0.5);  // the clock moved, but within the second
    facts.currentIndex = 3;      // a new song: at once
    facts.currentSong = "#3 Slow Burn";
    display.Update(facts, 0.6);
    facts.hostSeconds += 5.0;  // only the host clock moved: nothing to tell
    display.Update(facts, 2.0);
    facts.elapsed += 1.0;
    display.Update(facts, 2.1);
    display.Note("n: play next");
  }
  const std::string text = Written(file);
  std::fclose(file);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  ASSERT_EQ(lines.size(), 4u) << text;
  EXPECT_NE(lines[0].find("clock 3:12"), std::string::npos);
  EXPECT_NE(lines[1].find("now #3 Slow Burn"), std::string::npos);
  EXPECT_NE(lines[2].find("clock 3:14"), std::string::npos);
  EXPECT_EQ(lines[3], "n: play next");
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

TEST(SimKeys, EveryKeyRunsAnActionTheExtensionRegisters) {
  Host host;
  BuildDemoProject(host);
  ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
  const std::string keys = "snxepw";
  for (const char key : keys) {
    const KeyCommand command = CommandForKey(key);
    ASSERT_NE(command, KeyCommand::kNone) << key;
    ASSERT_NE(ActionForCommand(command), nullptr) << key;
    EXPECT_NE(host.CommandId(ActionForCommand(command)), 0) << ActionForCommand(command);
  }
  ReaperPluginEntry(nullptr, nullptr);
  EXPECT_EQ(CommandForKey('q'), KeyCommand::kQuit);
  EXPECT_EQ(ActionForCommand(KeyCommand::kQuit), nullptr);
  EXPECT_EQ(CommandForKey('z'), KeyCommand::kNone);
}

TEST(SimKeys, TypedLinesTakeKeysOrWords) {
  EXPECT_EQ(CommandForLine("n\r\n"), KeyCommand::kNext);
  EXPECT_EQ(CommandForLine("  Start "), KeyCommand::kStart);
  EXPECT_EQ(CommandForLine("play"), KeyCommand::kPlayCurrent);
  EXPECT_EQ(CommandForLine("QUIT"), KeyCommand::kQuit);
  EXPECT_EQ(CommandForLine(""), KeyCommand::kNone);
  EXPECT_EQ(CommandForLine("nope"), KeyCommand::kNone);
}

TEST(SimOptions, TheScriptRunsFastUnlessASpeedIsGivenAndBadValuesAreNamed) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--script", "demo"}, &options, &error)) << error;
  EXPECT_EQ(options.speed, kScriptSpeed);

  SimOptions paced;
  ASSERT_TRUE(
      ParseSimOptions({"--speed=2", "--script=demo", "--project", "a.txt"}, &paced, &error));
  EXPECT_EQ(paced.speed, 2.0);
  EXPECT_EQ(paced.projectFile, "a.txt");

  // A backup rig's timing, as the following tests run it.
  SimOptions backup;
  ASSERT_TRUE(
      ParseSimOptions({"--clock-skew-ppm", "-150", "--start-latency-ms=5-40"}, &backup, &error))
      << error;
  EXPECT_EQ(backup.clockSkewPpm, -150.0);
  EXPECT_EQ(backup.startLatencyMinMs, 5);
  EXPECT_EQ(backup.startLatencyMaxMs, 40);
  ASSERT_TRUE(ParseSimOptions({"--start-latency-ms", "12"}, &backup, &error)) << error;
  EXPECT_EQ(backup.startLatencyMinMs, 12);
  EXPECT_EQ(backup.startLatencyMaxMs, 12);

  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--speed", "0"}, "--speed needs a factor above 0 and up to 1000, not '0'"},
      {{"--speed", "fast"}, "--speed needs a factor above 0 and up to 1000, not 'fast'"},
      {{"--script", "tour"}, "--script knows one script, demo, not 'tour'"},
      {{"--project"}, "--project needs a value"},
      {{"--seconds", "-1"}, "--seconds needs a number of seconds, not '-1'"},
      {{"--colour"}, "unknown option '--colour'"},
      {{"--clock-skew-ppm", "fast"},
       "--clock-skew-ppm needs millionths between -10000 and 10000, not 'fast'"},
      {{"--start-latency-ms", "40-5"},
       "--start-latency-ms needs MIN-MAX milliseconds (0 to 10000), not '40-5'"},
  };
  for (const auto& [args, message] : bad) {
    SimOptions refused;
    EXPECT_FALSE(ParseSimOptions(args, &refused, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

TEST(SimOptions, FollowingAMainMakesABackupAndARoleIsOneOfThree) {
  SimOptions backup;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--follow", "http://127.0.0.1:8470/?key=abc"}, &backup, &error))
      << error;
  EXPECT_EQ(backup.rigRole, "backup");
  EXPECT_EQ(backup.rigFollow, "http://127.0.0.1:8470/?key=abc");
  SimOptions main;
  ASSERT_TRUE(ParseSimOptions({"--rig=main"}, &main, &error)) << error;
  EXPECT_EQ(main.rigRole, "main");

  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--rig", "leader"}, "--rig needs single, main or backup, not 'leader'"},
      {{"--rig", "main", "--follow", "http://a:1/?key=k"},
       "--follow makes this rig a backup, not a main"},
      {{"--follow="}, "--follow needs the main rig's address"},
  };
  for (const auto& [args, message] : bad) {
    SimOptions refused;
    EXPECT_FALSE(ParseSimOptions(args, &refused, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace quorvane::sim
