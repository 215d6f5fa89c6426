// Our declarations of the host's plug-in interface: the entry record, the registration records,
// the signatures of the host functions we bind by name, and the preview record. The simulator is
// built against the same declarations so the extension cannot tell it from the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/preview_lock.h"

#ifdef _WIN32
// The same handle types as <windows.h> declares, without pulling it in outside the platform layer.
struct HWND__;
struct HINSTANCE__;
struct HMENU__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HMENU__* HMENU;
#else
using HWND = void*;
using HINSTANCE = void*;
using HMENU = void*;
#endif

// The host's ACCEL record: BYTE fVirt; WORD key; WORD cmd.
struct HostAccel {
  unsigned char fVirt;
  unsigned short key;
  unsigned short cmd;
};

#if defined(_WIN32)
#define QUORVANE_EXPORT extern "C" __declspec(dllexport)
#else
#define QUORVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

struct ReaProject;
struct MediaTrack;
struct PCM_source;

constexpr int kReaperPluginVersion = 0x20E;

struct reaper_plugin_info_t {
  int caller_version;
  HWND hwnd_main;
  int (*Register)(const char* name, void* infostruct);
  void* (*GetFunc)(const char* name);
};

struct gaccel_register_t {
  HostAccel accel;
  const char* desc;
};

struct preview_register_t {
  quorvane::platform::PreviewLock
      lock;  // a CRITICAL_SECTION on Windows, initialised and deleted by us
  PCM_source* src;
  int m_out_chan;
  double curpos;
  bool loop;
  double volume;
  double peakvol[2];
  void* preview_track;
};

static_assert(sizeof(HostAccel) == 6, "ACCEL is 6 bytes");
static_assert(offsetof(HostAccel, key) == 2 && offsetof(HostAccel, cmd) == 4, "ACCEL offsets");
#if defined(_WIN64) || defined(__x86_64__)
static_assert(offsetof(gaccel_register_t, desc) == 8, "gaccel_register_t.desc at offset 8");
static_assert(sizeof(gaccel_register_t) == 16, "gaccel_register_t is 16 bytes");
static_assert(sizeof(reaper_plugin_info_t) == 32, "reaper_plugin_info_t is 32 bytes on x64");
#endif
#ifdef _WIN64
static_assert(offsetof(preview_register_t, src) == 40, "preview src follows the lock");
static_assert(sizeof(preview_register_t) == 104, "preview_register_t is 104 bytes on x64");
#endif

// Signatures of the host functions, as the host hands them out through GetFunc.
namespace hostfn {
using CountProjectMarkers = int (*)(ReaProject*, int*, int*);
using EnumProjectMarkers3 = int (*)(ReaProject*, int, bool*, double*, double*, const char**, int*,
                                    int*);
using SetEditCurPos = void (*)(double, bool, bool);
using OnPlayButton = void (*)();
using OnStopButton = void (*)();
using GetPlayPosition = double (*)();
using GetPlayState = int (*)();
using Master_GetPlayRate = double (*)(ReaProject*);
using CSurf_OnPlayRateChange = void (*)(double);
using TimeMap_GetDividedBpmAtTime = double (*)(double);
using TimeMap_GetTimeSigAtTime = void (*)(ReaProject*, double, int*, int*, double*);
using TimeMap2_timeToBeats = double (*)(ReaProject*, double, int*, int*, double*, int*);
using TimeMap2_beatsToTime = double (*)(ReaProject*, double, const int*);
using get_config_var = void* (*)(const char*, int*);
using GetSet_LoopTimeRange = void (*)(bool, bool, double*, double*, bool);
using ShowConsoleMsg = void (*)(const char*);
using GetProjExtState = int (*)(ReaProject*, const char*, const char*, char*, int);
using SetProjExtState = int (*)(ReaProject*, const char*, const char*, const char*);
using MarkProjectDirty = void (*)(ReaProject*);
using Main_OnCommand = void (*)(int, int);
using GetToggleCommandState = int (*)(int);
using CountTracks = int (*)(ReaProject*);
using GetTrack = MediaTrack* (*)(ReaProject*, int);
using GetMediaTrackInfo = void* (*)(MediaTrack*, const char*);
using GetSetMediaTrackInfo = void* (*)(MediaTrack*, const char*, void*);
using GetSetMediaTrackInfo_String = bool (*)(MediaTrack*, const char*, char*, bool);
using PCM_Source_CreateFromFile = PCM_source* (*)(const char*);
using PCM_Source_Destroy = void (*)(PCM_source*);
using PlayPreviewEx = int (*)(preview_register_t*, int, double);
using StopPreview = int (*)(preview_register_t*);
using AddExtensionsMainMenu = bool (*)();
using EnumProjects = ReaProject* (*)(int, char*, int);
}  // namespace hostfn

// Callbacks we register.
using TimerCallback = void (*)();
using HookCommandCallback = bool (*)(int command, int flag);
using HookCustomMenuCallback = void (*)(const char* menuidstr, HMENU menu, int flag);

// Host command id of the transport's repeat toggle.
constexpr int kRepeatToggleCommand = 1068;

using ReaperPluginEntryFn = int (*)(HINSTANCE, reaper_plugin_info_t*);
