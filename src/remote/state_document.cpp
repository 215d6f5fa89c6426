#include "remote/state_document.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_api.h"
#include "host/project_walk.h"
#include "practise/practise_session.h"
#include "practise/track_manager.h"
#include "protocol/json_writer.h"
#include "remote/remote_server.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/plugin_ui.h"
#include "ui/time_text.h"

namespace quorvane::remote {

using protocol::JsonWriter;
namespace {

using host::ProjectMarker;
using host::ProjectRegion;
using WalkedRegions = host::RegionsByNumber<ProjectRegion>;

// What the document needs of the host's markers and regions: the regions, looked up by number,
// and the markers of the live song and of the practise song. With the project's kept walk the
// regions are the walk's own; without it, one walk of the host per document.
struct ProjectView {
  const host::ProjectWalk* walk = nullptr;
  std::vector<ProjectRegion> walked;  // without a kept walk
  std::vector<ProjectMarker> liveMarkers;
  std::vector<ProjectMarker> practiseMarkers;

  const std::vector<ProjectRegion>& Regions() const { return walk ? walk->Regions() : walked; }
};

// Looks the view's regions up by number (the first in host order).
class RegionLookup {
 public:
  explicit RegionLookup(const ProjectView& project)
      : walk_(project.walk), walked_(project.walked) {}
  const ProjectRegion* Find(int regionId) const {
    return walk_ ? walk_->FindRegion(regionId) : walked_.Find(regionId);
  }

 private:
  const host::ProjectWalk* walk_;
  WalkedRegions walked_;
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
  ProjectView view;
  if (const host::ProjectWalk* walk = system.host.CurrentWalk()) {
    view.walk = walk;
    const auto markersOf = [walk](int regionId) {
      const ProjectRegion* region = walk->FindRegion(regionId);
      return region ? walk->MarkersIn(*region) : std::vector<ProjectMarker>();
    };
    view.practiseMarkers = markersOf(numbers[0]);
    if (live) view.liveMarkers = markersOf(liveRegionId);
    return view;
  }
  std::vector<std::vector<ProjectMarker>> markers;
  view.walked = system.host.EnumerateRegionsWithMarkers(numbers, &markers);
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

// The "regions" array.
void WriteRegions(JsonWriter& json, const std::vector<ProjectRegion>& regions) {
  json.BeginArray();
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

// The "setlist" array.
void WriteSetlist(JsonWriter& json, const SystemView& system, const RegionLookup& regions) {
  json.BeginArray();
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
        .Bool(system.engine.Played().IsPlayed(static_cast<int32_t>(i)))
        .Key("note")
        .String(item.note)
        .EndObject();
  }
  json.EndArray();
}

struct SetupTotals {
  int songCount = 0;
  double musicTime = 0.0;
};

SetupTotals CountSongs(const SystemView& system, const RegionLookup& regions) {
  SetupTotals totals;
  for (const show::SetlistItem& item : system.setlist.Items()) {
    if (item.isPause) continue;
    ++totals.songCount;
    if (const ProjectRegion* region = regions.Find(item.regionId)) {
      totals.musicTime += Duration(*region);
    }
  }
  return totals;
}

void WriteSetup(JsonWriter& json, const SystemView& system, const SetupTotals& totals) {
  const double duration = system.engine.Snapshot().duration;
  json.Key("setup")
      .BeginObject()
      .Key("durationMinutes")
      .Integer(ui::RoundedMinutes(duration))
      .Key("songCount")
      .Integer(totals.songCount)
      .Key("musicTime")
      .String(ui::HoursMinutesSeconds(totals.musicTime))
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
                   const RegionLookup& regions, double playPosition) {
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

// The sections that grow with the project, as JSON text.
struct ProjectSections {
  std::string regions;
  std::string setlist;
  SetupTotals totals;
};

ProjectSections WriteProjectSections(const SystemView& system, const ProjectView& project,
                                     const RegionLookup& regions) {
  ProjectSections sections;
  JsonWriter json;
  WriteRegions(json, project.Regions());
  sections.regions = json.Take();
  WriteSetlist(json, system, regions);
  sections.setlist = json.Take();
  sections.totals = CountSongs(system, regions);
  return sections;
}

// The sections above as written now or kept from an earlier document.
struct SectionsText {
  std::string_view regions;
  std::string_view setlist;
  SetupTotals totals;
};

// The song playing's sections and what live control does with them; at the document's end, after
// every member older clients know.
void WriteLiveSections(protocol::JsonWriter& json, const show::LiveSections& live) {
  json.Key("sections").BeginArray();
  for (const show::SongSection& section : live.Sections()) {
    json.BeginObject()
        .Key("name")
        .String(section.name)
        .Key("start")
        .Real(section.start)
        .Key("end")
        .Real(section.end)
        .EndObject();
  }
  json.EndArray()
      .Key("sectionIndex")
      .Integer(live.SectionIndex())
      .Key("vamp")
      .Bool(live.Vamping())
      .Key("queuedSection")
      .Integer(live.QueuedSection())
      .Key("queuedAt")
      .Real(live.QueuedAt());
}

std::string WriteDocument(const SystemView& system, const ProjectView& project,
                          const RegionLookup& regions, const SectionsText& sections) {
  const host::HostApi& host = system.host;
  const ui::PluginUI& ui = system.ui;
  const show::ShowSnapshot& snapshot = system.engine.Snapshot();
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
      .String(show::LiveTransportName(system.engine.LiveTransportChoice()))
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
  json.Key("regions").Raw(sections.regions);
  json.Key("setlist").Raw(sections.setlist);
  WriteSetup(json, system, sections.totals);
  WriteTracks(json, system);
  WritePractise(json, system, project, regions, playPosition);
  json.Key("remote")
      .BeginObject()
      .Key("clients")
      .Integer(static_cast<uint64_t>(system.server.ClientCount()))
      .EndObject();
  WriteLiveSections(json, system.engine.Sections());
  json.Key("resumed").Bool(snapshot.resumed);
  json.Key("link")
      .BeginObject()
      .Key("enabled")
      .Bool(ui.link.joined)
      .Key("peers")
      .Integer(static_cast<int64_t>(ui.link.peers))
      .EndObject();
  json.EndObject();
  return json.Take();
}

}  // namespace

std::string BuildStateDocument(const SystemView& system) {
  const ProjectView project = ReadProject(system);
  const RegionLookup regions(project);
  const ProjectSections sections = WriteProjectSections(system, project, regions);
  return WriteDocument(system, project, regions,
                       SectionsText{sections.regions, sections.setlist, sections.totals});
}

std::string StateDocumentBuilder::Build(const SystemView& system) {
  const ProjectView project = ReadProject(system);
  const RegionLookup regions(project);
  const uint64_t serial = project.walk ? project.walk->Serial() : 0;
  const bool kept = serial != 0 && serial == walkSerial_ && system.setlist.Items() == items_ &&
                    system.engine.Played().Indexes() == played_;
  if (!kept) {
    walkSerial_ = 0;  // nothing stale is left behind if writing throws
    ProjectSections sections = WriteProjectSections(system, project, regions);
    regionsJson_ = std::move(sections.regions);
    setlistJson_ = std::move(sections.setlist);
    songCount_ = sections.totals.songCount;
    musicTime_ = sections.totals.musicTime;
    items_ = system.setlist.Items();
    played_ = system.engine.Played().Indexes();
    walkSerial_ = serial;
  }
  return WriteDocument(system, project, regions,
                       SectionsText{regionsJson_, setlistJson_, {songCount_, musicTime_}});
}

}  // namespace quorvane::remote
