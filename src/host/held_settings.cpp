#include "host/held_settings.h"

#include <cmath>

#include "host/host_api.h"

namespace quorvane::host {
namespace {

constexpr uint32_t kHostCountInBit = 8;  // "projmetroen": count-in before playback
constexpr uint32_t kHostPrerollBit = 1;  // "preroll": pre-roll before playback
constexpr int kSmoothSeekOn = 3;

uint32_t BitOf(Holder holder) {
  return 1u << static_cast<unsigned>(holder);
}

// The config variable behind a setting; null for the settings that are not one.
const char* ConfigName(HeldSetting setting) {
  switch (setting) {
    case HeldSetting::kHostCountIn:
      return "projmetroen";
    case HeldSetting::kHostPreroll:
      return "preroll";
    case HeldSetting::kSmoothSeek:
      return "smoothseek";
    case HeldSetting::kPitchShift:
      return "audioprshift";
    case HeldSetting::kRepeat:
    case HeldSetting::kTimeSelection:
    case HeldSetting::kPlayRate:
      break;
  }
  return nullptr;
}

bool IsOne(double rate) {
  return std::fabs(rate - 1.0) < 1e-6;
}

}  // namespace

bool HeldSettings::Read(HeldSetting setting, Value* out) const {
  if (const char* name = ConfigName(setting)) {
    const int* live = host_.ConfigInt(name);
    if (!live) return false;
    out->integer = *live;
    return true;
  }
  switch (setting) {
    case HeldSetting::kRepeat:
      out->integer = host_.IsRepeatOn() ? 1 : 0;
      return true;
    case HeldSetting::kTimeSelection: {
      const TimeRange range = host_.GetTimeSelection();
      out->first = range.start;
      out->second = range.end;
      return true;
    }
    case HeldSetting::kPlayRate:
      // A rate we could not put back is not changed.
      if (!host_.Master_GetPlayRate || !host_.CSurf_OnPlayRateChange) return false;
      out->first = host_.GetPlayRate();
      return true;
    default:
      return false;
  }
}

void HeldSettings::Write(HeldSetting setting, const Value& value) const {
  if (const char* name = ConfigName(setting)) {
    if (int* live = host_.ConfigInt(name)) *live = value.integer;
    return;
  }
  switch (setting) {
    case HeldSetting::kRepeat:
      host_.SetRepeat(value.integer != 0);
      break;
    case HeldSetting::kTimeSelection:
      host_.SetTimeSelection(TimeRange{value.first, value.second});
      break;
    case HeldSetting::kPlayRate:
      host_.SetPlayRate(value.first);
      break;
    default:
      break;
  }
}

bool HeldSettings::Take(Holder holder, HeldSetting setting) {
  Slot& slot = SlotOf(setting);
  if (!slot.remembered) {
    Value user;
    if (!Read(setting, &user)) return false;
    slot.user = user;
    slot.remembered = true;
  }
  slot.holders |= BitOf(holder);
  return true;
}

void HeldSettings::GiveBack(HeldSetting setting) {
  Slot& slot = SlotOf(setting);
  const Slot given = slot;
  slot = Slot{};
  if (given.remembered) Write(setting, given.user);
}

void HeldSettings::Release(Holder holder, HeldSetting setting) {
  Slot& slot = SlotOf(setting);
  if ((slot.holders & BitOf(holder)) == 0) return;
  slot.holders &= ~BitOf(holder);
  if (slot.holders == 0) GiveBack(setting);
}

void HeldSettings::Release(Holder holder) {
  for (size_t n = 0; n < kHeldSettingCount; ++n)
    Release(holder, static_cast<HeldSetting>(n));
}

void HeldSettings::ReleaseAll() {
  for (size_t n = 0; n < kHeldSettingCount; ++n)
    GiveBack(static_cast<HeldSetting>(n));
}

void HeldSettings::ForgetProjectSettings() {
  SlotOf(HeldSetting::kTimeSelection) = Slot{};
  SlotOf(HeldSetting::kPlayRate) = Slot{};
}

bool HeldSettings::TakeRepeat(Holder holder, bool on) {
  if (!Take(holder, HeldSetting::kRepeat)) return false;
  return host_.SetRepeat(on);
}

bool HeldSettings::TakeSmoothSeek(Holder holder, bool atBarLine) {
  if (!Take(holder, HeldSetting::kSmoothSeek)) return false;
  int* live = host_.ConfigInt(ConfigName(HeldSetting::kSmoothSeek));
  if (!live) {
    Release(holder, HeldSetting::kSmoothSeek);
    return false;
  }
  const int users = SlotOf(HeldSetting::kSmoothSeek).user.integer;
  *live = atBarLine ? users | kSmoothSeekOn : users & ~kSmoothSeekOn;
  return true;
}

bool HeldSettings::TakeBitsOff(Holder holder, HeldSetting setting, uint32_t clear) {
  if (!Take(holder, setting)) return false;
  int* live = host_.ConfigInt(ConfigName(setting));
  if (!live) return false;
  *live = static_cast<int>(static_cast<uint32_t>(*live) & ~clear);
  return true;
}

bool HeldSettings::TakeHostCountInOff(Holder holder) {
  return TakeBitsOff(holder, HeldSetting::kHostCountIn, kHostCountInBit);
}

bool HeldSettings::TakeHostPrerollOff(Holder holder) {
  return TakeBitsOff(holder, HeldSetting::kHostPreroll, kHostPrerollBit);
}

bool HeldSettings::TakeTimeSelection(Holder holder, double start, double end) {
  if (!Take(holder, HeldSetting::kTimeSelection)) return false;
  host_.SetTimeSelection(TimeRange{start, end});
  return true;
}

bool HeldSettings::TakePlayRate(Holder holder, double rate) {
  if (!std::isfinite(rate) || rate <= 0.0) return false;
  if (IsOne(rate)) {
    Release(holder, HeldSetting::kPlayRate);
    Release(holder, HeldSetting::kPitchShift);
    // Normal speed is what was asked for, also when the user's own rate was another.
    if (SlotOf(HeldSetting::kPlayRate).holders == 0 && !IsOne(host_.GetPlayRate())) {
      host_.SetPlayRate(1.0);
    }
    return true;
  }
  // The pitch mode first: without it a slower song would also sound lower.
  if (!Take(holder, HeldSetting::kPitchShift)) return false;
  int* pitch = host_.ConfigInt(ConfigName(HeldSetting::kPitchShift));
  if (!pitch || !Take(holder, HeldSetting::kPlayRate)) {
    Release(holder, HeldSetting::kPitchShift);
    return false;
  }
  if (*pitch == 0) *pitch = 1;
  host_.SetPlayRate(rate);
  return true;
}

}  // namespace quorvane::host
