// The command-line scanner: the exact reading rules remote apps rely on.
#include <gtest/gtest.h>

#include <climits>

#include "remote/command_scanner.h"

namespace {

using quorvane::remote::ReadBoolField;
using quorvane::remote::ReadCommandType;
using quorvane::remote::ReadIntField;
using quorvane::remote::ReadRateField;

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

}  // namespace
