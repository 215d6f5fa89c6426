// When the room's beat is led again: at once for a new tempo, a new bar length or a bar phase off
// by more than a millisecond; a smaller drift only a few times a second; never for a session that
// already carries the song's beat.
#include <gtest/gtest.h>

#include "core/room_beat.h"

namespace quorvane::core {
namespace {

using link::Micros;
using link::SessionBeat;

constexpr Micros kJustLed{10'000};
constexpr Micros kLongAgo{1'000'000};

// The song in 4/4 at 120: half a second a beat; the session as far off as `offSeconds`.
SessionBeat SessionOff(double offSeconds, double bpm = 120.0) {
  const double phase = 1.5 + offSeconds * 2.0;
  return {bpm, 41.5 + offSeconds * 2.0, phase < 0 ? phase + 4.0 : phase};
}
constexpr SongBeat kSong{120.0, 4.0, 1.5};

TEST(LeadRule, LeadsAtOnceForATempoABarLengthOrAPhaseAMillisecondOff) {
  EXPECT_FALSE(LeadRule::NeedsLead(SessionOff(0.0), kSong, 4.0, kJustLed));
  EXPECT_FALSE(LeadRule::NeedsLead(SessionOff(0.0), kSong, 4.0, kLongAgo))
      << "a session on the song's beat is left alone";
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(0.0, 121.0), kSong, 4.0, kJustLed)) << "tempo";
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(0.0), SongBeat{120.0, 6.0, 1.5}, 4.0, kJustLed))
      << "a new time signature";
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(0.0), kSong, 0.0, kJustLed)) << "a song's first tick";
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(0.0015), kSong, 4.0, kJustLed)) << "ahead";
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(-0.0015), kSong, 4.0, kJustLed)) << "behind";
}

TEST(LeadRule, TrimsASmallDriftOnlyAFewTimesASecond) {
  EXPECT_FALSE(LeadRule::NeedsLead(SessionOff(0.0005), kSong, 4.0, kJustLed));
  EXPECT_TRUE(LeadRule::NeedsLead(SessionOff(0.0005), kSong, 4.0, kLongAgo));
  EXPECT_FALSE(LeadRule::NeedsLead(SessionOff(0.00001), kSong, 4.0, kLongAgo)) << "noise";
}

TEST(LeadRule, MeasuresThePhaseAcrossTheBarLine) {
  // The song just past its bar line, the session just before it: a millisecond apart, not a bar.
  const SongBeat onTheBar{120.0, 4.0, 0.0005};
  const SessionBeat justBefore{120.0, 43.9995, 3.9995};
  EXPECT_NEAR(PhaseErrorSeconds(justBefore, onTheBar), -0.0005, 1e-9);
  EXPECT_FALSE(LeadRule::NeedsLead(justBefore, onTheBar, 4.0, kJustLed));
}

}  // namespace
}  // namespace quorvane::core
