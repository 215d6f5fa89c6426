// The one owner of the host settings the extension changes for a while: the repeat toggle, smooth
// seek, the pitch-shift mode, the host's own count-in and pre-roll, the time selection and the play
// rate. A feature takes a setting as a holder; the first take remembers the user's value, later
// takes (by the same holder or another) only set what they want and never overwrite what was
// remembered. The user's value goes back when the last holder releases the setting, and every
// setting goes back at unload. A setting the host cannot read is never changed. Main thread only,
// like every host call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvane::host {

class HostApi;

// In the order a holder's settings are given back.
enum class HeldSetting : uint8_t {
  kHostCountIn,    // "projmetroen": the host's count-in before playback
  kHostPreroll,    // "preroll": the host's pre-roll before playback
  kSmoothSeek,     // "smoothseek"
  kRepeat,         // the repeat toggle (command 1068)
  kTimeSelection,  // the current project's time selection
  kPlayRate,       // the current project's master play rate
  kPitchShift,     // "audioprshift": pitch kept while the rate is not 1
};
inline constexpr size_t kHeldSettingCount = 7;

// Who holds a setting. A setting stays changed while any of its holders holds it.
enum class Holder : uint8_t {
  kSongPlayer,    // the show's songs: repeat off, no time selection, smooth seek for a chain
  kPractiseRun,   // a practise run: repeat and time selection for its loop, no host count-in
  kPractiseRate,  // the practise rate chosen, with the pitch kept
  kLiveSection,   // live control in a song: repeat and time selection for a vamp, smooth seek for
                  // a jump
  kRigFollow,     // a backup rig following the main: the rate trimmed against drift, seeks at once
};

class HeldSettings {
 public:
  explicit HeldSettings(HostApi& host) : host_(host) {}
  HeldSettings(const HeldSettings&) = delete;
  HeldSettings& operator=(const HeldSettings&) = delete;

  // Each Take is false, with nothing changed and nothing held, when the host cannot read the
  // setting (or cannot write the value wanted, where that is said).

  // Repeat on or off; false too when the toggle does not end up as wanted.
  bool TakeRepeat(Holder holder, bool on);
  // Smooth seek with the user's value OR 3: a seek while playing waits for the next bar line.
  // With `atBarLine` false, smooth seek off instead: a seek while playing happens at once.
  bool TakeSmoothSeek(Holder holder, bool atBarLine = true);
  // The host's own count-in and pre-roll off (their bits cleared), so only our click sounds.
  bool TakeHostCountInOff(Holder holder);
  bool TakeHostPrerollOff(Holder holder);
  // The time selection set to start .. end (0 .. 0 clears it).
  bool TakeTimeSelection(Holder holder, double start, double end);
  // The play rate with the pitch kept (a pitch-shift mode of 0 becomes 1). A rate within a
  // millionth of 1 is normal speed: the holder gives the rate and the pitch mode back, and the
  // host then plays at 1.0 unless another holder still holds a rate (a show goes live at normal
  // speed, whatever rate the user had before). False for a rate that is not finite and positive.
  bool TakePlayRate(Holder holder, double rate);

  // The holder lets go of `setting`; the user's value goes back when no one else holds it.
  // Harmless when the holder does not hold it.
  void Release(Holder holder, HeldSetting setting);
  // The same for every setting the holder holds.
  void Release(Holder holder);
  // Every setting goes back to the user's value, whoever holds it (unload).
  void ReleaseAll();
  // Another project is current: the time selection and the play rate remembered belong to the
  // project left, so they are forgotten instead of being written into this one.
  void ForgetProjectSettings();

 private:
  // A setting's value as the host has it; each setting uses its own fields.
  struct Value {
    int integer = 0;      // the repeat toggle (0 or 1) and the config variables
    double first = 0.0;   // the play rate; the time selection's start
    double second = 0.0;  // the time selection's end
  };
  struct Slot {
    uint32_t holders = 0;  // one bit per Holder
    bool remembered = false;
    Value user;
  };

  // Remembers the user's value on the first take and adds the holder; false when unreadable.
  bool Take(Holder holder, HeldSetting setting);
  // Writes the user's value back (when one is remembered) and forgets it.
  void GiveBack(HeldSetting setting);
  bool Read(HeldSetting setting, Value* out) const;
  void Write(HeldSetting setting, const Value& value) const;
  // Takes a config variable and writes it with `clear` bits cleared.
  bool TakeBitsOff(Holder holder, HeldSetting setting, uint32_t clear);

  Slot& SlotOf(HeldSetting setting) { return slots_[static_cast<size_t>(setting)]; }

  HostApi& host_;
  std::array<Slot, kHeldSettingCount> slots_{};
};

}  // namespace quorvane::host
