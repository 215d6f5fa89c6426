#include "quorvane_remote/json_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

#include "protocol/json_writer.h"

namespace quorvane::remote_cli {
namespace {

const JsonValue& NullValue() {
  static const JsonValue null;
  return null;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Recursive descent over the text; every step checks the end of the input.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    std::optional<JsonValue> value = Value(0);
    SkipSpace();
    if (!value || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      ++pos_;
    }
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<JsonValue> Value(int depth) {
    SkipSpace();
    switch (Peek()) {
      case '{':
        return Object(depth + 1);
      case '[':
        return Array(depth + 1);
      case '"': {
        std::optional<std::string> text = String();
        if (!text) return std::nullopt;
        return JsonValue::MakeString(std::move(*text));
      }
      case 't':
        if (Literal("true")) return JsonValue::MakeBool(true);
        return std::nullopt;
      case 'f':
        if (Literal("false")) return JsonValue::MakeBool(false);
        return std::nullopt;
      case 'n':
        if (Literal("null")) return JsonValue();
        return std::nullopt;
      default:
        return Number();
    }
  }

  std::optional<JsonValue> Object(int depth) {
    if (depth > kMaxJsonDepth) return std::nullopt;
    ++pos_;  // '{'
    std::vector<JsonMember> members;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      return JsonValue::MakeObject(std::move(members));
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') return std::nullopt;
      std::optional<std::string> key = String();
      if (!key) return std::nullopt;
      SkipSpace();
      if (Peek() != ':') return std::nullopt;
      ++pos_;
      std::optional<JsonValue> value = Value(depth);
      if (!value) return std::nullopt;
      members.push_back(JsonMember{std::move(*key), std::move(*value)});
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() != '}') return std::nullopt;
      ++pos_;
      return JsonValue::MakeObject(std::move(members));
    }
  }

  std::optional<JsonValue> Array(int depth) {
    if (depth > kMaxJsonDepth) return std::nullopt;
    ++pos_;  // '['
    std::vector<JsonValue> items;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return JsonValue::MakeArray(std::move(items));
    }
    for (;;) {
      std::optional<JsonValue> item = Value(depth);
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() != ']') return std::nullopt;
      ++pos_;
      return JsonValue::MakeArray(std::move(items));
    }
  }

  std::optional<uint32_t> Hex4() {
    if (text_.size() - pos_ < 4) return std::nullopt;
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return code;
  }

  // After "\u": one code point, joining a surrogate pair; a lone surrogate gives U+FFFD.
  std::optional<uint32_t> Escaped() {
    const std::optional<uint32_t> first = Hex4();
    if (!first) return std::nullopt;
    if (*first < 0xD800 || *first > 0xDFFF) return first;
    if (*first >= 0xDC00 || text_.substr(pos_, 2) != "\\u") return 0xFFFD;
    const std::size_t mark = pos_;
    pos_ += 2;
    const std::optional<uint32_t> second = Hex4();
    if (!second) return std::nullopt;
    if (*second < 0xDC00 || *second > 0xDFFF) {
      pos_ = mark;  // not a pair: the second escape is read on its own
      return 0xFFFD;
    }
    return 0x10000 + ((*first - 0xD800) << 10) + (*second - 0xDC00);
  }

  // Bytes below 32 are taken as they are: the reader is lenient where no meaning is lost.
  std::optional<std::string> String() {
    ++pos_;  // opening quote
    std::string out;
    while (!AtEnd()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (AtEnd()) return std::nullopt;
      const char escape = text_[pos_++];
      switch (escape) {
        case '"':
        case '\\':
        case '/':
          out += escape;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          const std::optional<uint32_t> code = Escaped();
          if (!code) return std::nullopt;
          protocol::AppendUtf8(out, *code);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;  // no closing quote
  }

  std::optional<JsonValue> Number() {
    const std::size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
    } else if (IsDigit(Peek())) {
      while (IsDigit(Peek()))
        ++pos_;
    } else {
      return std::nullopt;
    }
    if (Peek() == '.') {
      ++pos_;
      if (!IsDigit(Peek())) return std::nullopt;
      while (IsDigit(Peek()))
        ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (!IsDigit(Peek())) return std::nullopt;
      while (IsDigit(Peek()))
        ++pos_;
    }
    double value = 0.0;
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) value = 0.0;
    return JsonValue::MakeNumber(value);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

JsonValue JsonValue::MakeBool(bool value) {
  JsonValue json;
  json.kind_ = Kind::kBool;
  json.boolean_ = value;
  return json;
}

JsonValue JsonValue::MakeNumber(double value) {
  JsonValue json;
  json.kind_ = Kind::kNumber;
  json.number_ = value;
  return json;
}

JsonValue JsonValue::MakeString(std::string value) {
  JsonValue json;
  json.kind_ = Kind::kString;
  json.text_ = std::move(value);
  return json;
}

JsonValue JsonValue::MakeArray(std::vector<JsonValue> items) {
  JsonValue json;
  json.kind_ = Kind::kArray;
  json.items_ = std::move(items);
  return json;
}

JsonValue JsonValue::MakeObject(std::vector<JsonMember> members) {
  JsonValue json;
  json.kind_ = Kind::kObject;
  json.members_ = std::move(members);
  return json;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
  for (const JsonMember& member : members_) {
    if (member.key == key) return member.value;
  }
  return NullValue();
}

bool JsonValue::Has(std::string_view key) const {
  for (const JsonMember& member : members_) {
    if (member.key == key) return true;
  }
  return false;
}

std::string JsonValue::Text(std::string_view fallback) const {
  return kind_ == Kind::kString ? text_ : std::string(fallback);
}

double JsonValue::Number(double fallback) const {
  return kind_ == Kind::kNumber ? number_ : fallback;
}

int64_t JsonValue::Integer(int64_t fallback) const {
  if (kind_ != Kind::kNumber || std::isnan(number_)) return fallback;
  // 2^63 is exactly representable; anything at or beyond it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (number_ >= kLimit) return std::numeric_limits<int64_t>::max();
  if (number_ < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(number_);
}

bool JsonValue::Boolean(bool fallback) const {
  return kind_ == Kind::kBool ? boolean_ : fallback;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
  return Parser(text).Document();
}

}  // namespace quorvane::remote_cli
