// The JSON line builder: exact bytes for the values remote apps parse, and always valid JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <locale>
#include <string>

#include "protocol/json_writer.h"

namespace quorvane::protocol {
namespace {

std::string Quoted(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string Real(double value) {
  std::string out;
  AppendJsonReal(out, value);
  return out;
}

TEST(JsonWriter, WritesMembersInOrderWithoutWhitespace) {
  JsonWriter json;
  json.BeginObject().Key("type").String("STATE").Key("protocol").Integer(2);
  json.Key("items").BeginArray();
  json.BeginObject().Key("id").Integer(-7).Key("auto").Bool(true).EndObject();
  json.BeginObject().Key("id").Integer(uint64_t{18446744073709551615u}).EndObject();
  json.EndArray();
  json.Key("empty").BeginArray().EndArray();
  json.Key("setup").BeginObject().Key("total").Real(12.5).EndObject();
  json.Key("flags").BeginArray().Bool(false).Integer(0).String("").EndArray();
  json.EndObject();
  EXPECT_EQ(json.Text(), R"({"type":"STATE","protocol":2,"items":[{"id":-7,"auto":true},)"
                         R"({"id":18446744073709551615}],"empty":[],"setup":{"total":12.5000},)"
                         R"("flags":[false,0,""]})");
  EXPECT_TRUE(nlohmann::json::accept(json.Text()));

  EXPECT_EQ(json.Take().front(), '{');
  EXPECT_EQ(json.Text(), "");
  json.BeginObject().EndObject();
  EXPECT_EQ(json.Take(), "{}");
}

TEST(JsonWriter, EscapesQuotesBackslashesAndEveryControlByte) {
  EXPECT_EQ(Quoted("a\tb\nc\rd\"e\\f"), R"("a\tb\nc\rd\"e\\f")");
  EXPECT_EQ(Quoted(std::string("\x00\x01\x1F\x7F", 4)), "\"\\u0000\\u0001\\u001F\x7F\"");
  EXPECT_EQ(Quoted("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8"),
            "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8\"");

  std::string everyByte;
  for (int c = 0; c < 256; ++c)
    everyByte += static_cast<char>(c);
  const std::string quoted = Quoted(everyByte);
  const auto parsed = nlohmann::json::parse(quoted);
  EXPECT_EQ(parsed.get<std::string>().substr(0, 128), everyByte.substr(0, 128));
}

TEST(JsonWriter, ReplacesBytesThatAreNotUtf8SoTheLineStaysValid) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(Quoted("M\xFCller"), "\"M" + replacement + "ller\"");          // Latin-1
  EXPECT_EQ(Quoted("\xC3"), "\"" + replacement + "\"");                    // cut short
  EXPECT_EQ(Quoted("\xC0\xAF"), "\"" + replacement + replacement + "\"");  // overlong
  EXPECT_EQ(Quoted("\xED\xA0\x80"),
            "\"" + replacement + replacement + replacement + "\"");        // surrogate
  EXPECT_EQ(Quoted("\xF4\x90\x80\x80").substr(0, 4), "\"" + replacement);  // past U+10FFFF
  EXPECT_TRUE(nlohmann::json::accept(Quoted("\x80\xBF\xFE\xFF\xE2\x82")));
}

// A numeric punctuation with a decimal comma, as a host in a German locale might install.
struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(JsonWriter, WritesRealsWithFourDecimalsWhateverTheLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
  EXPECT_EQ(Real(12.5), "12.5000");
  EXPECT_EQ(Real(0.0), "0.0000");
  EXPECT_EQ(Real(-3.14159), "-3.1416");
  EXPECT_EQ(Real(2.71828), "2.7183");
  EXPECT_EQ(Real(86399.99999), "86400.0000");
  EXPECT_EQ(Real(0.00004), "0.0000");
  EXPECT_EQ(Real(std::numeric_limits<double>::quiet_NaN()), "0.0000");
  EXPECT_EQ(Real(std::numeric_limits<double>::infinity()), "0.0000");
  EXPECT_EQ(Real(-std::numeric_limits<double>::infinity()), "0.0000");
  const std::string huge = Real(std::numeric_limits<double>::max());
  EXPECT_EQ(huge.substr(huge.size() - 5), ".0000");
  EXPECT_DOUBLE_EQ(nlohmann::json::parse(huge).get<double>(), std::numeric_limits<double>::max());
  std::locale::global(previous);
}

}  // namespace
}  // namespace quorvane::protocol
