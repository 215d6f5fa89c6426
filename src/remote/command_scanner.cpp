#include "remote/command_scanner.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

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
  const char* text = line.c_str() + *start;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text) return std::nullopt;
  return value;
}

}  // namespace quorvane::remote
