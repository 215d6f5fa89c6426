// The host functions as C functions with the host's exact signatures (host/reaper_api.h). Each
// forwards to the current Host's model; with no Host alive they answer as an empty host would.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/preview_lock.h"
#include "sim/sim_state.h"

namespace quorvane::sim {
namespace {

// The current host's model, entered by `function`: a test may have armed that function to throw,
// standing in for a failure on the extension's side of the call.
Host::State* Model(const char* function) {
  Host* host = Host::Current();
  if (!host) return nullptr;
  host->Model().ThrowIfArmed(function);
  return &host->Model();
}

// Copies `text` into a caller's buffer of `size` bytes: at most size - 1 bytes and a NUL.
void CopyOut(const std::string& text, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  const size_t count = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
}

std::string Text(const char* text) {
  return text ? text : "";
}

// --- Markers and regions ---

int CountProjectMarkers(ReaProject* proj, int* num_markersOut, int* num_regionsOut) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "CountProjectMarkers") : nullptr;
  const int markers = project ? static_cast<int>(project->markers.size()) : 0;
  const int regions = project ? static_cast<int>(project->regions.size()) : 0;
  if (num_markersOut) *num_markersOut = markers;
  if (num_regionsOut) *num_regionsOut = regions;
  if (project) s->HostOrder(*project, true);
  return markers + regions;
}

int EnumProjectMarkers3(ReaProject* proj, int idx, bool* isrgnOut, double* posOut,
                        double* rgnendOut, const char** nameOut, int* markrgnindexnumberOut,
                        int* colorOut) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "EnumProjectMarkers3") : nullptr;
  if (!project || idx < 0) return 0;
  const auto& order = s->HostOrder(*project, idx == 0);
  if (idx >= static_cast<int>(order.size())) return 0;
  const Host::State::OrderEntry& entry = order[static_cast<size_t>(idx)];
  if (entry.isRegion) {
    const SimRegion& region = project->regions[entry.index];
    if (isrgnOut) *isrgnOut = true;
    if (posOut) *posOut = region.start;
    if (rgnendOut) *rgnendOut = region.end;
    if (nameOut) *nameOut = region.name.c_str();
    if (markrgnindexnumberOut) *markrgnindexnumberOut = region.number;
    if (colorOut) *colorOut = region.colour;
  } else {
    const SimMarker& marker = project->markers[entry.index];
    if (isrgnOut) *isrgnOut = false;
    if (posOut) *posOut = marker.position;
    if (rgnendOut) *rgnendOut = 0.0;
    if (nameOut) *nameOut = marker.name.c_str();
    if (markrgnindexnumberOut) *markrgnindexnumberOut = marker.number;
    if (colorOut) *colorOut = marker.colour;
  }
  return idx + 1;
}

// --- Transport ---

void SetEditCurPos(double time, bool moveview, bool seekplay) {
  Host::State* s = Model(__func__);
  if (!s) return;
  HostCall& call = s->Record("SetEditCurPos");
  call.time = time;
  call.moveView = moveview;
  call.seekPlay = seekplay;
  s->SetEditCursor(time, seekplay);
}

void OnPlayButton() {
  Host::State* s = Model(__func__);
  if (!s) return;
  s->Record("OnPlayButton");
  s->Play();
}

void OnStopButton() {
  Host::State* s = Model(__func__);
  if (!s) return;
  s->Record("OnStopButton");
  s->Stop();
}

double GetPlayPosition() {
  Host::State* s = Model(__func__);
  return s ? s->PlayPositionNow() : 0.0;
}

int GetPlayState() {
  Host::State* s = Model(__func__);
  if (!s) return 0;
  switch (s->transport) {
    case TransportState::kPlaying:
      return 1;
    case TransportState::kPaused:
      return 2;
    default:
      return 0;
  }
}

double Master_GetPlayRate(ReaProject* proj) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "Master_GetPlayRate") : nullptr;
  return project ? project->playRate : 1.0;
}

void CSurf_OnPlayRateChange(double playrate) {
  Host::State* s = Model(__func__);
  if (!s) return;
  s->Record("CSurf_OnPlayRateChange").time = playrate;
  SimProject* project = s->Current();
  // The host's master play rate runs from 0.25 to 4.
  if (project && std::isfinite(playrate) && playrate > 0.0) {
    project->playRate = std::clamp(playrate, 0.25, 4.0);
  }
}

