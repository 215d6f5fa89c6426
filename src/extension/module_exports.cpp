// The extension library's one export lives in entry_point.cpp, which the library takes whole from
// the core archive; this file only gives the library target a source of its own.
#include "host/reaper_api.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);
