// Reading a remote command line. Remote apps send small flat JSON objects; the fields are found
// by a minimal scanner (the quoted key, then the first colon after it) rather than a JSON parser,
// so members may come in any order and unknown members are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::remote {

// The text between the two double quotes that follow the first colon after "cmd"; empty when any
// step finds nothing. Nothing is unescaped.
std::string ReadCommandType(const std::string& line);

// A base-10 integer right after the colon of `key`, with strtol's rules (white space, sign,
// saturation); none when the key, the colon or any digit is missing.
std::optional<int> ReadIntField(const std::string& line, const char* key);

// true when the 8 characters after the colon of `key` hold "true", else false when they hold
// "false"; none otherwise.
std::optional<bool> ReadBoolField(const std::string& line, const char* key);

// A JSON string right after the colon of `key` (white space before its opening quote is skipped):
// its escapes decoded (\" \\ \/ \b \f \n \r \t, and \uXXXX with surrogate pairs joined) into
// UTF-8. Unlike the other readers it refuses, with a reason, what it cannot take whole: a value
// that is not a string, an unknown or broken escape, a lone surrogate, a raw control character,
// bytes that are not UTF-8, a string without its closing quote.
struct StringField {
  std::optional<std::string> value;  // none when missing or refused
  std::string_view refusal;          // why, when refused; empty when the key is missing
};
StringField ReadStringField(const std::string& line, const char* key);

// A real right after the colon of "rate", with strtod's rules in the "C" locale whatever the
// process locale is.
std::optional<double> ReadRateField(const std::string& line);

// A real at `text` (up to `end`) as strtod reads it in the "C" locale: white space, a sign, a
// decimal or hexadecimal number, inf or nan; none when no number starts there or it is out of a
// double's range.
std::optional<double> ReadLocaleFreeReal(const char* text, const char* end);

}  // namespace quorvane::remote
