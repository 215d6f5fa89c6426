#include "remote/state_document.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "practise/track_manager.h"
#include "remote/json_writer.h"
#include "remote/remote_server.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/plugin_ui.h"

namespace quorvane::remote {
namespace {

using host::ProjectMarker;
using host::ProjectRegion;
using Regions = host::RegionsByNumber<ProjectRegion>;

// What one walk through the host's markers and regions gives a document: the regions, looked up
// by number, and the markers of the live song and of the practise song.
struct ProjectView {
  std::vector<ProjectRegion> regions;
  std::vector<ProjectMarker> liveMarkers;
  std::vector<ProjectMarker> practiseMarkers;
};

// The live song whose marker names the document shows: its region number, or none.
bool LiveSongRegion(const SystemView& system, int* regionId) {
  const ui::PluginUI& ui = system.ui;
  const show::ShowSnapshot& snapshot = system.engine.Snapshot();
  if (!ui.showMarkerNames || !ui.IsLivePage()) return false;
  if (!system.setlist.IsSong(snapshot.currentIndex)) return false;
  *regionId = system.setlist.At(snapshot.currentIndex).regionId;
  return true;
}

ProjectView ReadProject(const SystemView& system) {
  std::vector<int> numbers{system.practise.Selection().songRegionId};
  int liveRegionId = 0;
  const bool live = LiveSongRegion(system, &liveRegionId);
  if (live) numbers.push_back(liveRegionId);
  std::vector<std::vector<ProjectMarker>> markers;
  ProjectView view;
  view.regions = system.host.EnumerateRegionsWithMarkers(numbers, &markers);
  if (markers.size() == numbers.size()) {
    view.practiseMarkers = std::move(markers[0]);
    if (live) view.liveMarkers = std::move(markers[1]);
  }
  return view;
}

double Duration(const ProjectRegion& region) {
  const double length = region.end - region.start;
  return length > 0.0 ? length : 0.0;
}

std::string HoursMinutesSeconds(double seconds) {
  const auto whole = static_cast<long long>(seconds > 0.0 ? seconds : 0.0);
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                whole % 60);
  return text;
}

// The marker of the live song at the snapshot's position: the last one in host order among
// those at the greatest position not after it.
std::string CurrentMarkerName(const SystemView& system, const ProjectView& project) {
  const show::ShowSnapshot& snapshot = system.engine.Snapshot();
  const std::string* best = nullptr;
  double bestPosition = -1.0;
  for (const ProjectMarker& marker : project.liveMarkers) {
    if (marker.position <= snapshot.position && marker.position >= bestPosition) {
      bestPosition = marker.position;
      best = &marker.name;
    }
  }
  return best ? *best : std::string();
}

void WriteRegions(JsonWriter& json, const std::vector<ProjectRegion>& regions) {
  json.Key("regions").BeginArray();
  for (const ProjectRegion& region : regions) {
    json.BeginObject()
        .Key("id")
        .Integer(region.regionId)
        .Key("name")
        .String(region.name)
        .Key("start")
        .Real(region.start)
        .Key("end")
        .Real(region.end)
        .Key("duration")
        .Real(Duration(region))
        .EndObject();
  }
  json.EndArray();
}

void WriteSetlist(JsonWriter& json, const SystemView& system, const Regions& regions) {
  json.Key("setlist").BeginArray();
  const auto& items = system.setlist.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const show::SetlistItem& item = items[i];
    const ProjectRegion* region = item.isPause ? nullptr : regions.Find(item.regionId);
    std::string name = "PAUSE";
    if (!item.isPause) {
      name = region && !region->name.empty() ? region->name
                                             : "Region " + std::to_string(item.regionId);
    }
    json.BeginObject()
        .Key("index")
        .Integer(static_cast<int64_t>(i))
        .Key("regionId")
        .Integer(item.regionId)
        .Key("duration")
        .Real(region ? Duration(*region) : 0.0)
        .Key("name")
        .String(name)
        .Key("pause")
        .Bool(item.isPause)
        .Key("autoStart")
        .Bool(item.autoStart)
        .Key("played")
        .Bool(system.ui.IsItemPlayed(static_cast<int32_t>(i)))
        .EndObject();
  }
  json.EndArray();
}

void WriteSetup(JsonWriter& json, const SystemView& system, const Regions& regions) {
  int songCount = 0;
  double musicTime = 0.0;
  for (const show::SetlistItem& item : system.setlist.Items()) {
    if (item.isPause) continue;
    ++songCount;
    if (const ProjectRegion* region = regions.Find(item.regionId)) {
      musicTime += Duration(*region);
    }
  }
  const double duration = system.engine.Snapshot().duration;
  json.Key("setup")
      .BeginObject()
      .Key("durationMinutes")
      .Integer(static_cast<int64_t>(duration / 60.0 + 0.5))
      .Key("songCount")
      .Integer(songCount)
      .Key("musicTime")
      .String(HoursMinutesSeconds(musicTime))
      .EndObject();
}

