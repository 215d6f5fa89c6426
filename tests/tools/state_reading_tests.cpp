// Reading what the extension sends: the tolerant JSON reader against valid, broken and hostile
// input, and the readable rendering of a state.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "quorvane_remote/json_reader.h"
#include "quorvane_remote/state_view.h"

namespace quorvane::remote_cli {
namespace {

constexpr const char* kState =
    R"({"type":"STATE","protocol":2,"instanceId":"00FF00FF00FF00FF","projectName":"Summer Tour",)"
    R"("page":"LIVE","showStatus":"LIVE","playing":true,"position":83.2500,"currentIndex":1,)"
    R"("showMarkerNamesInLiveMode":true,"showTimeSignatureAndBpm":true,"currentMarkerName":"Chorus",)"
    R"("selectedIndex":-1,"showElapsed":312.9000,"showRemaining":3287.1000,)"
    R"("playbackRemaining":2400.0000,"hasDelay":true,"delaySeconds":130.0000,)"
    R"("liveTransport":"NEXT","timeSignature":"6/8","bpm":96.5000,"playbackRate":1.0000,)"
    R"("repeat":false,"autoStartShow":true,"autoStartHour":20,"autoStartMinute":5,)"
    R"("regions":[{"id":1,"name":"Opening","start":0.0000,"end":180.0000,"duration":180.0000}],)"
    R"("setlist":[{"index":0,"regionId":1,"duration":180.0000,"name":"Opening","pause":false,)"
    R"("autoStart":false,"played":true},{"index":1,"regionId":2,"duration":240.0000,"name":"Ballad",)"
    R"("pause":false,"autoStart":true,"played":false},{"index":2,"regionId":-1,"duration":0.0000,)"
    R"("name":"PAUSE","pause":true,"autoStart":false,"played":false}],)"
    R"("setup":{"durationMinutes":60,"songCount":2,"musicTime":"00:07:00"},)"
    R"("soundCheck":[{"name":"Drums","muted":true,"soloed":false,"trackIndex":0,"indentLevel":0},)"
    R"({"name":"Bass","muted":false,"soloed":true,"trackIndex":1,"indentLevel":1}],)"
    R"("practise":{"regionId":2,"songName":"Ballad","songDuration":240.0000,"markers":[)"
    R"({"index":0,"position":230.0000,"name":"Verse"},{"index":1,"position":260.0000,"name":"Chorus"}],)"
    R"("startChoice":0,"stopChoice":-1,"currentMarker":-1,"precountBeats":4,"loop":true,)"
    R"("rate":0.7500,"active":false,"countingIn":false,"playing":false,"position":0.0000},)"
    R"("remote":{"clients":2}})";

TEST(JsonReader, ReadsTheValuesAndEscapesTheServerWrites) {
  const auto value = ParseJson(
      R"( {"a":[1,-2.5,3e2,true,false,null],"s":"tab\tquote\"back\\slash\/ \u00e9 \u0001",)"
      R"("pair":"\ud83c\udfb8","lone":"\ud800x","nested":{"deep":{"n":7}}} )");
  ASSERT_TRUE(value);
  const auto& items = (*value)["a"].Items();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].Integer(0), 1);
  EXPECT_EQ(items[1].Number(0), -2.5);
  EXPECT_EQ(items[2].Number(0), 300.0);
  EXPECT_TRUE(items[3].Boolean(false));
  EXPECT_FALSE(items[4].Boolean(true));
  EXPECT_EQ(items[5].GetKind(), JsonValue::Kind::kNull);
  EXPECT_EQ((*value)["s"].Text(), "tab\tquote\"back\\slash/ \xC3\xA9 \x01");
  EXPECT_EQ((*value)["pair"].Text(), "\xF0\x9F\x8E\xB8");
  EXPECT_EQ((*value)["lone"].Text(), "\xEF\xBF\xBDx");
  EXPECT_EQ((*value)["nested"]["deep"]["n"].Integer(0), 7);
}

TEST(JsonReader, MissingOrMistypedMembersGiveTheFallback) {
  const auto value = ParseJson(R"({"n":"12","s":5,"b":"true","big":1e300,"list":{}})");
  ASSERT_TRUE(value);
  EXPECT_EQ((*value)["n"].Integer(-1), -1);
  EXPECT_EQ((*value)["s"].Text("none"), "none");
  EXPECT_TRUE((*value)["b"].Boolean(true));
  EXPECT_EQ((*value)["big"].Integer(0), INT64_MAX);
  EXPECT_TRUE((*value)["list"].Items().empty());
  EXPECT_EQ((*value)["absent"]["deeper"][""].Number(4.5), 4.5);
  EXPECT_FALSE((*value)["n"].Has("anything"));
}

