// Reading a remote command line. Remote apps send small flat JSON objects; the fields are found
// by a minimal scanner (the quoted key, then the first colon after it) rather than a JSON parser,
// so members may come in any order and unknown members are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/command_table.h"

namespace quorvane::protocol {

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

// A real right after the colon of `key`, with strtod's rules in the "C" locale whatever the
// process locale is; ReadRateField reads "rate".
std::optional<double> ReadRealField(const std::string& line, const char* key);
std::optional<double> ReadRateField(const std::string& line);

// A real at `text` (up to `end`) as strtod reads it in the "C" locale: white space, a sign, a
// decimal or hexadecimal number, inf or nan; none when no number starts there or it is out of a
// double's range.
std::optional<double> ReadLocaleFreeReal(const char* text, const char* end);

// A command line decoded: its entry of the command table and each field the entry lists, read by
// the field's type (and only those: other members of the line are never looked at).
struct DecodedField {
  const FieldDefinition* definition = nullptr;
  std::optional<int> integer;   // kInteger
  std::optional<bool> boolean;  // kBoolean
  std::optional<double> real;   // kReal
  StringField text;             // kString
};

class DecodedCommand {
 public:
  DecodedCommand(const CommandDefinition& definition, std::vector<DecodedField> fields)
      : definition_(&definition), fields_(std::move(fields)) {}

  const CommandDefinition& Definition() const { return *definition_; }
  CommandId Id() const { return definition_->id; }
  std::string_view Name() const { return definition_->name; }

  // The field named `name` as read; none when the command lists no such field of that type, or
  // the line did not hold a readable value for it.
  std::optional<int> Int(std::string_view name) const;
  std::optional<bool> Bool(std::string_view name) const;
  std::optional<double> Real(std::string_view name) const;
  // A string field: its decoded value, or why it was refused (empty reason: missing).
  StringField Text(std::string_view name) const;

 private:
  const DecodedField* Find(std::string_view name, FieldType type) const;

  const CommandDefinition* definition_;
  std::vector<DecodedField> fields_;
};

// The line's command as the table lists it; none when its "cmd" names no command of the table.
std::optional<DecodedCommand> DecodeCommand(const std::string& line);

}  // namespace quorvane::protocol
