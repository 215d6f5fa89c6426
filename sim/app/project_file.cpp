#include "sim/app/project_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>

namespace quorvane::sim {
namespace {

constexpr size_t kMaxFileBytes = 1024 * 1024;  // a project description is a few kilobytes
constexpr double kMaxBpm = 960.0;
constexpr int kMaxNumerator = 64;
constexpr int kMaxBar = 100000;
constexpr const char* kExtStateSection = "Quorvane";

struct Token {
  std::string text;
  bool quoted = false;
};

// A position as written: a bar line ("bar 17") or seconds ("95.5"); bars are resolved once the
// whole tempo map is known.
struct Position {
  bool isBar = false;
  int bar = 1;
  double seconds = 0.0;
  std::string Describe() const {
    if (!isBar) {
      std::ostringstream text;
      text << seconds << " s";
      return text.str();
    }
    return "bar " + std::to_string(bar);
  }
};

struct PendingSong {
  int line = 0;
  int number = 0;
  std::string name;
  Position start, end;
};

struct PendingMarker {
  int line = 0;
  std::string name;
  Position at;
};

struct PendingTempo {
  int line = 0;
  int bar = 1;
  double bpm = 120.0;
  int numerator = 0;  // 0: unchanged
  int denominator = 0;
};

struct PendingItem {
  int line = 0;
  std::string token;  // as written, for messages
  ProjectSetlistItem item;
};

// Thrown inside the reader only, to leave a line at its first fault; ReadProjectText turns it
// into the error it returns.
struct Fault {
  int line;
  std::string message;
};

std::vector<Token> SplitLine(std::string_view line, int number) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    Token token;
    if (c == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          token.text += line[i++];
          continue;
        }
        token.text += d;
      }
      if (!closed) throw Fault{number, "a name in double quotes is not closed"};
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '#') {
        token.text += line[i++];
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || last != end) return std::nullopt;
  return value;
}

