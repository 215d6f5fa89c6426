// The host's project functions in the simulator: markers and regions, config variables, the
// console, project state and the extension's own settings.
#include "sim/sim_functions.h"

namespace quorvane::sim::hostfn_impl {

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

}  // namespace quorvane::sim::hostfn_impl
