// Every host function the extension uses, in one list, in the order they are bound at load. The
// signatures in reaper_api.h, the HostApi members, the binding, the simulator's table and the
// tests' lists are all generated from it, so a function is added here and nowhere else.
//
// Each entry is one of:
//   REQUIRED(return type, name, (parameters))  the load is refused without it; after a successful
//                                             bind it is never null, so callers do not check it.
//   OPTIONAL(...)                             may be null; its caller or wrapper has a fallback.
//   FALLBACK(...)                             when the host lacks it, binding puts our own
//                                             implementation in its place (host_fallbacks.cpp),
//                                             so it is never null either.
//
// A consumer defines the three macros (often all three the same) and expands
// QUORVANE_HOST_FUNCTIONS(REQUIRED, OPTIONAL, FALLBACK).
#pragma once

#include <cstddef>
#include <iterator>

// clang-format off
#define QUORVANE_HOST_FUNCTIONS(REQUIRED, OPTIONAL, FALLBACK)                                     \
  /* The count-in click's preview; without all four a practise run has no pre-count. */          \
  OPTIONAL(PCM_source*, PCM_Source_CreateFromFile, (const char* filename))                        \
  OPTIONAL(void, PCM_Source_Destroy, (PCM_source* src))                                           \
  OPTIONAL(int, PlayPreviewEx, (preview_register_t* preview, int bufflags, double measure_align)) \
  OPTIONAL(int, StopPreview, (preview_register_t* preview))                                       \
  /* Regions, markers and the transport. */                                                       \
  REQUIRED(int, CountProjectMarkers, (ReaProject* proj, int* num_markersOut, int* num_regionsOut)) \
  REQUIRED(int, EnumProjectMarkers3, (ReaProject* proj, int idx, bool* isrgnOut, double* posOut,  \
                                      double* rgnendOut, const char** nameOut,                    \
                                      int* markrgnindexnumberOut, int* colorOut))                 \
  REQUIRED(void, SetEditCurPos, (double time, bool moveview, bool seekplay))                      \
  REQUIRED(void, OnPlayButton, ())                                                                \
  REQUIRED(void, OnStopButton, ())                                                                \
  REQUIRED(double, GetPlayPosition, ())                                                           \
  REQUIRED(int, GetPlayState, ())                                                                 \
  OPTIONAL(double, Master_GetPlayRate, (ReaProject* proj))                                        \
  OPTIONAL(void, CSurf_OnPlayRateChange, (double playrate))                                       \
  /* Fallback: 0, an unknown tempo, which every caller already refuses. */                       \
  FALLBACK(double, TimeMap_GetDividedBpmAtTime, (double time))                                    \
  OPTIONAL(void, TimeMap_GetTimeSigAtTime, (ReaProject* proj, double time, int* timesig_numOut,   \
                                            int* timesig_denomOut, double* tempoOut))             \
  OPTIONAL(double, TimeMap2_timeToBeats, (ReaProject* proj, double tpos, int* measuresOut,        \
                                          int* cmlOut, double* fullbeatsOut, int* cdenomOut))     \
  OPTIONAL(double, TimeMap2_beatsToTime, (ReaProject* proj, double tpos, const int* measuresIn))  \
  OPTIONAL(void*, get_config_var, (const char* name, int* szOut))                                 \
  REQUIRED(void, GetSet_LoopTimeRange, (bool isSet, bool isLoop, double* startOut,                \
                                        double* endOut, bool allowautoseek))                      \
  REQUIRED(void, ShowConsoleMsg, (const char* msg))                                               \
  /* The setlist and the show's progress live in the project. */                                  \
  REQUIRED(int, GetProjExtState, (ReaProject* proj, const char* extname, const char* key,         \
                                  char* valOut, int valOut_sz))                                   \
  REQUIRED(int, SetProjExtState, (ReaProject* proj, const char* extname, const char* key,         \
                                  const char* value))                                             \
  /* Fallback: nothing to mark. */                                                               \
  FALLBACK(void, MarkProjectDirty, (ReaProject* proj))                                            \
  REQUIRED(void, Main_OnCommand, (int command, int flag))                                         \
  REQUIRED(int, GetToggleCommandState, (int command_id))                                          \
  /* Sound check. */                                                                              \
  OPTIONAL(int, CountTracks, (ReaProject* proj))                                                  \
  OPTIONAL(MediaTrack*, GetTrack, (ReaProject* proj, int trackidx))                               \
  /* Older hosts only; current ones answer null. */                                              \
  OPTIONAL(void*, GetMediaTrackInfo, (MediaTrack* tr, const char* parmname))                      \
  OPTIONAL(bool, GetSetMediaTrackInfo_String, (MediaTrack* tr, const char* parmname, char* buf,   \
                                               bool setNewValue))                                 \
  OPTIONAL(void*, GetSetMediaTrackInfo, (MediaTrack* tr, const char* parmname,                    \
                                         void* setNewValue))                                      \
  REQUIRED(bool, AddExtensionsMainMenu, ())                                                       \
  /* Without it a change of project is not noticed. */                                           \
  OPTIONAL(ReaProject*, EnumProjects, (int idx, char* projfnOut, int projfnOut_sz))               \
  /* The extension's own settings, kept by the host across restarts. Fallback: kept in memory   \
     for this session only. */                                                                    \
  FALLBACK(const char*, GetExtState, (const char* section, const char* key))                      \
  FALLBACK(void, SetExtState, (const char* section, const char* key, const char* value,           \
                               bool persist))                                                     \
  FALLBACK(bool, HasExtState, (const char* section, const char* key))                             \
  FALLBACK(void, DeleteExtState, (const char* section, const char* key, bool persist))            \
  /* HostApi::MainWindow falls back to the entry record's main window. */                         \
  OPTIONAL(HWND, GetMainHwnd, ())                                                                 \
  /* Fallback: a new count on every call, so the project reads as changed every time. */          \
  FALLBACK(int, GetProjectStateChangeCount, (ReaProject* proj))
