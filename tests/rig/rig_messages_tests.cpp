// What two rigs say to each other, as text: every message comes back as it went, and whatever a
// broken or hostile peer sends is refused rather than half believed. Also how a backup reads the
// main's address and the rig's settings.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <variant>

#include "rig/main_link_client.h"
#include "rig/rig_codec.h"
#include "rig/rig_settings.h"

namespace quorvane::rig {
namespace {

ProjectPrint Print() {
  return {{{1, "Opener", 60.0}, {3, "Outro \"long\" ünïcode", 123.456}},
          {{1, false}, {-1, false}, {3, true}}};
}

TEST(RigMessages, EveryMessageComesBackAsItWent) {
  const auto main =
      DecodeFromMain(Encode(FromMain(MainHello{Print(), "ctrlkey234", "viewkey234"})));
  ASSERT_TRUE(main && std::holds_alternative<MainHello>(*main));
  const MainHello& hello = std::get<MainHello>(*main);
  EXPECT_EQ(hello.controlKey, "ctrlkey234");
  EXPECT_EQ(hello.viewKey, "viewkey234");
  ASSERT_EQ(hello.project.regions.size(), 2u);
  EXPECT_EQ(hello.project.regions[1].name, "Outro \"long\" ünïcode");
  EXPECT_DOUBLE_EQ(hello.project.regions[1].length, 123.456);
  ASSERT_EQ(hello.project.setlist.size(), 3u);
  EXPECT_EQ(hello.project.setlist[1].regionId, -1);
  EXPECT_TRUE(hello.project.setlist[2].autoStart);

  const std::string document = R"({"show":{"status":"LIVE"},"list":[1,2]})";
  const auto state = DecodeFromMain(Encode(FromMain(MainState{document})));
  ASSERT_TRUE(state && std::holds_alternative<MainState>(*state));
  EXPECT_EQ(std::get<MainState>(*state).document, document);

  TimelineSample sample{123456789012ull, -3.25, 61.5, 0.75, true, 4};
  const auto timeline = DecodeFromMain(Encode(FromMain(sample)));
  ASSERT_TRUE(timeline && std::holds_alternative<TimelineSample>(*timeline));
  const TimelineSample& back = std::get<TimelineSample>(*timeline);
  EXPECT_EQ(back.sequence, sample.sequence);
  EXPECT_DOUBLE_EQ(back.linkBeat, -3.25);
  EXPECT_DOUBLE_EQ(back.position, 61.5);
  EXPECT_DOUBLE_EQ(back.rate, 0.75);
  EXPECT_TRUE(back.playing);
  EXPECT_EQ(back.regionId, 4);

  const auto backup =
      DecodeFromBackup(Encode(FromBackup(BackupHello{Print(), "http://10.0.0.2:8470/"})));
  ASSERT_TRUE(backup && std::holds_alternative<BackupHello>(*backup));
  EXPECT_EQ(std::get<BackupHello>(*backup).webAddress, "http://10.0.0.2:8470/");
  EXPECT_EQ(std::get<BackupHello>(*backup).project.regions[0].name, "Opener");
  const auto command =
      DecodeFromBackup(Encode(FromBackup(ForwardedCommand{R"({"cmd":"LIVE_STOP"})"})));
  ASSERT_TRUE(command && std::holds_alternative<ForwardedCommand>(*command));
  EXPECT_EQ(std::get<ForwardedCommand>(*command).line, R"({"cmd":"LIVE_STOP"})");
}

TEST(RigMessages, ALeadingBackupSaysSoAndSendsItsShowAndAMainPassesCommandsOn) {
  const auto hello = DecodeFromBackup(Encode(FromBackup(BackupHello{Print(), "", true})));
  ASSERT_TRUE(hello && std::holds_alternative<BackupHello>(*hello));
  EXPECT_TRUE(std::get<BackupHello>(*hello).leading);
  // A backup that says nothing of the lead does not lead.
  const auto quiet =
      DecodeFromBackup(R"({"type":"hello","project":{"regions":[],"setlist":[]},"webAddress":""})");
  ASSERT_TRUE(quiet && std::holds_alternative<BackupHello>(*quiet));
  EXPECT_FALSE(std::get<BackupHello>(*quiet).leading);

  const std::string document = R"({"showStatus":"LIVE","currentIndex":1})";
  const auto state = DecodeFromBackup(Encode(FromBackup(BackupState{document})));
  ASSERT_TRUE(state && std::holds_alternative<BackupState>(*state));
  EXPECT_EQ(std::get<BackupState>(*state).document, document);

  const auto timeline =
      DecodeFromBackup(Encode(FromBackup(TimelineSample{7, 12.5, 3.25, 1.0, true, 2})));
  ASSERT_TRUE(timeline && std::holds_alternative<TimelineSample>(*timeline));
  EXPECT_EQ(std::get<TimelineSample>(*timeline).sequence, 7u);
  EXPECT_DOUBLE_EQ(std::get<TimelineSample>(*timeline).position, 3.25);
  EXPECT_EQ(std::get<TimelineSample>(*timeline).regionId, 2);

  const auto command = DecodeFromMain(Encode(FromMain(ForwardedCommand{R"({"cmd":"LIVE_STOP"})"})));
  ASSERT_TRUE(command && std::holds_alternative<ForwardedCommand>(*command));
  EXPECT_EQ(std::get<ForwardedCommand>(*command).line, R"({"cmd":"LIVE_STOP"})");
}

TEST(RigMessages, MalformedOrOversizedMessagesAreRefused) {
  const std::string fromMain[] = {
      "",
      "nonsense",
      "[1,2]",
      R"({"kind":"hello"})",
      R"({"type":5})",
      R"({"type":"hello","controlKey":"a","viewKey":"b"})",  // no project
      R"({"type":"hello","project":{"regions":[{"id":1,"name":"x","length":-1}],"setlist":[]},"controlKey":"a","viewKey":"b"})",
      R"({"type":"hello","project":{"regions":[{"id":4294967296,"name":"x","length":1}],"setlist":[]},"controlKey":"a","viewKey":"b"})",
      R"({"type":"hello","project":{"regions":[],"setlist":[{"regionId":"1","autoStart":false}]},"controlKey":"a","viewKey":"b"})",
      R"({"type":"state","document":{"show":1}})",
      R"({"type":"timeline","sequence":-1,"linkBeat":0,"position":0,"rate":1,"playing":true,"regionId":1})",
      R"({"type":"timeline","sequence":1,"linkBeat":1e999,"position":0,"rate":1,"playing":true,"regionId":1})",
      R"({"type":"timeline","sequence":1,"linkBeat":0,"position":0,"rate":0,"playing":true,"regionId":1})",
      R"({"type":"timeline","sequence":1,"linkBeat":0,"position":1e300,"rate":1,"playing":true,"regionId":1})",
      R"({"type":"timeline","sequence":1,"linkBeat":0,"position":0,"rate":1,"playing":1,"regionId":1})",
      R"({"type":"command","line":""})",
  };
  for (const std::string& text : fromMain)
    EXPECT_FALSE(DecodeFromMain(text)) << text;
  const std::string fromBackup[] = {
      R"({"type":"command","line":""})",
      R"({"type":"command","line":["LIVE_STOP"]})",
      R"({"type":"hello","project":{"regions":[],"setlist":[]}})",  // no web address
      R"({"type":"hello","project":{"regions":[],"setlist":[]},"webAddress":"","leading":"yes"})",
      R"({"type":"state","document":{"show":1}})",
      R"({"type":"timeline","sequence":1,"linkBeat":0,"position":0,"rate":-1,"playing":true,"regionId":1})",
      R"({"type":"ready"})",
  };
  for (const std::string& text : fromBackup)
    EXPECT_FALSE(DecodeFromBackup(text)) << text;

  // A state may be large, a command may not.
  const std::string bigLine(kMaxSmallMessageBytes, 'x');
  EXPECT_FALSE(DecodeFromBackup(Encode(FromBackup(ForwardedCommand{bigLine}))));
  const std::string bigDocument(kMaxSmallMessageBytes * 4, 'x');
  EXPECT_TRUE(DecodeFromMain(Encode(FromMain(MainState{bigDocument}))));
  const std::string hugeDocument(kMaxLargeMessageBytes, 'x');
  EXPECT_FALSE(DecodeFromMain(Encode(FromMain(MainState{hugeDocument}))));
  // Too many regions for any project.
  ProjectPrint crowded;
  crowded.regions.assign(kMaxPrintRegions + 1, RegionPrint{1, "", 1.0});
  EXPECT_FALSE(DecodeFromBackup(Encode(FromBackup(BackupHello{crowded, ""}))));
}

TEST(RigAddress, OnlyAControlAddressWithHostPortAndKeyIsDialled) {
  std::string reason;
  const auto good = ParseControlAddress("http://192.168.1.20:8470/?key=abc234defg", &reason);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->host, "192.168.1.20");
  EXPECT_EQ(good->port, 8470);
  EXPECT_EQ(good->key, "abc234defg");
  EXPECT_TRUE(reason.empty());
  const auto named = ParseControlAddress("http://stage-left.local:9000/?key=k2", &reason);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->host, "stage-left.local");