void GetSet_LoopTimeRange(bool isSet, bool isLoop, double* startOut, double* endOut,
                          bool allowautoseek) {
  Host::State* s = Model(__func__);
  if (!s) return;
  SimProject* project = s->Current();
  if (isSet) {
    HostCall& call = s->Record("GetSet_LoopTimeRange");
    call.time = startOut ? *startOut : 0.0;
    call.endTime = endOut ? *endOut : 0.0;
    call.text = isLoop ? "loop" : "selection";
    call.flag = allowautoseek ? 1 : 0;
    if (!project || !startOut || !endOut || !std::isfinite(*startOut) || !std::isfinite(*endOut)) {
      return;
    }
    double start = std::max(0.0, std::min(*startOut, *endOut));
    double end = std::max(0.0, std::max(*startOut, *endOut));
    (isLoop ? project->loopStart : project->selectionStart) = start;
    (isLoop ? project->loopEnd : project->selectionEnd) = end;
    return;
  }
  const double start = project ? (isLoop ? project->loopStart : project->selectionStart) : 0.0;
  const double end = project ? (isLoop ? project->loopEnd : project->selectionEnd) : 0.0;
  if (startOut) *startOut = start;
  if (endOut) *endOut = end;
}

void Main_OnCommand(int command, int flag) {
  Host::State* s = Model(__func__);
  if (!s) return;
  HostCall& call = s->Record("Main_OnCommand");
  call.command = command;
  call.flag = flag;
  s->RunCommand(command, flag);
}

int GetToggleCommandState(int command_id) {
  Host::State* s = Model(__func__);
  if (!s) return -1;
  return command_id == kRepeatToggleCommand ? (s->repeat ? 1 : 0) : -1;
}

// --- Tempo map ---

double TimeMap_GetDividedBpmAtTime(double time) {
  Host::State* s = Model(__func__);
  if (!s) return 120.0;
  return s->MapOf(s->Current()).DividedBpmAt(time);
}

void TimeMap_GetTimeSigAtTime(ReaProject* proj, double time, int* timesig_numOut,
                              int* timesig_denomOut, double* tempoOut) {
  Host::State* s = Model(__func__);
  const TempoPoint fallback;
  const TempoPoint* point = &fallback;
  if (s) {
    SimProject* project = s->Resolve(proj, "TimeMap_GetTimeSigAtTime");
    point = &s->MapOf(project).PointAt(time);
  }
  if (timesig_numOut) *timesig_numOut = point->numerator;
  if (timesig_denomOut) *timesig_denomOut = point->denominator;
  if (tempoOut) *tempoOut = point->bpm;
}

double TimeMap2_timeToBeats(ReaProject* proj, double tpos, int* measuresOut, int* cmlOut,
                            double* fullbeatsOut, int* cdenomOut) {
  Host::State* s = Model(__func__);
  SimBeatPosition position;
  if (s) position = s->MapOf(s->Resolve(proj, "TimeMap2_timeToBeats")).TimeToBeats(tpos);
  if (measuresOut) *measuresOut = position.measure;
  if (cmlOut) *cmlOut = position.beatsInMeasure;
  if (fullbeatsOut) *fullbeatsOut = position.fullBeats;
  if (cdenomOut) *cdenomOut = position.denominator;
  return position.beatInMeasure;
}

double TimeMap2_beatsToTime(ReaProject* proj, double tpos, const int* measuresIn) {
  Host::State* s = Model(__func__);
  if (!s) return tpos * 0.5;
  const TempoMap& map = s->MapOf(s->Resolve(proj, "TimeMap2_beatsToTime"));
  return measuresIn ? map.MeasureToTime(*measuresIn, tpos) : map.BeatsToTime(tpos);
}

// --- Config variables ---

void* get_config_var(const char* name, int* szOut) {
  Host::State* s = Model(__func__);
  Host::State::ConfigValue* value = s && name ? s->Config(name) : nullptr;
  if (szOut) *szOut = value ? static_cast<int>(value->bytes.size()) : 0;
  return value ? value->bytes.data() : nullptr;
}

// --- Console and project state ---

void ShowConsoleMsg(const char* msg) {
  Host::State* s = Model(__func__);
  if (!s) return;
  s->Record("ShowConsoleMsg").text = Text(msg);
  s->console += Text(msg);
}

