// A small, tolerant JSON reader for what the extension sends (WELCOME, STATE, discovery replies).
// It accepts any well-formed JSON value and refuses everything else without throwing; lookups of
// missing members or of members of an unexpected type give the caller's fallback, so a display
// never fails because a document lacks a member or carries a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::remote_cli {

struct JsonMember;

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  static JsonValue MakeBool(bool value);
  static JsonValue MakeNumber(double value);
  static JsonValue MakeString(std::string value);
  static JsonValue MakeArray(std::vector<JsonValue> items);
  static JsonValue MakeObject(std::vector<JsonMember> members);

  Kind GetKind() const { return kind_; }
  bool IsObject() const { return kind_ == Kind::kObject; }

  // The first member named `key`; a null value when there is none or this is not an object, so
  // that lookups chain: state["setup"]["songCount"].
  const JsonValue& operator[](std::string_view key) const;
  bool Has(std::string_view key) const;
  // The items of an array; empty for any other kind.
  const std::vector<JsonValue>& Items() const { return items_; }

  std::string Text(std::string_view fallback = {}) const;
  double Number(double fallback) const;
  // A number truncated toward zero and clamped to the 64-bit range.
  int64_t Integer(int64_t fallback) const;
  bool Boolean(bool fallback) const;

 private:
  Kind kind_ = Kind::kNull;
  bool boolean_ = false;
  double number_ = 0.0;
  std::string text_;
  std::vector<JsonValue> items_;
  std::vector<JsonMember> members_;
};

struct JsonMember {
  std::string key;
  JsonValue value;
};

// Arrays and objects nested deeper than this are refused, so that hostile input cannot exhaust
// the stack.
inline constexpr int kMaxJsonDepth = 64;

// Reads the one JSON value that `text` holds (white space around it allowed). Nothing when the
// text is not JSON or nests too deep. Strings are decoded to UTF-8 (a lone surrogate becomes
// U+FFFD); numbers beyond the range of a double read as 0.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace quorvane::remote_cli