TEST(JsonReader, RefusesWhatIsNotOneJsonValue) {
  for (const char* bad : {"",
                          " ",
                          "{",
                          "}",
                          "{\"a\":}",
                          "{\"a\" 1}",
                          "{\"a\":1,}",
                          "[1,]",
                          "[1 2]",
                          "01",
                          "1.",
                          ".5",
                          "-",
                          "1e",
                          "+1",
                          "tru",
                          "nul",
                          "\"open",
                          "\"bad \\x escape\"",
                          "\"\\u12\"",
                          "{\"a\":1} trailing",
                          "{} {}",
                          "{a:1}",
                          "NaN",
                          "\xFF"}) {
    EXPECT_FALSE(ParseJson(bad)) << bad;
  }
  EXPECT_TRUE(ParseJson(std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']')));
  EXPECT_FALSE(
      ParseJson(std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']')));
  // Far deeper than any stack would take by recursion.
  EXPECT_FALSE(ParseJson(std::string(1'000'000, '[')));
}

TEST(JsonReader, SurvivesEveryCutAndRandomDamageOfAState) {
  const std::string state = kState;
  for (std::size_t length = 0; length < state.size(); ++length) {
    EXPECT_FALSE(ParseJson(std::string_view(state).substr(0, length))) << length;
  }
  std::mt19937 random(20240601);
  std::uniform_int_distribution<std::size_t> where(0, state.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = state;
    for (int hit = 0; hit < 1 + round % 4; ++hit)
      damaged[where(random)] = static_cast<char>(byte(random));
    if (const auto value = ParseJson(damaged)) {
      const std::string text = RenderState(ReadStateView(*value));  // whatever survived shows
      EXPECT_FALSE(text.empty());
    }
  }
}

TEST(StateView, RendersEverythingAPersonWatchesFor) {
  const auto value = ParseJson(kState);
  ASSERT_TRUE(value);
  EXPECT_EQ(RenderState(ReadStateView(*value)),
            "=== \"Summer Tour\" | instance 00FF00FF00FF00FF | 2 clients\n"
            "Page LIVE, show LIVE, playing, transport button NEXT\n"
            "Current: #1 Ballad at 1:23, marker \"Chorus\"\n"
            "Show clock: elapsed 5:12, remaining 54:47, music left 40:00, late by 2:10\n"
            "Tempo 6/8 at 96.50 bpm, play rate 1.00, repeat off\n"
            "Setlist: 2 songs, music 00:07:00, show 60 min, timed start at 20:05\n"
            "    [x] #0 Opening                      3:00\n"
            "  > [ ] #1 Ballad                       4:00  auto-start\n"
            "    [ ] #2 PAUSE\n"
            "Practise: \"Ballad\" (region 2) from marker \"Verse\" to the end, rate 0.75, loop on, "
            "pre-count 4 beats, idle\n"
            "Sound check: 2 tracks, 1 muted, 1 soloed\n");
}

TEST(StateView, AnEmptyDocumentRendersNeutralValues) {
  const auto value = ParseJson(R"({"type":"STATE"})");
  ASSERT_TRUE(value);
  const std::string text = RenderState(ReadStateView(*value));
  EXPECT_NE(text.find("Current: none\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Setlist: empty, show 0 min, timed start off\n"), std::string::npos);
  EXPECT_NE(text.find("Practise: no song chosen\n"), std::string::npos);
  EXPECT_NE(text.find("| 0 clients\n"), std::string::npos);
}

TEST(StateView, ControlBytesFromThePeerNeverReachTheTerminal) {
  const auto value = ParseJson(
      R"({"projectName":"\u001b[2Jgone","setlist":[{"index":0,"name":"bell\u0007\r\nfake line"}]})");
  ASSERT_TRUE(value);
  const std::string text = RenderState(ReadStateView(*value));
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.find('\a'), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("\"?[2Jgone\""), std::string::npos) << text;
  EXPECT_NE(text.find("#0 bell???fake line"), std::string::npos) << text;
}

TEST(StateView, ClockCutsToWholeSecondsAndShowsHoursOnlyWhenThere) {
  EXPECT_EQ(FormatClock(0.0), "0:00");
  EXPECT_EQ(FormatClock(59.99), "0:59");
  EXPECT_EQ(FormatClock(61.5), "1:01");
  EXPECT_EQ(FormatClock(3599.9), "59:59");
  EXPECT_EQ(FormatClock(3600.0), "1:00:00");
  EXPECT_EQ(FormatClock(360000.0), "100:00:00");
  EXPECT_EQ(FormatClock(-5.5), "-0:05");
  EXPECT_EQ(FormatClock(-0.5), "0:00");
  EXPECT_EQ(FormatClock(std::nan("")), "0:00");
  EXPECT_EQ(FormatClock(INFINITY), "0:00");
}

}  // namespace
}  // namespace quorvane::remote_cli
