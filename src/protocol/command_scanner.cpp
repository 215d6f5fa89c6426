#include "protocol/command_scanner.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cctype>
#include <cstring>

#include "protocol/json_writer.h"

namespace quorvane::protocol {
namespace {

// The position right after the first colon that follows the first occurrence of "key".
std::optional<size_t> ValueStart(const std::string& line, const char* key) {
  const std::string quoted = std::string("\"") + key + "\"";
  const size_t at = line.find(quoted);
  if (at == std::string::npos) return std::nullopt;
  const size_t colon = line.find(':', at + quoted.size());
  if (colon == std::string::npos) return std::nullopt;
  return colon + 1;
}

// The four hex digits at `at` as a number; none unless all four are hex digits.
std::optional<unsigned> HexQuad(const std::string& line, size_t at) {
  if (at + 4 > line.size()) return std::nullopt;
  unsigned value = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const char c = line[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

// Decodes the \u escape whose digits start at `at` (a surrogate pair takes the next escape too);
// the position after it, or none for a broken escape or a lone surrogate.
std::optional<size_t> DecodeUnicodeEscape(const std::string& line, size_t at, std::string& out) {
  const auto code = HexQuad(line, at);
  if (!code || (*code >= 0xDC00 && *code <= 0xDFFF)) return std::nullopt;
  if (*code < 0xD800 || *code > 0xDBFF) {
    AppendUtf8(out, *code);
    return at + 4;
  }
  if (line.compare(at + 4, 2, "\\u") != 0) return std::nullopt;
  const auto low = HexQuad(line, at + 6);
  if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
  AppendUtf8(out, 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00));
  return at + 10;
}

}  // namespace

std::string ReadCommandType(const std::string& line) {
  const auto start = ValueStart(line, "cmd");
  if (!start) return {};
  const size_t open = line.find('"', *start);
  if (open == std::string::npos) return {};
  const size_t close = line.find('"', open + 1);
  if (close == std::string::npos) return {};
  return line.substr(open + 1, close - open - 1);
}

std::optional<int> ReadIntField(const std::string& line, const char* key) {
  const auto start = ValueStart(line, key);
  if (!start) return std::nullopt;
  const char* text = line.c_str() + *start;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text) return std::nullopt;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::optional<bool> ReadBoolField(const std::string& line, const char* key) {
  const auto start = ValueStart(line, key);
  if (!start) return std::nullopt;
  const std::string window = line.substr(*start, 8);
  if (window.find("true") != std::string::npos) return true;
  if (window.find("false") != std::string::npos) return false;
  return std::nullopt;
}

StringField ReadStringField(const std::string& line, const char* key) {
  const auto start = ValueStart(line, key);
  if (!start) return {};
  size_t at = line.find_first_not_of(" \t\r\n", *start);
  if (at == std::string::npos || line[at] != '"') return {std::nullopt, "not a string"};
  std::string value;
  for (++at; at < line.size();) {
    const auto byte = static_cast<unsigned char>(line[at]);
    if (byte == '"') return {std::move(value), {}};
    if (byte < 0x20) return {std::nullopt, "a control character must be escaped"};
    if (byte >= 0x80) {
      const size_t length = Utf8SequenceLength(std::string_view(line).substr(at));
      if (length == 0) return {std::nullopt, "not valid UTF-8"};
      value.append(line, at, length);
      at += length;
      continue;
    }
    if (byte != '\\') {
      value += static_cast<char>(byte);
      ++at;
      continue;
    }
    if (at + 1 >= line.size()) break;
    const char escape = line[at + 1];
    static constexpr std::string_view kSimple = "\"\\/bfnrt";
    static constexpr std::string_view kDecoded = "\"\\/\b\f\n\r\t";
    if (const size_t simple = kSimple.find(escape); simple != kSimple.npos) {
      value += kDecoded[simple];
      at += 2;
    } else if (escape == 'u') {
      const auto next = DecodeUnicodeEscape(line, at + 2, value);
      if (!next) return {std::nullopt, "a broken \\u escape"};
      at = *next;
    } else {
      return {std::nullopt, "an unknown escape"};
    }
  }
  return {std::nullopt, "the string has no closing quote"};
}

std::optional<double> ReadRealField(const std::string& line, const char* key) {
  const auto start = ValueStart(line, key);
  if (!start) return std::nullopt;
  return ReadLocaleFreeReal(line.c_str() + *start, line.c_str() + line.size());
}

std::optional<double> ReadRateField(const std::string& line) {
  return ReadRealField(line, "rate");
}

std::optional<double> ReadLocaleFreeReal(const char* text, const char* end) {
  // strtod's shape (leading white space, a sign, hexadecimal, inf and nan) without its reading of
  // the process locale, which the host or another extension may have set to a decimal comma.
  while (text != end && std::strchr(" \t\n\v\f\r", *text) && *text != '\0')
    ++text;
  bool negative = false;
  if (text != end && (*text == '+' || *text == '-')) {
    negative = *text == '-';
    ++text;
  }
  if (text != end && (*text == '+' || *text == '-')) return std::nullopt;  // one sign only
  std::chars_format format = std::chars_format::general;
  if (end - text > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const char* digits = text + 2;
    const bool hasDigit = std::isxdigit(static_cast<unsigned char>(*digits)) ||
                          (*digits == '.' && end - digits > 1 &&
                           std::isxdigit(static_cast<unsigned char>(digits[1])));
    if (hasDigit) {
      text = digits;
      format = std::chars_format::hex;
    }
  }
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(text, end, value, format);
  // Too large or too small for a double: no rate we accept, so nothing is read.
  if (result.ec != std::errc()) return std::nullopt;
  return negative ? -value : value;
}

const DecodedField* DecodedCommand::Find(std::string_view name, FieldType type) const {
  for (const DecodedField& field : fields_) {
    if (field.definition->name == name && field.definition->type == type) return &field;
  }
  return nullptr;
}

std::optional<int> DecodedCommand::Int(std::string_view name) const {
  const DecodedField* field = Find(name, FieldType::kInteger);
  return field ? field->integer : std::nullopt;
}

std::optional<bool> DecodedCommand::Bool(std::string_view name) const {
  const DecodedField* field = Find(name, FieldType::kBoolean);
  return field ? field->boolean : std::nullopt;
}

std::optional<double> DecodedCommand::Real(std::string_view name) const {
  const DecodedField* field = Find(name, FieldType::kReal);
  return field ? field->real : std::nullopt;
}

StringField DecodedCommand::Text(std::string_view name) const {
  const DecodedField* field = Find(name, FieldType::kString);
  return field ? field->text : StringField{};
}

std::optional<DecodedCommand> DecodeCommand(const std::string& line) {
  const CommandDefinition* definition = FindRemoteCommand(ReadCommandType(line));
  if (!definition) return std::nullopt;
  std::vector<DecodedField> fields;
  fields.reserve(definition->fields.size());
  for (const FieldDefinition& field : definition->fields) {
    // The table's names are literals: each one ends in a null character.
    const char* key = field.name.data();
    DecodedField decoded;
    decoded.definition = &field;
    switch (field.type) {
      case FieldType::kInteger:
        decoded.integer = ReadIntField(line, key);
        break;
      case FieldType::kBoolean:
        decoded.boolean = ReadBoolField(line, key);
        break;
      case FieldType::kReal:
        decoded.real = ReadRealField(line, key);
        break;
      case FieldType::kString:
        decoded.text = ReadStringField(line, key);
        break;
    }
    fields.push_back(std::move(decoded));
  }
  return DecodedCommand(*definition, std::move(fields));
}

}  // namespace quorvane::protocol