// clang-format on

namespace quorvane::host {

enum class HostFunctionNeed { kRequired, kOptional, kFallback };

// The list as data, for the load's refusal message and for tests that walk every function.
struct HostFunctionInfo {
  const char* name;
  HostFunctionNeed need;
};

#define QUORVANE_HOST_FUNCTION_INFO_(need, ret, name, params) {#name, HostFunctionNeed::need},
#define QUORVANE_HOST_FUNCTION_REQUIRED_(ret, name, params) \
  QUORVANE_HOST_FUNCTION_INFO_(kRequired, ret, name, params)
#define QUORVANE_HOST_FUNCTION_OPTIONAL_(ret, name, params) \
  QUORVANE_HOST_FUNCTION_INFO_(kOptional, ret, name, params)
#define QUORVANE_HOST_FUNCTION_FALLBACK_(ret, name, params) \
  QUORVANE_HOST_FUNCTION_INFO_(kFallback, ret, name, params)
inline constexpr HostFunctionInfo kHostFunctions[] = {
    QUORVANE_HOST_FUNCTIONS(QUORVANE_HOST_FUNCTION_REQUIRED_, QUORVANE_HOST_FUNCTION_OPTIONAL_,
                            QUORVANE_HOST_FUNCTION_FALLBACK_)};
#undef QUORVANE_HOST_FUNCTION_INFO_
#undef QUORVANE_HOST_FUNCTION_REQUIRED_
#undef QUORVANE_HOST_FUNCTION_OPTIONAL_
#undef QUORVANE_HOST_FUNCTION_FALLBACK_

inline constexpr std::size_t kHostFunctionCount = std::size(kHostFunctions);

// A function by its place in the list: HostFunction::GetExtState and so on.
#define QUORVANE_HOST_FUNCTION_ID_(ret, name, params) name,
enum class HostFunction : std::size_t {
  QUORVANE_HOST_FUNCTIONS(QUORVANE_HOST_FUNCTION_ID_, QUORVANE_HOST_FUNCTION_ID_,
                          QUORVANE_HOST_FUNCTION_ID_)
};
#undef QUORVANE_HOST_FUNCTION_ID_

}  // namespace quorvane::host
