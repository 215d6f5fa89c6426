// The command-line scanner: the exact reading rules remote apps rely on.
#include <gtest/gtest.h>

#include <climits>

#include "protocol/command_scanner.h"

namespace {

using quorvane::protocol::ReadBoolField;
using quorvane::protocol::ReadCommandType;
using quorvane::protocol::ReadIntField;
using quorvane::protocol::ReadRateField;
using quorvane::protocol::ReadStringField;

TEST(CommandScanner, FindsTheTypeWhereverCmdStands) {
  EXPECT_EQ(ReadCommandType(R"({"cmd":"PING"})"), "PING");
  EXPECT_EQ(ReadCommandType(R"({"index":3,"cmd":"LIVE_SELECT"})"), "LIVE_SELECT");
  EXPECT_EQ(ReadCommandType(R"({"cmd": "LIVE_STOP"})"), "LIVE_STOP");
  EXPECT_EQ(ReadCommandType(R"({"type":"LIVE_STOP"})"), "");
  EXPECT_EQ(ReadCommandType(R"({"cmd":)"), "");
  EXPECT_EQ(ReadCommandType(R"({"cmd":"UNTERMINATED)"), "");
  EXPECT_EQ(ReadCommandType(R"({"cmd":"A\"B"})"), "A\\");  // nothing is unescaped
  EXPECT_EQ(ReadCommandType(R"({"xcmd":"PING"})"), "");    // the key is matched with its quotes
}

TEST(CommandScanner, ReadsIntegersWithStrtolRules) {
  EXPECT_EQ(ReadIntField(R"({"index":3})", "index"), 3);
  EXPECT_EQ(ReadIntField(R"({"index":  -12,"cmd":"X"})", "index"), -12);
  EXPECT_EQ(ReadIntField(R"({"index":+7x})", "index"), 7);
  EXPECT_EQ(ReadIntField(R"({"index":99999999999})", "index"), INT_MAX);
  EXPECT_EQ(ReadIntField(R"({"index":-99999999999})", "index"), INT_MIN);
  EXPECT_FALSE(ReadIntField(R"({"index":"3"})", "index"));  // a JSON string is not a number
  EXPECT_FALSE(ReadIntField(R"({"index":})", "index"));
  EXPECT_FALSE(ReadIntField(R"({"index"})", "index"));
  EXPECT_FALSE(ReadIntField(R"({"regionId":4})", "index"));
}

TEST(CommandScanner, ReadsBooleansInAnEightCharacterWindow) {
  EXPECT_EQ(ReadBoolField(R"({"enabled":true})", "enabled"), true);
  EXPECT_EQ(ReadBoolField(R"({"enabled":false})", "enabled"), false);
  EXPECT_EQ(ReadBoolField(R"({"enabled":    true})", "enabled"), true);
  EXPECT_FALSE(ReadBoolField(R"({"enabled":     true})", "enabled"));
  EXPECT_FALSE(ReadBoolField(R"({"enabled":1})", "enabled"));
  EXPECT_FALSE(ReadBoolField(R"({"muted":true})", "enabled"));
}

TEST(CommandScanner, ReadsRatesWithStrtodRules) {
  EXPECT_DOUBLE_EQ(*ReadRateField(R"({"cmd":"PRACTISE_RATE","rate":0.75})"), 0.75);
  EXPECT_DOUBLE_EQ(*ReadRateField(R"({"rate": 1e0})"), 1.0);
  EXPECT_FALSE(ReadRateField(R"({"rate":"0.75"})"));
  EXPECT_FALSE(ReadRateField(R"({"cmd":"PRACTISE_RATE"})"));
}

TEST(CommandScanner, DecodesJsonStringsAndRefusesWhatItCannotTakeWhole) {
  const auto value = [](const std::string& line) {
    return ReadStringField(line, "note").value.value_or("<refused>");
  };
  EXPECT_EQ(value(R"({"note":"capo 2, Sam counts in"})"), "capo 2, Sam counts in");
  EXPECT_EQ(value(R"({"note":  "a"})"), "a");
  EXPECT_EQ(value(R"({"note":""})"), "");
  EXPECT_EQ(value(R"({"note":"\" \\ \/ \b \f \n \r \t"})"), "\" \\ / \b \f \n \r \t");
  EXPECT_EQ(value(R"({"note":"\u00e9\u20AC"})"), "\u00e9\u20ac");
  EXPECT_EQ(value(R"({"note":"\ud83c\udfb8 solo"})"), "\U0001F3B8 solo");
  EXPECT_EQ(value("{\"note\":\"caf\xC3\xA9 \xF0\x9F\x8E\xB8\"}"), "caf\u00e9 \U0001F3B8");

  const auto refusal = [](const std::string& line) {
    const auto field = ReadStringField(line, "note");
    EXPECT_FALSE(field.value) << line;
    return std::string(field.refusal);
  };
  EXPECT_EQ(refusal(R"({"index":1})"), "");  // missing: nothing to say
  EXPECT_EQ(refusal(R"({"note":12})"), "not a string");
  EXPECT_EQ(refusal(R"({"note":"\x41"})"), "an unknown escape");
  EXPECT_EQ(refusal(R"({"note":"\u12G4"})"), "a broken \\u escape");
  EXPECT_EQ(refusal(R"({"note":"\u12"})"), "a broken \\u escape");
  EXPECT_EQ(refusal(R"({"note":"\ud83c alone"})"), "a broken \\u escape");
  EXPECT_EQ(refusal(R"({"note":"\udfb8"})"), "a broken \\u escape");
  EXPECT_EQ(refusal(R"({"note":"\ud83c\u0041"})"), "a broken \\u escape");
  EXPECT_EQ(refusal("{\"note\":\"\xC3(\"}"), "not valid UTF-8");
  EXPECT_EQ(refusal("{\"note\":\"\xC0\xAF\"}"), "not valid UTF-8");      // overlong '/'
  EXPECT_EQ(refusal("{\"note\":\"\xED\xA0\x80\"}"), "not valid UTF-8");  // a raw surrogate
  EXPECT_EQ(refusal("{\"note\":\"a\nb\"}"), "a control character must be escaped");
  EXPECT_EQ(refusal(R"({"note":"open)"), "the string has no closing quote");
  EXPECT_EQ(refusal(R"({"note":"ends in \)"), "the string has no closing quote");
}

// A line decoded as the table lists its command: only the listed fields, each by its own type.
TEST(CommandScanner, DecodesOnlyTheFieldsTheTableListsByTheirTypes) {
  using quorvane::protocol::CommandId;
  using quorvane::protocol::DecodeCommand;
  EXPECT_FALSE(DecodeCommand(R"({"cmd":"LIVE_PLAY"})"));
  EXPECT_FALSE(DecodeCommand(R"({"index":1})"));

  const auto mute = DecodeCommand(R"({"muted":true,"cmd":"PROJECT_TRACK_MUTE","trackIndex": 4})");
  ASSERT_TRUE(mute);
  EXPECT_EQ(mute->Id(), CommandId::kProjectTrackMute);
  EXPECT_EQ(mute->Int("trackIndex"), 4);
  EXPECT_EQ(mute->Bool("muted"), true);
  EXPECT_EQ(mute->Bool("trackIndex"), std::nullopt)
      << "an integer field is not read as another type";
  EXPECT_EQ(mute->Int("index"), std::nullopt) << "a field the command does not list";

  const auto select = DecodeCommand(R"({"cmd":"LIVE_SELECT","index":"x","muted":true})");
  ASSERT_TRUE(select);
  EXPECT_EQ(select->Int("index"), std::nullopt);
  EXPECT_EQ(select->Bool("muted"), std::nullopt);

  const auto rate = DecodeCommand(R"({"cmd":"PRACTISE_RATE","rate":0.75})");
  ASSERT_TRUE(rate);
  EXPECT_EQ(rate->Real("rate"), 0.75);

  const auto note = DecodeCommand(R"({"cmd":"SETUP_NOTE","index":0,"note":"a\u00e9"})");
  ASSERT_TRUE(note);
  EXPECT_EQ(note->Text("note").value, "a\u00e9");
  EXPECT_EQ(note->Text("missing").refusal, "");
  const auto broken = DecodeCommand(R"({"cmd":"SETUP_NOTE","index":0,"note":"\q"})");
  ASSERT_TRUE(broken);
  EXPECT_FALSE(broken->Text("note").value);
  EXPECT_FALSE(broken->Text("note").refusal.empty());
}

}  // namespace