int GetProjExtState(ReaProject* proj, const char* extname, const char* key, char* valOut,
                    int valOut_sz) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "GetProjExtState") : nullptr;
  std::string value;
  if (project && extname && key) {
    auto section = project->extState.find(extname);
    if (section != project->extState.end()) {
      auto entry = section->second.find(key);
      if (entry != section->second.end()) value = entry->second;
    }
  }
  CopyOut(value, valOut, valOut_sz);
  return static_cast<int>(value.size());
}

int SetProjExtState(ReaProject* proj, const char* extname, const char* key, const char* value) {
  Host::State* s = Model(__func__);
  if (!s) return 0;
  s->Record("SetProjExtState").text = Text(extname) + "/" + Text(key) + "=" + Text(value);
  SimProject* project = s->Resolve(proj, "SetProjExtState");
  if (!project || !extname || !*extname) return 0;
  s->Edited(project);
  auto& sections = project->extState;
  if (!key || !*key) {  // no key: the whole section goes
    sections.erase(extname);
    return 0;
  }
  if (!value || !*value) {  // no value: the key goes
    auto section = sections.find(extname);
    if (section == sections.end()) return 0;
    section->second.erase(key);
    const int left = static_cast<int>(section->second.size());
    if (left == 0) sections.erase(section);
    return left;
  }
  auto& section = sections[extname];
  section[key] = value;
  return static_cast<int>(section.size());
}

void MarkProjectDirty(ReaProject* proj) {
  Host::State* s = Model(__func__);
  if (!s) return;
  s->Record("MarkProjectDirty");
  if (SimProject* project = s->Resolve(proj, "MarkProjectDirty")) {
    ++project->dirtyCount;
    s->Edited(project);
  }
}

ReaProject* EnumProjects(int idx, char* projfnOut, int projfnOut_sz) {
  Host::State* s = Model(__func__);
  SimProject* project = nullptr;
  if (s) {
    if (idx == -1) {
      project = s->Current();
    } else if (idx >= 0 && idx < static_cast<int>(s->tabs.size())) {
      project = s->tabs[static_cast<size_t>(idx)].get();
    }
  }
  CopyOut(project ? project->path : std::string(), projfnOut, projfnOut_sz);
  return reinterpret_cast<ReaProject*>(project);
}

// --- The extension's own settings, kept across sessions ---

const char* GetExtState(const char* section, const char* key) {
  Host::State* s = Model(__func__);
  static const char kEmpty[] = "";
  if (!s) return kEmpty;
  const Host::State::GlobalValue* value = s->FindGlobal(Text(section), Text(key));
  s->globalRead = value ? value->value : std::string();
  return s->globalRead.c_str();
}

void SetExtState(const char* section, const char* key, const char* value, bool persist) {
  Host::State* s = Model(__func__);
  if (!s) return;
  HostCall& call = s->Record("SetExtState");
  call.text = Text(section) + "/" + Text(key) + "=" + Text(value);
  call.flag = persist ? 1 : 0;
  if (!section || !*section || !key || !*key) return;
  s->globalExtState[section][key] = Host::State::GlobalValue{Text(value), persist};
  if (persist) s->SaveSettings();
}

bool HasExtState(const char* section, const char* key) {
  Host::State* s = Model(__func__);
  return s && s->FindGlobal(Text(section), Text(key)) != nullptr;
}

void DeleteExtState(const char* section, const char* key, bool persist) {
  Host::State* s = Model(__func__);
  if (!s) return;
  HostCall& call = s->Record("DeleteExtState");
  call.text = Text(section) + "/" + Text(key);
  call.flag = persist ? 1 : 0;
  auto found = s->globalExtState.find(Text(section));
  if (found == s->globalExtState.end()) return;
  found->second.erase(Text(key));
  if (found->second.empty()) s->globalExtState.erase(found);
  if (persist) s->SaveSettings();
}

HWND GetMainHwnd() {
  Host::State* s = Model(__func__);
  return s ? s->info.hwnd_main : nullptr;
}

int GetProjectStateChangeCount(ReaProject* proj) {
  Host::State* s = Model(__func__);
  const SimProject* project = s ? s->Resolve(proj, "GetProjectStateChangeCount") : nullptr;
  return project ? project->changeCount : 0;
}

// --- Tracks ---

int CountTracks(ReaProject* proj) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "CountTracks") : nullptr;
  return project ? static_cast<int>(project->tracks.size()) : 0;
}

