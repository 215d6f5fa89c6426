// The host's track, preview and menu functions in the simulator.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/preview_lock.h"
#include "sim/sim_functions.h"

namespace quorvane::sim::hostfn_impl {

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

namespace {

// The live value behind a track key; null for an unknown key.
void* TrackValue(SimTrack* track, const std::string& key) {
  if (key == "B_MUTE") return &track->mute;
  if (key == "I_SOLO") return &track->solo;
  if (key == "I_FOLDERDEPTH") return &track->folderDepth;
  return nullptr;
}

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace quorvane::sim::hostfn_impl
