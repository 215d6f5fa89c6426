// The simulated host's projects: tabs and handles, regions and markers in host order, the tempo
// map, tracks and each project's stored state.
#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim_host.h"
#include "sim/sim_state.h"

namespace quorvane::sim {

SimProject* Host::State::Current() const {
  return current >= 0 && current < static_cast<int>(tabs.size()) ? tabs[current].get() : nullptr;
}

int Host::State::IndexOf(const SimProject* project) const {
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i].get() == project) return static_cast<int>(i);
  }
  return -1;
}

SimProject* Host::State::Resolve(ReaProject* project, const char* function) {
  if (!project) return Current();
  auto* wanted = reinterpret_cast<SimProject*>(project);
  if (IndexOf(wanted) >= 0) return wanted;
  bool closed = false;
  for (const auto& old : closedProjects)
    closed = closed || old.get() == wanted;
  Problem(std::string(function) + (closed ? ": a closed project's handle" : ": unknown project"));
  return nullptr;
}

namespace {

// True when the cached order is exactly what sorting the lists afresh would give: every entry
// comes strictly before the next by (position, serial, regions before markers, list index). A
// position that is not a number orders nothing, so it always sends the lists to a fresh sort.
bool OrderStillHolds(const SimProject& project, const std::vector<Host::State::OrderEntry>& order) {
  struct Key {
    double position;
    uint64_t serial;
    size_t rank;  // the entry's place in the sort's input: regions first, then markers
  };
  const auto keyOf = [&project](const Host::State::OrderEntry& entry) {
    if (entry.isRegion) {
      const SimRegion& region = project.regions[entry.index];
      return Key{region.start, region.serial, entry.index};
    }
    const SimMarker& marker = project.markers[entry.index];
    return Key{marker.position, marker.serial, project.regions.size() + entry.index};
  };
  for (size_t i = 0; i < order.size(); ++i) {
    const Key key = keyOf(order[i]);
    if (std::isnan(key.position)) return false;
    if (i == 0) continue;
    const Key before = keyOf(order[i - 1]);
    if (before.position != key.position) {
      if (before.position > key.position) return false;
    } else if (before.serial != key.serial) {
      if (before.serial > key.serial) return false;
    } else if (before.rank > key.rank) {
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<Host::State::OrderEntry>& Host::State::HostOrder(const SimProject& project,
                                                                   bool rebuild) {
  // A fresh enumeration must see positions changed in place; checking the cached order costs a
  // walk, sorting again would cost a sort every time the extension enumerates.
  if (orderProject == &project && orderRegions == project.regions.size() &&
      orderMarkers == project.markers.size() && (!rebuild || OrderStillHolds(project, order))) {
    return order;
  }
  struct Keyed {
    double position;
    uint64_t serial;
    OrderEntry entry;
  };
  std::vector<Keyed> keyed;
  for (size_t i = 0; i < project.regions.size(); ++i) {
    keyed.push_back(Keyed{project.regions[i].start, project.regions[i].serial, {true, i}});
  }
  for (size_t i = 0; i < project.markers.size(); ++i) {
    keyed.push_back(Keyed{project.markers[i].position, project.markers[i].serial, {false, i}});
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.position != b.position) return a.position < b.position;
    return a.serial < b.serial;
  });
  order.clear();
  for (const Keyed& k : keyed)
    order.push_back(k.entry);
  orderProject = &project;
  orderRegions = project.regions.size();
  orderMarkers = project.markers.size();
  return order;
}

const TempoMap& Host::State::MapOf(const SimProject* project) {
  static const std::vector<TempoPoint> kDefault{TempoPoint{}};
  const std::vector<TempoPoint>& points = project ? project->tempoMap : kDefault;
  const bool same = map && mapProject == project && mapPoints.size() == points.size() &&
                    std::equal(points.begin(), points.end(), mapPoints.begin(),
                               [](const TempoPoint& a, const TempoPoint& b) {
                                 return a.time == b.time && a.bpm == b.bpm &&
                                        a.numerator == b.numerator &&
                                        a.denominator == b.denominator;
                               });
  if (!same) {
    map = std::make_unique<TempoMap>(points);
    mapPoints = points;
    mapProject = project;
  }
  return *map;
}

SimTrack* Host::State::FindTrack(MediaTrack* track, int* index) const {
  if (!track) return nullptr;
  auto* wanted = reinterpret_cast<SimTrack*>(track);
  // The current project first (the usual case), then every tab; no list is built per call, as the
  // extension asks for each track's values several times per state document.
  const auto findIn = [wanted, index](const SimProject* project) {
    for (size_t i = 0; i < project->tracks.size(); ++i) {
      if (project->tracks[i].get() == wanted) {
        if (index) *index = static_cast<int>(i);
        return true;
      }
    }
    return false;
  };
  if (Current() && findIn(Current())) return wanted;
  for (const auto& tab : tabs) {
    if (findIn(tab.get())) return wanted;
  }
  return nullptr;
}

SimProject& Host::Project() {
  SimProject* project = state_->Current();
  if (!project) throw std::logic_error("quorvane::sim::Host: no project is open");
  return *project;
}

const SimProject& Host::Project() const {
  const SimProject* project = state_->Current();
  if (!project) throw std::logic_error("quorvane::sim::Host: no project is open");
  return *project;
}

bool Host::HasProject() const {
  return state_->Current() != nullptr;
}

int Host::AddProject(const std::string& path) {
  auto project = std::make_unique<SimProject>();
  project->path = path;
  state_->Edited(project.get());
  state_->tabs.push_back(std::move(project));
  if (state_->current < 0) state_->current = static_cast<int>(state_->tabs.size()) - 1;
  return static_cast<int>(state_->tabs.size()) - 1;
}

void Host::SelectProject(int index) {
  if (index < 0 || index >= static_cast<int>(state_->tabs.size()) || index == state_->current) {
    return;
  }
  state_->Stop();  // switching tabs stops the transport of the project left
  state_->current = index;
  // The tab at `index` exists (checked above): no lookup that could come back empty.
  state_->playPosition = state_->tabs[static_cast<size_t>(index)]->editCursor;
}

void Host::CloseProject(int index) {
  auto& tabs = state_->tabs;
  if (index < 0 || index >= static_cast<int>(tabs.size())) return;
  if (index == state_->current) state_->Stop();
  state_->closedProjects.push_back(std::move(tabs[static_cast<size_t>(index)]));
  tabs.erase(tabs.begin() + index);
  state_->InvalidateOrder();
  if (tabs.empty()) {
    state_->current = -1;
  } else if (index < state_->current) {
    --state_->current;
  } else if (index == state_->current) {
    state_->current = std::min(index, static_cast<int>(tabs.size()) - 1);
  }
}

void Host::CloseAllProjects() {
  while (!state_->tabs.empty())
    CloseProject(static_cast<int>(state_->tabs.size()) - 1);
}

int Host::ProjectCount() const {
  return static_cast<int>(state_->tabs.size());
}

void Host::SaveProjectAs(const std::string& path) {
  Project().path = path;
}

void Host::ProjectEdited() {
  state_->Edited(&Project());
  state_->InvalidateOrder();
}

bool Host::MoveRegionSilently(int number, double start, double end) {
  for (SimRegion& region : Project().regions) {
    if (region.number != number) continue;
    region.start = start;
    region.end = end;
    state_->InvalidateOrder();
    return true;
  }
  return false;
}

void Host::OpenInCurrentTab(const std::string& path) {
  if (!HasProject()) {
    SelectProject(AddProject(path));
    return;
  }
  state_->Stop();
  SimProject& project = Project();
  // What the tab held is kept, so that no old track handle is ever reused.
  state_->closedProjects.push_back(std::make_unique<SimProject>(std::move(project)));
  project = SimProject{};
  project.path = path;
  state_->Edited(&project);
  state_->InvalidateOrder();
  state_->playPosition = project.editCursor;
}

int Host::CurrentProjectIndex() const {
  return state_->Current() ? state_->current : -1;
}

void Host::AddRegion(int number, const std::string& name, double start, double end, int colour) {
  Project().regions.push_back(SimRegion{number, name, start, end, colour, state_->nextSerial++});
  ProjectEdited();
}

void Host::AddMarker(int number, const std::string& name, double position, int colour) {
  Project().markers.push_back(SimMarker{number, name, position, colour, state_->nextSerial++});
  ProjectEdited();
}

void Host::SetTempoMap(const std::vector<TempoPoint>& points) {
  Project().tempoMap = points;
  state_->Edited(&Project());
}

MediaTrack* Host::AddTrack(const std::string& name, int folderDepth) {
  auto track = std::make_unique<SimTrack>();
  track->name = name;
  track->folderDepth = folderDepth;
  SimTrack* raw = track.get();
  Project().tracks.push_back(std::move(track));
  state_->Edited(&Project());
  return reinterpret_cast<MediaTrack*>(raw);
}

SimTrack& Host::Track(int index) {
  auto& tracks = Project().tracks;
  if (index < 0 || index >= static_cast<int>(tracks.size())) {
    throw std::out_of_range("quorvane::sim::Host::Track: no such track");
  }
  return *tracks[static_cast<size_t>(index)];
}

std::string Host::ExtState(const std::string& section, const std::string& key) const {
  const auto& ext = Project().extState;
  auto s = ext.find(section);
  if (s == ext.end()) return {};
  auto k = s->second.find(key);
  return k == s->second.end() ? std::string() : k->second;
}

bool Host::HasExtState(const std::string& section, const std::string& key) const {
  const auto& ext = Project().extState;
  auto s = ext.find(section);
  return s != ext.end() && s->second.count(key) > 0;
}

void Host::SetExtState(const std::string& section, const std::string& key,
                       const std::string& value) {
  auto& ext = Project().extState;
  state_->Edited(&Project());
  if (value.empty()) {
    auto s = ext.find(section);
    if (s == ext.end()) return;
    s->second.erase(key);
    if (s->second.empty()) ext.erase(s);
    return;
  }
  ext[section][key] = value;
}

double Host::TimeToBeats(double time, int* measures, int* beatsInMeasure, double* fullBeats,
                         int* denominator) const {
  const SimBeatPosition position = BeatPosition(time);
  if (measures) *measures = position.measure;
  if (beatsInMeasure) *beatsInMeasure = position.beatsInMeasure;
  if (fullBeats) *fullBeats = position.fullBeats;
  if (denominator) *denominator = position.denominator;
  return position.beatInMeasure;
}

double Host::BeatsToTime(double fullBeats) const {
  return state_->MapOf(state_->Current()).BeatsToTime(fullBeats);
}

SimBeatPosition Host::BeatPosition(double time) const {
  return state_->MapOf(state_->Current()).TimeToBeats(time);
}

double Host::MeasureToTime(int measure, double beat) const {
  return state_->MapOf(state_->Current()).MeasureToTime(measure, beat);
}

double Host::NextBarLine(double time) const {
  return state_->MapOf(state_->Current()).NextBarLineAfter(time);
}

double Host::DividedBpmAt(double time) const {
  return state_->MapOf(state_->Current()).DividedBpmAt(time);
}

}  // namespace quorvane::sim