std::optional<double> ParseReal(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || last != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The tokens of one line, read in order; every read names what it expected when it fails.
class LineReader {
 public:
  LineReader(std::vector<Token> tokens, int line) : tokens_(std::move(tokens)), line_(line) {}

  int Line() const { return line_; }
  bool AtEnd() const { return next_ >= tokens_.size(); }
  const std::string& Keyword() const { return tokens_[0].text; }
  void Skip() { ++next_; }

  [[noreturn]] void Fail(const std::string& message) const { throw Fault{line_, message}; }

  const Token& Take(const std::string& what) {
    if (AtEnd()) Fail(Keyword() + ": " + what + " is missing");
    return tokens_[next_++];
  }

  std::string Name(const std::string& what) {
    const Token& token = Take(what);
    if (token.text.empty()) Fail(Keyword() + ": " + what + " is empty");
    return token.text;
  }

  int Integer(const std::string& what, int low, int high) {
    const Token& token = Take(what);
    const std::optional<int> value = token.quoted ? std::nullopt : ParseInt(token.text);
    if (!value) Fail(Keyword() + ": " + what + " must be a whole number, not '" + token.text + "'");
    if (*value < low || *value > high) {
      Fail(Keyword() + ": " + what + " must be from " + std::to_string(low) + " to " +
           std::to_string(high) + ", not " + token.text);
    }
    return *value;
  }

  double Real(const std::string& what, double low, double high) {
    const Token& token = Take(what);
    const std::optional<double> value = token.quoted ? std::nullopt : ParseReal(token.text);
    if (!value) Fail(Keyword() + ": " + what + " must be a number, not '" + token.text + "'");
    if (*value < low || *value > high) {
      std::ostringstream range;
      range << low << " to " << high;
      Fail(Keyword() + ": " + what + " must be from " + range.str() + ", not " + token.text);
    }
    return *value;
  }

  // "bar N" or seconds.
  Position At(const std::string& what) {
    if (!AtEnd() && tokens_[next_].text == "bar" && !tokens_[next_].quoted) {
      ++next_;
      Position position;
      position.isBar = true;
      position.bar = Integer(what + " bar", 1, kMaxBar);
      return position;
    }
    if (AtEnd()) Fail(Keyword() + ": " + what + " is missing (a time in seconds, or bar N)");
    const Token& token = tokens_[next_];
    const std::optional<double> seconds = token.quoted ? std::nullopt : ParseReal(token.text);
    if (!seconds || *seconds < 0.0) {
      Fail(Keyword() + ": " + what + " must be a time in seconds or bar N, not '" + token.text +
           "'");
    }
    ++next_;
    Position position;
    position.seconds = *seconds;
    return position;
  }

  void ExpectEnd() const {
    if (!AtEnd()) Fail(Keyword() + ": unexpected '" + tokens_[next_].text + "' at the end");
  }

  const std::vector<Token>& Tokens() const { return tokens_; }
  size_t NextIndex() const { return next_; }

 private:
  std::vector<Token> tokens_;
  int line_;
  size_t next_ = 1;  // after the keyword
};

// The bar lines of a tempo map given at bars: where each bar starts, in seconds.
class BarGrid {
 public:
  BarGrid(const std::vector<PendingTempo>& tempos) {
    int numerator = 4;
    int denominator = 4;
    double time = 0.0;
    int bar = 1;
    double barSeconds = 2.0;
    for (const PendingTempo& tempo : tempos) {
      time += (tempo.bar - bar) * barSeconds;
      bar = tempo.bar;
      if (tempo.numerator > 0) {
        numerator = tempo.numerator;
        denominator = tempo.denominator;
      }
      barSeconds = numerator * (4.0 / denominator) * 60.0 / tempo.bpm;
      segments_.push_back(Segment{bar, time, barSeconds});
      points_.push_back(TempoPoint{time, tempo.bpm, numerator, denominator});
    }
    if (points_.empty()) {
      segments_.push_back(Segment{1, 0.0, 2.0});
      points_.push_back(TempoPoint{});
    }
  }

  double Seconds(const Position& position) const {
    if (!position.isBar) return position.seconds;
    const Segment* segment = &segments_.front();
    for (const Segment& s : segments_) {
      if (s.bar <= position.bar) segment = &s;
    }
    return segment->time + (position.bar - segment->bar) * segment->barSeconds;
  }

  const std::vector<TempoPoint>& Points() const { return points_; }

 private:
  struct Segment {
    int bar;
    double time;
    double barSeconds;
  };
  std::vector<Segment> segments_;
  std::vector<TempoPoint> points_;
};

class ProjectReader {
 public:
  void ReadLine(LineReader& line) {
    const std::string& keyword = line.Keyword();
    if (keyword == "name") {
      project_.name = line.Name("the project's name");
    } else if (keyword == "duration") {
      project_.durationMinutes = line.Integer("the set's length in minutes", 5, 24 * 60);
    } else if (keyword == "tempo") {
      ReadTempo(line);
    } else if (keyword == "song") {
      PendingSong song;
      song.line = line.Line();
      song.number = line.Integer("the region number", 1, 1000000);
      song.name = line.Name("the song's name");
      song.start = line.At("the start");
      song.end = line.At("the end");
      if (!numbers_.insert(song.number).second) {
        line.Fail("song: region number " + std::to_string(song.number) + " is used twice");
      }
      songs_.push_back(std::move(song));
    } else if (keyword == "marker") {
      PendingMarker marker;
      marker.line = line.Line();
      marker.name = line.Name("the marker's name");
      marker.at = line.At("the position");
      markers_.push_back(std::move(marker));
    } else if (keyword == "track" || keyword == "folder") {
      const bool folder = keyword == "folder";
      project_.tracks.push_back(ProjectTrack{line.Name("the track's name"), folder ? 1 : 0});
      openFolders_ += folder ? 1 : 0;
      lastWasFolder_ = folder;
    } else if (keyword == "end") {
      if (openFolders_ == 0) line.Fail("end: no folder is open");
      if (lastWasFolder_) line.Fail("end: the folder has no track in it");
      --project_.tracks.back().folderDepth;
      --openFolders_;
    } else if (keyword == "setlist") {
      ReadSetlist(line);
    } else {
      line.Fail("unknown keyword '" + keyword +
                "' (expected name, duration, tempo, song, marker, track, folder, end or setlist)");
    }
    line.ExpectEnd();
  }

  ProjectDescription Finish() {
    if (songs_.empty())
      throw Fault{0, "the file has no song: add a line like  song 1 \"Intro\" bar 1 bar 9"};
    const BarGrid grid(tempos_);
    project_.tempoMap = grid.Points();
    for (const PendingSong& pending : songs_) {
      ProjectSong song{pending.number, pending.name, grid.Seconds(pending.start),
                       grid.Seconds(pending.end)};
      if (!(song.end > song.start)) {
        throw Fault{pending.line, "song " + std::to_string(song.number) + ": the end (" +
                                      pending.end.Describe() + ") is not after the start (" +
                                      pending.start.Describe() + ")"};
      }
      project_.songs.push_back(std::move(song));
    }
    for (const PendingMarker& pending : markers_) {
      project_.markers.push_back(ProjectMarker{pending.name, grid.Seconds(pending.at)});
    }
    std::stable_sort(
        project_.markers.begin(), project_.markers.end(),
        [](const ProjectMarker& a, const ProjectMarker& b) { return a.position < b.position; });
    std::set<int> inSetlist;
    for (const PendingItem& pending : items_) {
      const int region = pending.item.region;
      if (region == 0) continue;
      if (!numbers_.count(region)) {
        throw Fault{pending.line, "setlist: '" + pending.token + "' names no song (no song " +
                                      std::to_string(region) + " in the file)"};
      }
      if (!inSetlist.insert(region).second) {
        throw Fault{pending.line,
                    "setlist: song " + std::to_string(region) + " is in the setlist twice"};
      }
    }
    for (const PendingItem& pending : items_)
      project_.setlist.push_back(pending.item);
    return std::move(project_);
  }

 private:
  void ReadTempo(LineReader& line) {
    if (line.AtEnd() || line.Tokens()[line.NextIndex()].text != "bar") {
      line.Fail("tempo: a tempo change is placed at a bar: tempo bar N BPM [N/N]");
    }
    line.Skip();
    PendingTempo tempo;
    tempo.line = line.Line();
    tempo.bar = line.Integer("the bar", 1, kMaxBar);
    tempo.bpm = line.Real("the tempo (quarter notes per minute)", 1.0, kMaxBpm);
    if (!line.AtEnd()) {
      const std::string signature = line.Take("the time signature").text;
      const size_t slash = signature.find('/');
      const std::optional<int> numerator =
          slash == std::string::npos ? std::nullopt : ParseInt(signature.substr(0, slash));
      const std::optional<int> denominator =
          slash == std::string::npos ? std::nullopt : ParseInt(signature.substr(slash + 1));
      const bool powerOfTwo = denominator && *denominator > 0 && *denominator <= 64 &&
                              (*denominator & (*denominator - 1)) == 0;
      if (!numerator || *numerator < 1 || *numerator > kMaxNumerator || !powerOfTwo) {
        line.Fail("tempo: the time signature must look like 4/4 or 6/8, not '" + signature + "'");
      }
      tempo.numerator = *numerator;
      tempo.denominator = *denominator;
    }
    if (tempos_.empty() && tempo.bar != 1) {
      line.Fail("tempo: the first tempo is at bar 1, not bar " + std::to_string(tempo.bar));
    }
    if (!tempos_.empty() && tempo.bar <= tempos_.back().bar) {
      line.Fail("tempo: bar " + std::to_string(tempo.bar) +
                " is not after the previous tempo (bar " + std::to_string(tempos_.back().bar) +
                ")");
    }
    tempos_.push_back(tempo);
  }

  void ReadSetlist(LineReader& line) {
    if (line.AtEnd()) line.Fail("setlist: no songs listed (region numbers, N+ or pause)");
    while (!line.AtEnd()) {
      const Token& token = line.Take("an item");
      PendingItem pending;
      pending.line = line.Line();
      pending.token = token.text;
      if (token.text == "pause" && !token.quoted) {
        previousWasPause_ = true;
        items_.push_back(pending);
        continue;
      }
      std::string digits = token.text;
      const bool autoStart = !digits.empty() && digits.back() == '+';
      if (autoStart) digits.pop_back();
      const std::optional<int> region = token.quoted ? std::nullopt : ParseInt(digits);
      if (!region || *region < 1) {
        line.Fail("setlist: '" + token.text +
                  "' is not a song's region number, N+ (starts by itself) or pause");
      }
      if (autoStart && previousWasPause_) {
        line.Fail("setlist: song " + digits +
                  " follows a pause, so it cannot start by itself (drop the +)");
      }
      pending.item = ProjectSetlistItem{*region, autoStart};
      previousWasPause_ = false;
      items_.push_back(pending);
    }
  }

  ProjectDescription project_;
  std::vector<PendingTempo> tempos_;
  std::vector<PendingSong> songs_;
  std::vector<PendingMarker> markers_;
  std::vector<PendingItem> items_;
  std::set<int> numbers_;
  int openFolders_ = 0;
  bool lastWasFolder_ = false;
  bool previousWasPause_ = false;
};

std::filesystem::path PathFromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace

bool ReadProjectText(std::string_view text, ProjectDescription* project, ProjectFileError* error) {
  try {
    if (text.size() > kMaxFileBytes) throw Fault{0, "the file is larger than 1 MiB"};
    ProjectReader reader;
    int number = 0;
    size_t begin = 0;
    while (begin < text.size()) {
      size_t end = text.find('\n', begin);
      if (end == std::string_view::npos) end = text.size();
      ++number;
      std::vector<Token> tokens = SplitLine(text.substr(begin, end - begin), number);
      begin = end + 1;
      if (tokens.empty()) continue;
      if (tokens[0].quoted) throw Fault{number, "a line starts with a keyword, not a name"};
      LineReader line(std::move(tokens), number);
      reader.ReadLine(line);
    }
    *project = reader.Finish();
    return true;
  } catch (const Fault& fault) {
    *error = ProjectFileError{fault.line, fault.message};
    return false;
  }
}

bool LoadProjectFile(const std::string& path, ProjectDescription* project, std::string* message) {
  const std::filesystem::path filePath = PathFromUtf8(path);
  std::ifstream file(filePath, std::ios::binary);
  if (!file) {
    *message = path + ": cannot open the file";
    return false;
  }
  std::ostringstream contents;
  contents << file.rdbuf();
  ProjectFileError error;
  if (!ReadProjectText(contents.str(), project, &error)) {
    *message =
        path + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " + error.message;
    return false;
  }
  if (project->name.empty()) {
    const std::u8string stem = filePath.stem().u8string();
    project->name.assign(stem.begin(), stem.end());
  }
  return true;
}

void BuildProject(Host& host, const ProjectDescription& project) {
  host.Project().path = (project.name.empty() ? std::string("Untitled") : project.name) + ".rpp";
  host.SetTempoMap(project.tempoMap);
  for (const ProjectSong& song : project.songs)
    host.AddRegion(song.number, song.name, song.start, song.end);
  int number = 1;
  for (const ProjectMarker& marker : project.markers)
    host.AddMarker(number++, marker.name, marker.position);
  for (const ProjectTrack& track : project.tracks)
    host.AddTrack(track.name, track.folderDepth);

  host.SetExtState(kExtStateSection, "Setlist.Count", std::to_string(project.setlist.size()));
  for (size_t i = 0; i < project.setlist.size(); ++i) {
    const ProjectSetlistItem& item = project.setlist[i];
    const std::string key = "Setlist.Item." + std::to_string(i) + ".";
    const bool pause = item.region == 0;
    host.SetExtState(kExtStateSection, key + "RegionID",
                     pause ? "-1" : std::to_string(item.region));
    host.SetExtState(kExtStateSection, key + "Type", pause ? "PAUSE" : "SONG");
    host.SetExtState(kExtStateSection, key + "AutoStart", item.autoStart ? "1" : "0");
  }
}

}  // namespace quorvane::sim