MediaTrack* GetTrack(ReaProject* proj, int trackidx) {
  Host::State* s = Model(__func__);
  SimProject* project = s ? s->Resolve(proj, "GetTrack") : nullptr;
  if (!project || trackidx < 0 || trackidx >= static_cast<int>(project->tracks.size())) {
    return nullptr;
  }
  return reinterpret_cast<MediaTrack*>(project->tracks[static_cast<size_t>(trackidx)].get());
}

// The live value behind a track key; null for an unknown key.
void* TrackValue(SimTrack* track, const std::string& key) {
  if (key == "B_MUTE") return &track->mute;
  if (key == "I_SOLO") return &track->solo;
  if (key == "I_FOLDERDEPTH") return &track->folderDepth;
  return nullptr;
}

void* GetSetMediaTrackInfo(MediaTrack* tr, const char* parmname, void* setNewValue) {
  Host::State* s = Model(__func__);
  if (!s || !parmname) return nullptr;
  int index = -1;
  SimTrack* track = s->FindTrack(tr, &index);
  if (!track) {
    if (tr) s->Problem("GetSetMediaTrackInfo: unknown track");
    return nullptr;
  }
  const std::string key = parmname;
  void* value = TrackValue(track, key);
  if (!value || !setNewValue) return value;
  HostCall& call = s->Record("GetSetMediaTrackInfo");
  call.command = index;
  s->Edited(s->Current());
  if (key == "B_MUTE") {
    track->mute = *static_cast<const bool*>(setNewValue);
    call.text = key + "=" + (track->mute ? "1" : "0");
  } else {
    int newValue = 0;
    std::memcpy(&newValue, setNewValue, sizeof newValue);
    *static_cast<int*>(value) = newValue;
    call.text = key + "=" + std::to_string(newValue);
  }
  return value;
}

void* GetMediaTrackInfo(MediaTrack* tr, const char* parmname) {
  Host::State* s = Model(__func__);
  if (!s || !parmname) return nullptr;
  SimTrack* track = s->FindTrack(tr, nullptr);
  if (!track) {
    if (tr) s->Problem("GetMediaTrackInfo: unknown track");
    return nullptr;
  }
  return TrackValue(track, parmname);
}

bool GetSetMediaTrackInfo_String(MediaTrack* tr, const char* parmname, char* buf,
                                 bool setNewValue) {
  Host::State* s = Model(__func__);
  if (!s || !parmname || !buf) return false;
  int index = -1;
  SimTrack* track = s->FindTrack(tr, &index);
  if (!track) {
    if (tr) s->Problem("GetSetMediaTrackInfo_String: unknown track");
    return false;
  }
  if (std::string(parmname) != "P_NAME") return false;
  if (setNewValue) {
    track->name = buf;
    s->Edited(s->Current());
    HostCall& call = s->Record("GetSetMediaTrackInfo_String");
    call.command = index;
    call.text = "P_NAME=" + track->name;
    return true;
  }
  // The caller's buffer size is not passed; the host assumes room for a name (512 bytes here).
  CopyOut(track->name, buf, 512);
  return true;
}

// --- Preview ---

// The length in seconds of a RIFF/WAVE file's audio, or -1 when the file is not one.
double WaveLength(const std::string& path) {
  // The host takes UTF-8 paths; a plain string would be read in the ANSI code page on Windows.
  std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
  if (!file) return -1.0;
  char header[12] = {};
  if (!file.read(header, sizeof header)) return -1.0;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) return -1.0;
  auto u32 = [](const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  };
  uint32_t bytesPerSecond = 0;
  for (int chunks = 0; chunks < 64; ++chunks) {
    unsigned char chunk[8] = {};
    if (!file.read(reinterpret_cast<char*>(chunk), sizeof chunk)) break;
    const uint32_t size = u32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      unsigned char format[16] = {};
      if (!file.read(reinterpret_cast<char*>(format), sizeof format)) break;
      bytesPerSecond = u32(format + 8);
      file.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      return bytesPerSecond > 0 ? static_cast<double>(size) / bytesPerSecond : 0.0;
    } else {
      file.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
    }
  }
  return 0.0;
}

PCM_source* PCM_Source_CreateFromFile(const char* filename) {
  Host::State* s = Model(__func__);
  if (!s || !filename) return nullptr;
  s->createdSourcePaths.push_back(filename);
  const double length = WaveLength(filename);
  if (length < 0.0) return nullptr;
  auto source = std::make_unique<Host::State::Source>();
  source->path = filename;
  source->length = length;
  const void* handle = source.get();
  s->sources.emplace(handle, std::move(source));
  return static_cast<PCM_source*>(const_cast<void*>(handle));
}

