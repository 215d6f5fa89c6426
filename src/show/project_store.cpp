#include "show/project_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>
#include <vector>

#include "host/host_api.h"

namespace quorvane::show {
namespace {

constexpr int kNumberBufferSize = 64;  // "Setlist.Count" and RegionID values
constexpr int kWordBufferSize = 32;    // Type and AutoStart values
constexpr int kKeyBufferSize = 64;
// A stored note: at most four bytes of text for every byte of the note, and the terminator.
constexpr int kNoteBufferSize = static_cast<int>(Setlist::kMaxNoteBytes) * 4 + 1;

// A project file holds one value a line: a note's line breaks, other control characters and
// backslashes are stored as backslash escapes (\\, \n, \r, \t, \xHH).
std::string EscapeNote(const std::string& note) {
  std::string out;
  for (const char c : note) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The note EscapeNote stored; an escape it never writes is kept as it stands.
std::string UnescapeNote(const char* stored) {
  std::string out;
  for (const char* p = stored; *p; ++p) {
    if (*p != '\\' || !p[1]) {
      out += *p;
      continue;
    }
    const char kind = p[1];
    if (kind == '\\' || kind == 'n' || kind == 'r' || kind == 't') {
      out += kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind == 't' ? '\t' : '\\';
      ++p;
    } else if (kind == 'x' && HexValue(p[2]) >= 0 && HexValue(p[3]) >= 0) {
      out += static_cast<char>(HexValue(p[2]) * 16 + HexValue(p[3]));
      p += 3;
    } else {
      out += *p;
    }
  }
  return out;
}

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

// The note stored under `key`; empty when there is none, and when it is longer than the editor
// allows (a project edited by hand): left out rather than cut.
std::string ReadNote(const host::HostApi& host, const char* key, std::vector<char>& buffer) {
  std::fill(buffer.begin(), buffer.end(), '\0');
  const int length = host.GetProjExtState(nullptr, kExtStateSection, key, buffer.data(),
                                          static_cast<int>(buffer.size()));
  if (length <= 0 || length >= static_cast<int>(buffer.size())) return {};
  buffer.back() = '\0';
  std::string note = UnescapeNote(buffer.data());
  if (note.size() > Setlist::kMaxNoteBytes) return {};
  return note;
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
    const auto noteKey = WrittenItemKey(i, "Note");
    if (!item.note.empty()) {
      Write(host, noteKey.data(), EscapeNote(item.note));
    } else if (std::array<char, 2> probe{}; Read(host, noteKey.data(), probe)) {
      Write(host, noteKey.data(), "");
    }
  }
  return true;
}

bool LoadSetlist(const host::HostApi& host, Setlist& setlist) {
  std::array<char, kNumberBufferSize> number{};
  if (!Read(host, "Setlist.Count", number)) return false;
  const int32_t count = ParseStoredInt(number.data());
  if (count < 0) return false;

  setlist.Clear();
  std::vector<char> noteBuffer(kNoteBufferSize);
  for (int32_t i = 0; i < count; ++i) {
    if (!Read(host, ReadItemKey(i, "RegionID").data(), number)) return false;
    const int32_t regionId = ParseStoredInt(number.data());

    std::array<char, kWordBufferSize> word{};
    const bool isPause =
        Read(host, ReadItemKey(i, "Type").data(), word) && std::strcmp(word.data(), "PAUSE") == 0;
    const bool autoStart =
        Read(host, ReadItemKey(i, "AutoStart").data(), word) && ParseStoredInt(word.data()) != 0;

    SetlistItem item = isPause ? SetlistItem::Pause() : SetlistItem::Song(regionId, autoStart);
    if (!isPause && regionId < 1) return false;
    item.note = ReadNote(host, ReadItemKey(i, "Note").data(), noteBuffer);
    setlist.Append(item);
  }
  setlist.NormalizeAutoStart();
  setlist.MakeCurrent(setlist.Empty() ? -1 : 0);
  return true;
}

namespace {

constexpr const char* kLastShowProjectKey = "lastShowProject";
constexpr const char* kLastShowStateKey = "lastShowState";
// A stored show: its status word and numbers; the played list grows with the setlist.
constexpr int kShowValueBufferSize = 64;
constexpr int kPlayedBufferSize = Setlist::kMaxItems * 12 + 1;

std::optional<ShowStatus> ParseStatus(std::string_view name) {
  for (const ShowStatus status :
       {ShowStatus::kPrepared, ShowStatus::kLive, ShowStatus::kFinished}) {
    if (name == ShowStatusName(status)) return status;
  }
  return std::nullopt;
}

template <typename Number>
Number ParseNumber(std::string_view text, Number fallback) {
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return fallback;
  return value;
}

std::string PlayedText(const std::vector<int32_t>& played) {
  std::string text;
  for (const int32_t region : played) {
    if (!text.empty()) text += ',';
    text += IntText(region);
  }
  return text;
}

// Region numbers of songs (1 and up), ascending and each once, whatever order the text has; what
// is not a number is left out.
std::vector<int32_t> ParsePlayed(std::string_view text) {
  std::set<int32_t> regions;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const int32_t region = ParseNumber<int32_t>(text.substr(0, comma), 0);
    if (region > 0) regions.insert(region);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return {regions.begin(), regions.end()};
}

double ParseDuration(std::string_view text) {
  const double seconds = ParseNumber<double>(text, kDefaultShowDuration);
  return std::isfinite(seconds) && seconds > 0.0 ? seconds : kDefaultShowDuration;
}

// One key of a stored show, as the project keeps it and as its one line names it.
struct ShowField {
  const char* projectKey;
  const char* lineName;
  std::string (*text)(const StoredShow&);
  void (*read)(StoredShow&, std::string_view);
};

const std::array<ShowField, 7> kShowFields{{
    {"show_status", "status",
     [](const StoredShow& s) { return std::string(ShowStatusName(s.status)); },
     [](StoredShow& s, std::string_view t) {
       s.status = ParseStatus(t).value_or(ShowStatus::kPrepared);
     }},
    {"show_start", "start", [](const StoredShow& s) { return IntText(s.startMs); },
     [](StoredShow& s, std::string_view t) { s.startMs = ParseNumber<int64_t>(t, 0); }},
    {"show_finish", "finish", [](const StoredShow& s) { return IntText(s.finishMs); },
     [](StoredShow& s, std::string_view t) { s.finishMs = ParseNumber<int64_t>(t, 0); }},
    {"show_current", "current", [](const StoredShow& s) { return IntText(s.current); },
     [](StoredShow& s, std::string_view t) { s.current = ParseNumber<int32_t>(t, -1); }},
    {"show_song", "song", [](const StoredShow& s) { return IntText(s.currentSong); },
     [](StoredShow& s, std::string_view t) { s.currentSong = ParseNumber<int32_t>(t, 0); }},
    {"show_duration", "duration", [](const StoredShow& s) { return FixedText(s.duration, 3); },
     [](StoredShow& s, std::string_view t) { s.duration = ParseDuration(t); }},
    {"show_played", "played", [](const StoredShow& s) { return PlayedText(s.played); },
     [](StoredShow& s, std::string_view t) { s.played = ParsePlayed(t); }},
}};

}  // namespace

bool SaveShowState(const host::HostApi& host, const StoredShow& show) {
  bool written = true;
  for (const ShowField& field : kShowFields)
    written = Write(host, field.projectKey, field.text(show)) && written;
  return written;
}

int SaveShowChanges(const host::HostApi& host, const StoredShow& before, const StoredShow& now) {
  int written = 0;
  for (const ShowField& field : kShowFields) {
    std::string text = field.text(now);
    if (text == field.text(before)) continue;
    Write(host, field.projectKey, text);
    ++written;
  }
  return written;
}

std::optional<StoredShow> LoadShowState(const host::HostApi& host) {
  std::array<char, kShowValueBufferSize> status{};
  if (!Read(host, "show_status", status) || !ParseStatus(status.data())) return std::nullopt;
  StoredShow show;
  std::vector<char> buffer(kPlayedBufferSize);
  for (const ShowField& field : kShowFields) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    const int length = host.GetProjExtState(nullptr, kExtStateSection, field.projectKey,
                                            buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0) continue;
    buffer.back() = '\0';
    field.read(show, buffer.data());
  }
  return show;
}

std::string StoredShowText(const StoredShow& show) {
  std::string line;
  for (const ShowField& field : kShowFields) {
    if (!line.empty()) line += ';';
    line += field.lineName;
    line += '=';
    line += field.text(show);
  }
  return line;
}

std::optional<StoredShow> ParseStoredShow(const std::string& text) {
  StoredShow show;
  bool hasStatus = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find(';');
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    const size_t equals = part.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = part.substr(0, equals);
    const std::string_view value = part.substr(equals + 1);
    for (const ShowField& field : kShowFields) {
      if (name != field.lineName) continue;
      if (name == "status") {
        if (!ParseStatus(value)) return std::nullopt;
        hasStatus = true;
      }
      field.read(show, value);
    }
  }
  if (!hasStatus) return std::nullopt;
  return show;
}

void SaveLastShow(const host::HostApi& host, const std::string& projectPath, const StoredShow& show,
                  bool withProject) {
  if (withProject)
    host.SetExtState(kExtStateSection, kLastShowProjectKey, projectPath.c_str(), true);
  host.SetExtState(kExtStateSection, kLastShowStateKey, StoredShowText(show).c_str(), true);
}

std::string LastShowProject(const host::HostApi& host) {
  const char* path = host.GetExtState(kExtStateSection, kLastShowProjectKey);
  return path ? path : "";
}

std::optional<StoredShow> LoadLastShow(const host::HostApi& host, const std::string& projectPath) {
  if (projectPath.empty() || LastShowProject(host) != projectPath) return std::nullopt;
  const char* line = host.GetExtState(kExtStateSection, kLastShowStateKey);
  return line ? ParseStoredShow(line) : std::nullopt;
}

void ClearLastShow(const host::HostApi& host) {
  host.DeleteExtState(kExtStateSection, kLastShowProjectKey, true);
  host.DeleteExtState(kExtStateSection, kLastShowStateKey, true);
}

bool SaveShowDuration(const host::HostApi& host, double seconds) {
  return Write(host, "show_duration", FixedText(seconds, 6));
}

}  // namespace quorvane::show
