// The host's transport and tempo-map functions in the simulator.
#include <cmath>

#include "sim/sim_functions.h"

namespace quorvane::sim::hostfn_impl {

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
  if (command_id == kRepeatToggleCommand) return s->repeat ? 1 : 0;
  // An extension's toggle answers for its own actions, as the host asks it.
  const std::vector<ToggleActionCallback> hooks = s->toggleHooks;
  for (ToggleActionCallback hook : hooks) {
    if (const int state = hook(command_id); state >= 0) return state;
  }
  return -1;
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

}  // namespace quorvane::sim::hostfn_impl