void PCM_Source_Destroy(PCM_source* src) {
  Host::State* s = Model(__func__);
  if (!s || !src) return;
  Host::State::Source* source = s->FindSource(src);
  if (!source) {
    s->Problem("PCM_Source_Destroy: not a live source");
    return;
  }
  for (auto& [record, playing] : s->previews) {
    if (playing.source == source) {
      s->Problem("PCM_Source_Destroy: the source of a playing preview");
      playing.source = nullptr;  // the real host would read freed memory from here on
    }
  }
  s->sources.erase(src);
}

int PlayPreviewEx(preview_register_t* preview, int bufflags, double measure_align) {
  Host::State* s = Model(__func__);
  if (!s) return 0;
  Host::State::Source* source = preview ? s->FindSource(preview->src) : nullptr;
  HostCall& call = s->Record("PlayPreviewEx");
  call.text = source ? source->path : std::string();
  call.flag = bufflags;
  call.time = measure_align;
  int result = 0;
  if (!preview) {
    s->Problem("PlayPreviewEx: no record");
  } else if (!source) {
    s->Problem("PlayPreviewEx: the record's source is not a live source");
  } else if (!std::isfinite(preview->volume) || !std::isfinite(preview->curpos) ||
             preview->curpos < 0.0) {
    s->Problem("PlayPreviewEx: volume or position not a finite number");
  } else if (preview->m_out_chan < 0 && !preview->preview_track) {
    s->Problem("PlayPreviewEx: no output channel and no preview track");
  } else if (s->previews.count(preview)) {
    s->Problem("PlayPreviewEx: the record is already playing");
  } else if (!platform::ProbePreviewLock(&preview->lock)) {
    s->Problem("PlayPreviewEx: the record's lock cannot be taken");
  } else if (!s->failPreview) {
    s->previews[preview] = Host::State::PlayingPreview{source, s->elapsedMs.load()};
    result = 1;
  }
  call.result = result;
  return result;
}

int StopPreview(preview_register_t* preview) {
  Host::State* s = Model(__func__);
  if (!s) return 0;
  HostCall& call = s->Record("StopPreview");
  auto it = preview ? s->previews.find(preview) : s->previews.end();
  if (it == s->previews.end()) {
    s->Problem("StopPreview: the record is not playing");
    call.result = 0;
    return 0;
  }
  call.text = it->second.source ? it->second.source->path : std::string();
  call.result = 1;
  s->previews.erase(it);
  return 1;
}

bool AddExtensionsMainMenu() {
  Host::State* s = Model(__func__);
  if (!s) return false;
  s->Record("AddExtensionsMainMenu");
  ++s->extensionsMenuCalls;
  return true;
}

template <typename Fn>
void* Address(Fn* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

void* HostFunctionByName(const std::string& name) {
  // Every function the extension binds, from its own list: a function added there and missing
  // here fails to compile.
#define QUORVANE_SIM_FUNCTION_(ret, fn, params) {#fn, Address(&fn)},
  static const std::map<std::string, void*> kFunctions = {QUORVANE_HOST_FUNCTIONS(
      QUORVANE_SIM_FUNCTION_, QUORVANE_SIM_FUNCTION_, QUORVANE_SIM_FUNCTION_)};
#undef QUORVANE_SIM_FUNCTION_
  auto it = kFunctions.find(name);
  return it == kFunctions.end() ? nullptr : it->second;
}

int SimRegister(const char* name, void* info) {
  Host::State* s = Model(__func__);
  return s ? s->Register(name, info) : 0;
}

void* SimGetFunc(const char* name) {
  Host::State* s = Model(__func__);
  return s ? s->LookUp(name) : nullptr;
}

// The signatures must be exactly the host's.
#define QUORVANE_SIM_SIGNATURE_(ret, fn, params) \
  static_assert(std::is_same_v<decltype(&fn), hostfn::fn>, #fn);
QUORVANE_HOST_FUNCTIONS(QUORVANE_SIM_SIGNATURE_, QUORVANE_SIM_SIGNATURE_, QUORVANE_SIM_SIGNATURE_)
#undef QUORVANE_SIM_SIGNATURE_
static_assert(std::is_same_v<decltype(&SimRegister), decltype(reaper_plugin_info_t::Register)>);
static_assert(std::is_same_v<decltype(&SimGetFunc), decltype(reaper_plugin_info_t::GetFunc)>);

}  // namespace quorvane::sim
