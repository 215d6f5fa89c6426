#include "show/project_store.h"

#include <array>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

#include "host/host_api.h"

namespace quorvane::show {
namespace {

constexpr int kNumberBufferSize = 64;  // "Setlist.Count" and RegionID values
constexpr int kWordBufferSize = 32;    // Type and AutoStart values
constexpr int kKeyBufferSize = 64;

// Fixed-point text as printf's "%.Nf" gives it, independent of the host process's locale.
std::string FixedText(double value, int precision) {
  std::array<char, 64> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, precision);
  if (result.ec != std::errc{}) return "0";
  return std::string(text.data(), result.ptr);
}

template <typename Int>
std::string IntText(Int value) {
  std::array<char, 32> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  return std::string(text.data(), result.ptr);
}

bool Write(const host::HostApi& host, const char* key, const std::string& value) {
  host.SetProjExtState(nullptr, kExtStateSection, key, value.c_str());
  return true;
}

// A value counts as present only when the host reports a length above 0.
template <size_t N>
bool Read(const host::HostApi& host, const char* key, std::array<char, N>& buffer) {
  buffer.fill('\0');
  const int length = host.GetProjExtState(nullptr, kExtStateSection, key, buffer.data(),
                                          static_cast<int>(buffer.size()));
  buffer.back() = '\0';
  return length > 0;
}

// Item keys are written with "%zu" and read with "%d"; both give the same text from index 0 up.
std::array<char, kKeyBufferSize> WrittenItemKey(size_t index, const char* field) {
  std::array<char, kKeyBufferSize> key{};
  std::snprintf(key.data(), key.size(), "Setlist.Item.%zu.%s", index, field);
  return key;
}

std::array<char, kKeyBufferSize> ReadItemKey(int index, const char* field) {
  std::array<char, kKeyBufferSize> key{};
  std::snprintf(key.data(), key.size(), "Setlist.Item.%d.%s", index, field);
  return key;
}

}  // namespace

int32_t ParseStoredInt(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate towards the sign so that INT_MIN is reachable; saturate once out of range.
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const int digit = *p - '0';
    value = value * 10 + (negative ? -digit : digit);
    if (value > INT32_MAX) value = INT32_MAX + int64_t{1};
    if (value < INT32_MIN) value = INT32_MIN - int64_t{1};
  }
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

bool SaveSetlist(const host::HostApi& host, const Setlist& setlist) {
  Write(host, "Setlist.Count", IntText(setlist.Items().size()));
  for (size_t i = 0; i < setlist.Items().size(); ++i) {
    const SetlistItem& item = setlist.Items()[i];
    Write(host, WrittenItemKey(i, "RegionID").data(), IntText(item.regionId));
    Write(host, WrittenItemKey(i, "Type").data(), item.isPause ? "PAUSE" : "SONG");
    Write(host, WrittenItemKey(i, "AutoStart").data(), item.autoStart ? "1" : "0");
  }
  return true;
}

bool LoadSetlist(const host::HostApi& host, Setlist& setlist) {
  std::array<char, kNumberBufferSize> number{};
  if (!Read(host, "Setlist.Count", number)) return false;
  const int32_t count = ParseStoredInt(number.data());
  if (count < 0) return false;

  setlist.Clear();
  for (int32_t i = 0; i < count; ++i) {
    if (!Read(host, ReadItemKey(i, "RegionID").data(), number)) return false;
    const int32_t regionId = ParseStoredInt(number.data());

    std::array<char, kWordBufferSize> word{};
    const bool isPause =
        Read(host, ReadItemKey(i, "Type").data(), word) && std::strcmp(word.data(), "PAUSE") == 0;
    const bool autoStart =
        Read(host, ReadItemKey(i, "AutoStart").data(), word) && ParseStoredInt(word.data()) != 0;

    if (isPause) {
      setlist.Append(SetlistItem::Pause());
      continue;
    }
    if (regionId < 1) return false;
    setlist.Append(SetlistItem::Song(regionId, autoStart));
  }
  setlist.NormalizeAutoStart();
  setlist.MakeCurrent(setlist.Empty() ? -1 : 0);
  return true;
}

bool SaveShowState(const host::HostApi& host, const ShowRecord& record) {
  bool written = Write(host, "show_status", show::ShowStatusName(record.status));
  written = Write(host, "show_start", IntText(record.startMs)) && written;
  written = Write(host, "show_finish", IntText(record.finishMs)) && written;
  written = Write(host, "show_current", IntText(record.showCurrentIndex)) && written;
  written = Write(host, "show_duration", FixedText(record.duration, 3)) && written;
  return written;
}

bool SaveShowDuration(const host::HostApi& host, double seconds) {
  return Write(host, "show_duration", FixedText(seconds, 6));
}

}  // namespace quorvane::show
