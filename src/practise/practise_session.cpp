#include "practise/practise_session.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "practise/count_in_player.h"

namespace quorvane::practise {
namespace {

constexpr host::Holder kRun = host::Holder::kPractiseRun;
constexpr host::Holder kRate = host::Holder::kPractiseRate;
constexpr double kRateSnapTolerance = 0.001;
constexpr double kMarkerLookAhead = 0.0005;
constexpr const char* kNoTempoMessage =
    "Could not determine the BPM at the selected start position.";

bool IsPrecountValue(int32_t beats) {
  return beats == 0 || beats == 4 || beats == 8;
}

// The marker at `choice` when it names one of the song's markers, else `edge`.
double ChoicePosition(const std::vector<host::ProjectMarker>& markers, int32_t choice,
                      double edge) {
  if (choice >= 0 && static_cast<size_t>(choice) < markers.size()) {
    return markers[static_cast<size_t>(choice)].position;
  }
  return edge;
}

// The section of a song between two choices as the host has it now (the transport goes there);
// false when the song is gone or the section empty.
bool SectionNow(const host::HostApi& host, int32_t song, int32_t startChoice, int32_t stopChoice,
                double* start, double* stop) {
  host::ProjectRegion region;
  std::vector<host::ProjectMarker> markers;
  if (!host.FindRegionNow(song, &region, &markers)) return false;
  *start = ChoicePosition(markers, startChoice, region.start);
  *stop = ChoicePosition(markers, stopChoice, region.end);
  return *start < *stop;
}

// Milliseconds of `beats` beats at `bpm` x `rate`, halves away from zero.
uint64_t CountInMilliseconds(int32_t beats, double bpm, double rate) {
  const double ms = std::round(beats * 60.0 / (bpm * rate) * 1000.0);
  // PlayCountIn has already refused tempos whose beats would not fit here.
  if (!(ms > 0.0)) return 0;
  constexpr double kLimit = 9.0e18;
  return ms < kLimit ? static_cast<uint64_t>(ms) : static_cast<uint64_t>(kLimit);
}

}  // namespace

PractiseSession::PractiseSession(host::HostApi& host, host::HeldSettings& held,
                                 const platform::Clock& clock, CountInPlayer* countIn)
    : host_(host), held_(held), clock_(clock), countIn_(countIn) {}

host::Outcome PractiseSession::StartPractise() {
  if (run_.active) return host::Outcome::Refused();
  const PractiseSelection& selection = selection_;
  if (selection.songRegionId < 0) return host::Outcome::Refused();
  double start = 0.0;
  double stop = 0.0;
  if (!SectionNow(host_, selection.songRegionId, selection.startChoice, selection.stopChoice,
                  &start, &stop)) {
    return host::Outcome::Refused();
  }

  const double tempo = host_.TimeMap_GetDividedBpmAtTime(start);
  if (!(tempo > 0.0)) return host::Outcome::Failed(kNoTempoMessage);
  const double rate = selection.playbackRate;
  if (!std::isfinite(tempo) || !std::isfinite(rate) || !(rate > 0.0) ||
      !IsPrecountValue(selection.preCountBeats)) {
    return host::Outcome::Refused();
  }
  BeginRun(start, stop, tempo, rate);
  return run_.active ? host::Outcome::Applied() : host::Outcome::Refused();
}

void PractiseSession::BeginRun(double start, double stop, double tempo, double rate) {
  const PractiseSelection& selection = selection_;
  run_.sectionStart = start;
  run_.sectionEnd = stop;
  run_.songRegionId = selection.songRegionId;
  run_.startChoice = selection.startChoice;
  run_.stopChoice = selection.stopChoice;
  run_.sectionBpm = tempo;
  run_.sectionRate = rate;

  if (!ApplyPractiseTransport()) {
    RestorePractiseHostSettings();
    return;
  }
  if (!host_.SeekTo(run_.sectionStart)) {
    RestorePractiseHostSettings();
    return;
  }
  run_.active = true;
  run_.sectionPrecount = selection.preCountBeats;

  if (run_.sectionPrecount != 0) {
    // The click sounds at the tempo the section will be heard at.
    const double clickBpm = run_.sectionBpm * run_.sectionRate;
    if (countIn_ && countIn_->PlayCountIn(clickBpm, run_.sectionPrecount)) {
      run_.countingIn = true;
      run_.playing = false;
      run_.countInDeadline =
          clock_.MillisecondsSinceStart() +
          CountInMilliseconds(run_.sectionPrecount, run_.sectionBpm, run_.sectionRate);
    } else {
      // No section plays without the click it was asked for.
      ResetPractise();
    }
    return;
  }
  host_.OnPlayButton();
  run_.countingIn = false;
  run_.playing = true;
}

bool PractiseSession::ApplyPractiseTransport() {
  if (run_.loopActive) {
    // The host's repeat over the time selection loops the section.
    if (!(run_.sectionStart < run_.sectionEnd)) return false;
    held_.TakeTimeSelection(kRun, run_.sectionStart, run_.sectionEnd);
    if (!held_.TakeRepeat(kRun, true)) return false;
  } else {
    held_.TakeRepeat(kRun, false);
  }
  // Only our click may sound before the section: the host's own count-in and pre-roll go off.
  held_.TakeHostCountInOff(kRun);
  held_.TakeHostPrerollOff(kRun);
  return true;
}

void PractiseSession::RestorePractiseHostSettings() {
  held_.Release(kRun);
}

void PractiseSession::ResetPractise() {
  if (countIn_) countIn_->StopCountIn();
  run_.active = false;
  run_.countingIn = false;
  run_.playing = false;
  RestorePractiseHostSettings();
}

void PractiseSession::StopPractise() {
  if (run_.playing) host_.OnStopButton();
  if (run_.active || run_.countingIn) ResetPractise();
}

void PractiseSession::PractiseTick() {
  if (!run_.active) return;
  if (run_.countingIn) {
    if (clock_.MillisecondsSinceStart() < run_.countInDeadline) return;
    // The click file and source stay loaded until the next start or unload.
    if (countIn_) countIn_->StopCountIn();
    // The song may have moved while the click sounded.
    double start = 0.0;
    double stop = 0.0;
    if (!SectionNow(host_, run_.songRegionId, run_.startChoice, run_.stopChoice, &start, &stop)) {
      ResetPractise();
      return;
    }
    if (run_.loopActive && (start != run_.sectionStart || stop != run_.sectionEnd)) {
      held_.TakeTimeSelection(kRun, start, stop);
    }
    run_.sectionStart = start;
    run_.sectionEnd = stop;
    host_.SeekTo(run_.sectionStart);
    host_.OnPlayButton();
    run_.countingIn = false;
    run_.playing = true;
    return;
  }
  // With loop the host's repeat over the time selection keeps the section going until STOP.
  if (run_.playing && !run_.loopActive) {
    if (host_.GetPlayPositionSafe() >= run_.sectionEnd) {
      host_.OnStopButton();
      ResetPractise();
    }
  }
}

bool PractiseSession::SelectPractiseSong(int32_t regionId) {
  for (const host::ProjectRegion& region : host_.EnumerateRegions()) {
    if (region.regionId != regionId) continue;
    selection_.songRegionId = regionId;
    selection_.startChoice = -2;
    selection_.stopChoice = -1;
    listeners_.Tell([](PractiseListener& views) { views.SongSelected(); });
    return true;
  }
  return false;
}

bool PractiseSession::SetPractiseStartChoice(int32_t choice) {
  if (choice < -2) return false;
  selection_.startChoice = choice;
  // Stored all the same; false when a view has no entry carrying it.
  return listeners_.All(
      [choice](PractiseListener& views) { return views.StartChoiceSelected(choice); });
}

bool PractiseSession::SetPractiseStopChoice(int32_t choice) {
  if (choice < -1) return false;
  selection_.stopChoice = choice;
  return listeners_.All(
      [choice](PractiseListener& views) { return views.StopChoiceSelected(choice); });
}

void PractiseSession::SetPractisePrecount(int32_t beats) {
  if (!IsPrecountValue(beats)) return;
  selection_.preCountBeats = beats;
  listeners_.Tell([beats](PractiseListener& views) { views.PrecountChanged(beats); });
}

bool PractiseSession::SetPractiseRate(double rate) {
  size_t best = 0;
  double bestDistance = std::fabs(rate - kPlaybackRateTable[0]);
  for (size_t i = 1; i < kPlaybackRateTable.size(); ++i) {
    const double distance = std::fabs(rate - kPlaybackRateTable[i]);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  // Written so that a rate that is not a number is refused too.
  if (!(bestDistance <= kRateSnapTolerance)) return false;
  selection_.playbackRate = kPlaybackRateTable[best];
  listeners_.Tell([best](PractiseListener& views) { views.RateSelected(static_cast<int>(best)); });
  held_.TakePlayRate(kRate, selection_.playbackRate);
  return true;
}

void PractiseSession::SelectPractiseRateIndex(int32_t index) {
  if (index >= 0 && static_cast<size_t>(index) < kPlaybackRateTable.size()) {
    selection_.playbackRate = kPlaybackRateTable[static_cast<size_t>(index)];
  }
  held_.TakePlayRate(kRate, selection_.playbackRate);
}

int32_t PractiseSession::CurrentPractiseMarker() const {
  if (!run_.playing) return -1;
  host::ProjectRegion region;
  if (!host_.FindRegion(selection_.songRegionId, &region)) return -1;
  const double position = host_.GetPlayPositionSafe() + kMarkerLookAhead;
  int32_t current = -1;
  int32_t index = 0;
  for (const host::ProjectMarker& marker : host_.EnumerateMarkersInRegion(region)) {
    if (marker.position > position) break;
    current = index++;
  }
  return current;
}

void PractiseSession::OnLoopToggled() {
  run_.loopActive = selection_.loopEnabled;
}

void PractiseSession::EnterPractisePage() {
  const std::vector<host::ProjectRegion> regions = host_.EnumerateRegions();
  PractiseSelection& selection = selection_;
  selection.songRegionId = regions.empty() ? -1 : regions.front().regionId;
  selection.startChoice = -2;
  selection.stopChoice = -1;
  selection.preCountBeats = 0;
  selection.loopEnabled = false;
  run_.loopActive = false;
  listeners_.Tell([](PractiseListener& views) {
    views.PrecountChanged(0);
    views.LoopChanged(false);
  });
}

void PractiseSession::EnterSoundCheckPage() {
  const std::vector<host::ProjectRegion> regions = host_.EnumerateRegions();
  bool songPresent = false;
  for (const host::ProjectRegion& region : regions) {
    if (region.regionId == selection_.songRegionId) songPresent = true;
  }
  if (!songPresent && !regions.empty()) selection_.songRegionId = regions.front().regionId;
  ResetRateToNormal();
}

void PractiseSession::ResetRateToNormal() {
  selection_.playbackRate = 1.0;
  held_.TakePlayRate(kRate, 1.0);  // the user's rate and pitch mode go back
}

}  // namespace quorvane::practise
