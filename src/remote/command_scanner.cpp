#include "remote/command_scanner.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cctype>
#include <cstring>

namespace quorvane::remote {
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

std::optional<double> ReadRateField(const std::string& line) {
  const auto start = ValueStart(line, "rate");
  if (!start) return std::nullopt;
  return ReadLocaleFreeReal(line.c_str() + *start, line.c_str() + line.size());
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

}  // namespace quorvane::remote
