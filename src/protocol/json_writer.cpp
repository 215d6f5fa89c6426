#include "protocol/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <utility>

namespace quorvane::protocol {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The bytes a JSON string carries as they are: printable ASCII other than the quote and the
// backslash.
constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c)
    plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

// The text std::to_chars gives in fixed notation with four decimals, for the magnitudes a
// document holds (below 10^14), at a tenth of its cost: a document has a thousand reals. The
// double's exact binary value times 10^4 is rounded to an integer, ties to even, in 128-bit
// integer arithmetic. False for a value outside that range (and for one that is not finite).
__extension__ typedef unsigned __int128 WideUnsigned;

bool AppendFixedFourDecimals(std::string& out, double value) {
  if (!(std::fabs(value) < 1e14)) return false;
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1), or 0
  const auto significand = static_cast<uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;  // value = significand / 2^shift
  const WideUnsigned scaled = static_cast<WideUnsigned>(significand) * 10000u;
  uint64_t units = 0;  // value * 10^4, rounded
  if (shift <= 0) {
    units = static_cast<uint64_t>(scaled << -shift);
  } else if (shift < 100) {  // beyond, the value is far below half a unit
    WideUnsigned quotient = scaled >> shift;
    const WideUnsigned remainder = scaled - (quotient << shift);
    const WideUnsigned half = static_cast<WideUnsigned>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1u) != 0)) ++quotient;
    units = static_cast<uint64_t>(quotient);
  }
  std::array<char, 32> text;
  char* at = text.data();
  if (std::signbit(value)) *at++ = '-';  // as to_chars: "-0.0000" for a small negative value
  at = std::to_chars(at, text.data() + text.size(), units / 10000u).ptr;
  *at++ = '.';
  const auto decimals = static_cast<unsigned>(units % 10000u);
  at[0] = static_cast<char>('0' + decimals / 1000);
  at[1] = static_cast<char>('0' + decimals / 100 % 10);
  at[2] = static_cast<char>('0' + decimals / 10 % 10);
  at[3] = static_cast<char>('0' + decimals % 10);
  out.append(text.data(), at + 4);
  return true;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    // Plain bytes go out as they are, a run at a time.
    std::size_t plain = i;
    while (plain < text.size() && kPlainBytes[static_cast<unsigned char>(text[plain])])
      ++plain;
    if (plain > i) {
      out.append(text.data() + i, plain - i);
      i = plain;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8SequenceLength(text.substr(i));
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHexDigits[c >> 4];
          out += kHexDigits[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
}

void AppendJsonReal(std::string& out, double value) {
  if (AppendFixedFourDecimals(out, value)) return;
  // std::to_chars never consults a locale, unlike printf and unimbued streams: the host may have
  // switched the process to one with a decimal comma. 330 characters hold any finite double.
  char buffer[340];
  if (std::isfinite(value)) {
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    if (error == std::errc()) {
      out.append(buffer, end);
      return;
    }
  }
  out += "0.0000";
}

void AppendJsonInteger(std::string& out, int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendJsonUnsigned(std::string& out, uint64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void JsonWriter::Separate() {
  if (text_.empty()) return;
  const char last = text_.back();
  if (last != '{' && last != '[' && last != ':') text_ += ',';
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  text_ += '{';
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += '}';
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  text_ += '[';
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += ']';
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  Separate();
  // A document has thousands of members with short plain names: each goes out in one append.
  std::array<char, 64> quoted;
  if (name.size() + 3 <= quoted.size() && std::all_of(name.begin(), name.end(), [](char c) {
        return kPlainBytes[static_cast<unsigned char>(c)];
      })) {
    quoted[0] = '"';
    std::copy(name.begin(), name.end(), quoted.begin() + 1);
    quoted[name.size() + 1] = '"';
    quoted[name.size() + 2] = ':';
    text_.append(quoted.data(), name.size() + 3);
    return *this;
  }
  AppendJsonString(text_, name);
  text_ += ':';
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
  Separate();
  AppendJsonString(text_, value);
  return *this;
}

JsonWriter& JsonWriter::Real(double value) {
  Separate();
  AppendJsonReal(text_, value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  if (value) {
    text_.append("true", 4);
  } else {
    text_.append("false", 5);
  }
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view json) {
  Separate();
  text_.append(json);
  return *this;
}

std::string JsonWriter::Take() {
  std::string text = std::move(text_);
  text_.clear();
  return text;
}

}  // namespace quorvane::protocol