void WriteTracks(JsonWriter& json, const SystemView& system) {
  json.Key("soundCheck").BeginArray();
  for (const practise::BackingTrackRow& row : practise::ListProjectTracks(system.host)) {
    json.BeginObject()
        .Key("name")
        .String(row.name)
        .Key("muted")
        .Bool(row.muted)
        .Key("soloed")
        .Bool(row.soloed)
        .Key("trackIndex")
        .Integer(row.trackIndex)
        .Key("indentLevel")
        .Integer(row.indentLevel)
        .EndObject();
  }
  json.EndArray();
}

void WritePractise(JsonWriter& json, const SystemView& system, const ProjectView& project,
                   const Regions& regions, double playPosition) {
  const practise::PractiseSelection& selection = system.practise.Selection();
  const practise::PractiseRun& run = system.practise.Run();
  const ProjectRegion* region = regions.Find(selection.songRegionId);
  json.Key("practise")
      .BeginObject()
      .Key("regionId")
      .Integer(selection.songRegionId)
      .Key("songName")
      .String(region ? region->name : std::string())
      .Key("songDuration")
      .Real(region ? Duration(*region) : 0.0)
      .Key("markers")
      .BeginArray();
  if (region) {
    int index = 0;
    for (const ProjectMarker& marker : project.practiseMarkers) {
      json.BeginObject()
          .Key("index")
          .Integer(index++)
          .Key("position")
          .Real(marker.position)
          .Key("name")
          .String(marker.name)
          .EndObject();
    }
  }
  json.EndArray()
      .Key("startChoice")
      .Integer(selection.startChoice)
      .Key("stopChoice")
      .Integer(selection.stopChoice)
      .Key("currentMarker")
      .Integer(system.practise.CurrentPractiseMarker())
      .Key("precountBeats")
      .Integer(selection.preCountBeats)
      .Key("loop")
      .Bool(selection.loopEnabled)
      .Key("rate")
      .Real(selection.playbackRate)
      .Key("active")
      .Bool(run.active)
      .Key("countingIn")
      .Bool(run.countingIn)
      .Key("playing")
      .Bool(run.playing)
      .Key("position")
      .Real(playPosition)
      .EndObject();
}

}  // namespace

std::string BuildStateDocument(const SystemView& system) {
  const host::HostApi& host = system.host;
  const ui::PluginUI& ui = system.ui;
  const show::ShowSnapshot& snapshot = system.engine.Snapshot();
  const ProjectView project = ReadProject(system);
  const Regions regions(project.regions);
  const double playPosition = host.GetPlayPositionSafe();

  host::TimeSignatureAndBpm signature;
  const bool signatureKnown = host.GetTimeSignatureAndBpmAt(playPosition, &signature);
  const show::AutoStartSettings& autoStart = system.engine.AutoStartSetting();
  const int autoStartHour = autoStart.HasTime() ? autoStart.hour : -1;
  const int autoStartMinute = autoStart.HasTime() ? autoStart.minute : -1;

  JsonWriter json;
  json.BeginObject()
      .Key("type")
      .String("STATE")
      .Key("protocol")
      .Integer(kProtocolVersion)
      .Key("instanceId")
      .String(system.server.InstanceId())
      .Key("projectName")
      .String(system.server.ProjectName())
      .Key("page")
      .String(ui::PageName(ui.page))
      .Key("showStatus")
      .String(show::ShowStatusName(snapshot.status))
      .Key("playing")
      .Bool(system.engine.Player().Playing())
      .Key("position")
      .Real(snapshot.position)
      .Key("currentIndex")
      .Integer(snapshot.currentIndex)
      .Key("showMarkerNamesInLiveMode")
      .Bool(ui.showMarkerNames)
      .Key("showTimeSignatureAndBpm")
      .Bool(ui.showTimeSignatureAndBpm)
      .Key("currentMarkerName")
      .String(CurrentMarkerName(system, project))
      .Key("selectedIndex")
      .Integer(snapshot.selectedIndex)
      .Key("showElapsed")
      .Real(snapshot.elapsed)
      .Key("showRemaining")
      .Real(snapshot.showRemaining)
      .Key("playbackRemaining")
      .Real(snapshot.playbackRemaining)
      .Key("hasDelay")
      .Bool(snapshot.hasDelay)
      .Key("delaySeconds")
      .Real(snapshot.delay)
      .Key("liveTransport")
      .String(show::LiveTransportName(ui.liveTransport))
      .Key("timeSignature")
      .String(signatureKnown ? std::to_string(signature.numerator) + "/" +
                                   std::to_string(signature.denominator)
                             : std::string("--"))
      .Key("bpm")
      .Real(signatureKnown ? signature.bpm : 0.0)
      .Key("playbackRate")
      .Real(host.GetPlayRate())
      .Key("repeat")
      .Bool(host.IsRepeatOn())
      .Key("autoStartShow")
      .Bool(autoStart.enabled)
      .Key("autoStartHour")
      .Integer(autoStartHour)
      .Key("autoStartMinute")
      .Integer(autoStartMinute);
  WriteRegions(json, project.regions);
  WriteSetlist(json, system, regions);
  WriteSetup(json, system, regions);
  WriteTracks(json, system);
  WritePractise(json, system, project, regions, playPosition);
  json.Key("remote")
      .BeginObject()
      .Key("clients")
      .Integer(static_cast<uint64_t>(system.server.ClientCount()))
      .EndObject()
      .EndObject();
  return json.Take();
}

}  // namespace quorvane::remote
