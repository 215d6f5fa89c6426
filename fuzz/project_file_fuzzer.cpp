// quorvane-sim's project file reader on any text. A file it accepts must describe a project the
// simulated host can hold (songs with finite bounds in order, a tempo map from time 0 on, a
// setlist of the file's own songs); a file it refuses must be named by a line that exists.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>

#include "fuzz_support.h"
#include "sim/app/project_file.h"

namespace {

using quorvane::fuzz::Require;
using quorvane::sim::ProjectDescription;
using quorvane::sim::ProjectFileError;

bool IsTime(double seconds) {
  return std::isfinite(seconds) && seconds >= 0.0;
}

void CheckAccepted(const ProjectDescription& project) {
  Require(!project.songs.empty(), "an accepted file has a song");
  std::set<int> numbers;
  for (const auto& song : project.songs) {
    Require(song.number >= 1 && numbers.insert(song.number).second,
            "song numbers are 1 or more and used once");
    Require(IsTime(song.start) && IsTime(song.end) && song.end > song.start,
            "a song ends after it starts, at finite times");
  }
  for (size_t i = 0; i < project.markers.size(); ++i) {
    Require(IsTime(project.markers[i].position), "a marker lies at a finite time");
    Require(i == 0 || project.markers[i - 1].position <= project.markers[i].position,
            "markers come in time order");
  }
  Require(!project.tempoMap.empty() && project.tempoMap.front().time == 0.0,
          "the tempo map starts at time 0");
  for (size_t i = 0; i < project.tempoMap.size(); ++i) {
    const auto& point = project.tempoMap[i];
    Require(IsTime(point.time) && std::isfinite(point.bpm) && point.bpm > 0.0,
            "tempo points have finite times and tempos");
    Require(point.numerator >= 1 && point.denominator >= 1, "time signatures are whole");
    Require(i == 0 || project.tempoMap[i - 1].time < point.time, "tempo points come in order");
  }
  std::set<int> listed;
  bool previousIsPause = false;
  for (const auto& item : project.setlist) {
    if (item.region == 0) {
      Require(!item.autoStart, "a pause never starts by itself");
      previousIsPause = true;
      continue;
    }
    Require(numbers.count(item.region) == 1 && listed.insert(item.region).second,
            "the setlist names each of the file's songs at most once");
    Require(!(item.autoStart && previousIsPause), "a song after a pause never starts by itself");
    previousIsPause = false;
  }
  Require(project.durationMinutes == 0 || project.durationMinutes >= 5,
          "a set lasts 5 minutes or more");

  quorvane::sim::Host host;
  quorvane::sim::BuildProject(host, project);
  Require(host.Project().regions.size() == project.songs.size(),
          "the host holds one region per song");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = quorvane::fuzz::AsText(data, size);
  ProjectDescription project;
  ProjectFileError error;
  if (quorvane::sim::ReadProjectText(text, &project, &error)) {
    CheckAccepted(project);
    return 0;
  }
  const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
  Require(!error.message.empty() && error.line >= 0 && error.line <= lines,
          "a refused file is told by a line that exists", error.message);
  return 0;
}