  for (const std::string bad :
       {"", "192.168.1.20:8470/?key=abc", "https://192.168.1.20:8470/?key=abc",
        "http://192.168.1.20/?key=abc", "http://192.168.1.20:0/?key=abc",
        "http://192.168.1.20:70000/?key=abc", "http://192.168.1.20:8470/",
        "http://192.168.1.20:8470/?key=", "http://192.168.1.20:8470/?key=a&b=c",
        "http://192.168.1.20:84x0/?key=abc", "http://:8470/?key=abc"}) {
    reason.clear();
    EXPECT_FALSE(ParseControlAddress(bad, &reason)) << bad;
    EXPECT_FALSE(reason.empty()) << bad;
  }
}

// The host's global settings as a map, as the simulator keeps them.
std::map<std::string, std::string> g_settings;
const char* Get(const char*, const char* key) {
  const auto found = g_settings.find(key);
  return found == g_settings.end() ? nullptr : found->second.c_str();
}
void Set(const char*, const char* key, const char* value, bool) {
  g_settings[key] = value;
}

TEST(RigSettingsTest, TheRoleAndAddressAreKeptAndNonsenseReadsAsASingleRig) {
  g_settings.clear();
  const SettingsFunctions host{Get, Set};
  RigSettings fresh = RigSettings::Read(host);
  EXPECT_EQ(fresh.role, Role::kSingle);
  EXPECT_EQ(fresh.failoverMs, kDefaultFailoverMs);

  RigSettings backup;
  backup.role = Role::kBackup;
  backup.mainAddress = "http://10.0.0.1:8470/?key=abc";
  backup.failoverMs = 750;
  backup.Write(host);
  EXPECT_EQ(g_settings["rigRole"], "backup");
  const RigSettings read = RigSettings::Read(host);
  EXPECT_EQ(read.role, Role::kBackup);
  EXPECT_EQ(read.mainAddress, backup.mainAddress);
  EXPECT_EQ(read.failoverMs, 750);

  g_settings["rigRole"] = "leader";
  g_settings["rigFailoverMs"] = "5ms";
  EXPECT_EQ(RigSettings::Read(host).role, Role::kSingle);
  EXPECT_EQ(RigSettings::Read(host).failoverMs, kDefaultFailoverMs);
  g_settings["rigFailoverMs"] = "0";
  EXPECT_EQ(RigSettings::Read(host).failoverMs, kDefaultFailoverMs);
  // A host without settings: a single rig.
  EXPECT_EQ(RigSettings::Read({}).role, Role::kSingle);
}

}  // namespace
}  // namespace quorvane::rig
