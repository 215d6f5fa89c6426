// Project files for quorvane-sim: a band's own project (songs as regions, named markers, the
// tempo map, tracks in folders and the stored setlist) in a small line-based text format, read
// without any library and applied to the simulator. docs/project-file.md describes the format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_host.h"

namespace quorvane::sim {

struct ProjectSong {
  int number = 0;  // the region number the setlist refers to
  std::string name;
  double start = 0.0;  // seconds
  double end = 0.0;
};

struct ProjectMarker {
  std::string name;
  double position = 0.0;
};

struct ProjectTrack {
  std::string name;
  int folderDepth = 0;  // the host's form: 1 opens a folder, -1 closes one after this track
};

struct ProjectSetlistItem {
  int region = 0;  // 0: a pause
  bool autoStart = false;
};

struct ProjectDescription {
  std::string name;  // the project's name as remote apps see it
  std::vector<TempoPoint> tempoMap{TempoPoint{}};
  std::vector<ProjectSong> songs;
  std::vector<ProjectMarker> markers;  // in time order
  std::vector<ProjectTrack> tracks;
  std::vector<ProjectSetlistItem> setlist;
  int durationMinutes = 0;  // the set's length; 0 leaves the extension's default
};

struct ProjectFileError {
  int line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
};

// Reads a project description; false with `error` naming the line and what is wrong with it.
bool ReadProjectText(std::string_view text, ProjectDescription* project, ProjectFileError* error);

// Reads the file at `path`; false with `message` as "PATH:LINE: what is wrong". Without a name
// line the project is named after the file.
bool LoadProjectFile(const std::string& path, ProjectDescription* project, std::string* message);

// Fills the host's current project: its path (from the name), tempo map, regions, markers,
// tracks and the setlist under the extension's section, as the extension stores it.
void BuildProject(Host& host, const ProjectDescription& project);

}  // namespace quorvane::sim
