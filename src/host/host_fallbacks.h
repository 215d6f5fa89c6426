// Our own stand-ins for the host functions marked FALLBACK in host_functions.h, put in place by
// HostApi::Bind when the host lacks one. Each has the host function's exact signature.
#pragma once

#include "host/reaper_api.h"

namespace quorvane::host::fallback {

double TimeMap_GetDividedBpmAtTime(double time);
void MarkProjectDirty(ReaProject* proj);
// Settings kept in this process's memory only: they last for the session and never persist.
const char* GetExtState(const char* section, const char* key);
void SetExtState(const char* section, const char* key, const char* value, bool persist);
bool HasExtState(const char* section, const char* key);
void DeleteExtState(const char* section, const char* key, bool persist);
int GetProjectStateChangeCount(ReaProject* proj);

}  // namespace quorvane::host::fallback
