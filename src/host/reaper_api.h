// Our declarations of the host's plug-in interface: the entry record, the registration records,
// the signatures of the host functions we bind by name, and the preview record. The simulator is
// built against the same declarations so the extension cannot tell it from the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_functions.h"
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

// Signatures of the host functions, as the host hands them out through GetFunc (host_functions.h
// lists them).
namespace hostfn {
#define QUORVANE_HOSTFN_SIGNATURE_(ret, name, params) using name = ret(*) params;
QUORVANE_HOST_FUNCTIONS(QUORVANE_HOSTFN_SIGNATURE_, QUORVANE_HOSTFN_SIGNATURE_,
                        QUORVANE_HOSTFN_SIGNATURE_)
#undef QUORVANE_HOSTFN_SIGNATURE_
}  // namespace hostfn

// Callbacks we register.
using TimerCallback = void (*)();
using HookCommandCallback = bool (*)(int command, int flag);
// "toggleaction": the state of an action of ours for the host to show (a menu tick, a
// controller's light): 1 on, 0 off, -1 not ours or not a toggle.
using ToggleActionCallback = int (*)(int command);
using HookCustomMenuCallback = void (*)(const char* menuidstr, HMENU menu, int flag);

// Host command id of the transport's repeat toggle.
constexpr int kRepeatToggleCommand = 1068;

using ReaperPluginEntryFn = int (*)(HINSTANCE, reaper_plugin_info_t*);
