// Builds the JSON lines the remote clients read: members in the order written, no whitespace,
// strings escaped, reals in fixed notation with four decimals whatever the process locale is.
//
//   JsonWriter json;
//   json.BeginObject().Key("type").String("STATE").Key("protocol").Integer(2);
//   json.Key("regions").BeginArray();
//   for (const auto& region : regions)
//   json.BeginObject().Key("start").Real(region.start).EndObject(); json.EndArray().EndObject();
//   std::string line = json.Take();  // no line feed
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace quorvane::protocol {

// Appends `text` as a JSON string with its quotes. Tab, line feed, carriage return, the quote and
// the backslash get their backslash escapes, the other bytes below 32 \u00XX; a byte that is not
// part of a valid UTF-8 sequence becomes U+FFFD, so that the result is always valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// Length of the valid UTF-8 sequence at the start of `text`, or 0 when it does not start with one
// (a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a cut end).
std::size_t Utf8SequenceLength(std::string_view text);

// Appends the UTF-8 encoding of the code point `code` (at most U+10FFFF, not a surrogate).
void AppendUtf8(std::string& out, uint32_t code);

// Appends `value` in fixed notation with exactly four decimals and a full stop ("12.5000");
// a value that is not finite is written 0.0000.
void AppendJsonReal(std::string& out, double value);

// Appends `value` in plain decimal.
void AppendJsonInteger(std::string& out, int64_t value);
void AppendJsonUnsigned(std::string& out, uint64_t value);

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The next member's name; the value follows with one of the calls below.
  JsonWriter& Key(std::string_view name);

  JsonWriter& String(std::string_view value);
  JsonWriter& Real(double value);
  JsonWriter& Bool(bool value);
  template <std::integral T>
  requires(!std::same_as<T, bool>) JsonWriter& Integer(T value) {
    Separate();
    if constexpr (std::is_signed_v<T>) {
      AppendJsonInteger(text_, value);
    } else {
      AppendJsonUnsigned(text_, value);
    }
    return *this;
  }
  // Bytes that are already JSON, written as one value (for instance a document built elsewhere).
  JsonWriter& Raw(std::string_view json);

  const std::string& Text() const { return text_; }
  // Hands out the text and leaves the writer empty for the next line.
  std::string Take();

 private:
  // Writes the comma between two values or members.
  void Separate();

  std::string text_;
};

}  // namespace quorvane::protocol
