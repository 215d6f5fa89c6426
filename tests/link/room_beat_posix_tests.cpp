// The room's beat as another Link app in the room sees it: a second Link session in the same
// namespace (the room's peer) watches the core play a show on virtual time. The host's position and
// Link's clock belong to different clocks here, so every check is made from one tick: Link's clock
// is read just before and just after the tick (the core sampled the host's position somewhere in
// between), and the song's next bar line, as the host's tempo map places it, must come on the
// peer's phase 0 within a millisecond of that window, at the song's tempo. Linux only: under Wine,
// Link's discovery inside a namespace is one-sided.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "link/link_session.h"
#include "link/link_stage.h"
#include "show/setlist.h"
#include "sim/tempo_map.h"

namespace quorvane::link_tests {
namespace {

using namespace std::chrono_literals;
using link::Micros;

// A song in 4/4 that speeds up from 120 to 150 bpm at its fifth bar, chained into one in 6/8 at
// 100 quarter notes per minute (200 eighths).
const std::vector<sim::TempoPoint> kTempoMap = {
    {0.0, 120.0, 4, 4}, {8.0, 150.0, 4, 4}, {14.4, 100.0, 6, 8}};
constexpr double kOpenerEnd = 14.4;
constexpr double kSixEightEnd = 21.6;

// One timer tick of the host, with Link's clock read around it.
struct Sample {
  double position = 0.0;  // where the host plays after the tick
  Micros from{0};         // Link's clock just before the tick
  Micros to{0};           // and just after it
};

class RoomBeat : public ::testing::Test {
 protected:
  void SetUp() override {
    stage.host.SetTempoMap(kTempoMap);
    stage.host.AddRegion(1, "Opener", 0.0, kOpenerEnd);
    stage.host.AddRegion(2, "Six Eight", kOpenerEnd, kSixEightEnd);
    show::Setlist& setlist = stage.core->Setlist();
    setlist.Append(show::SetlistItem::Song(1));
    setlist.Append(show::SetlistItem::Song(2, true));
    setlist.MakeCurrent(0);
    peer.Join();
  }

  // The core on the network (the option on) and the peer and the core each seeing the other.
  void Meet() {
    ASSERT_TRUE(stage.Command(R"({"cmd":"OPTIONS_LINK","enabled":true})").applied);
    ASSERT_TRUE(WaitFor([&] { return peer.Peers() >= 1 && stage.core->Link().Peers() >= 1; }, 10s))
        << "the two sessions never found each other on loopback";
  }

  Sample Tick(int64_t ms = 33) {
    stage.host.Advance(ms);
    Sample sample;
    sample.from = peer.Now();
    stage.core->Tick();
    sample.to = peer.Now();
    sample.position = stage.host.PlayPosition();
    return sample;
  }

  // The peer's session right after `sample`: the song's tempo there, and the song's next bar line
  // on phase 0 of its beats per bar. Link's own threads bring the core's lead to the peer, so the
  // peer is asked again for up to a second.
  void ExpectTheRoomOnTheSongsBeat(const Sample& sample) {
    const sim::TempoMap map(kTempoMap);
    const double quantum = map.PointAt(sample.position).numerator;
    const double bpm = map.DividedBpmAt(sample.position);
    const Micros toBar{
        std::llround((map.NextBarLineAfter(sample.position) - sample.position) * 1e6)};
    const Micros earliest = sample.from + toBar - 1ms;
    const Micros latest = sample.to + toBar + 1ms;
    link::SessionBeat seen;
    Micros barLine{0};
    const bool agreed = WaitFor(
        [&] {
          seen = peer.BeatAt(sample.from + toBar, quantum);
          double barBeat = seen.beat - seen.phase;
          if (seen.phase > quantum / 2) barBeat += quantum;
          barLine = peer.TimeAtBeat(barBeat, quantum);
          return std::abs(seen.bpm - bpm) <= 1e-5 * bpm && barLine >= earliest && barLine <= latest;
        },
        1s);
    EXPECT_TRUE(agreed) << "at " << sample.position << " s the room's tempo is " << seen.bpm
                        << " (the song's " << bpm << "), its bar line "
                        << (barLine - sample.from - toBar).count()
                        << " us after the host's (window " << (sample.to - sample.from).count()
                        << " us)";
  }

  // The peer's tempo as a quantum-free reading (tempo does not depend on it).
  double RoomTempo() const { return peer.BeatAt(peer.Now(), 4.0).bpm; }
  // The peer sets the room's tempo itself, as a drummer's app would.
  void PeerLeads(double bpm) { peer.Lead(bpm, 0.0, peer.Now(), 4.0); }

  LinkStage stage;
  link::LinkSession peer;
};

TEST_F(RoomBeat, FollowsTheSongsTempoAndBarsAcrossATempoChangeAndAChainInto68) {
  Meet();
  ASSERT_TRUE(stage.core->Operations().StartShow());
  const sim::TempoMap map(kTempoMap);
  int checkedAt120 = 0, checkedAt150 = 0, checkedIn68 = 0;
  double lastBar = -1.0;
  for (int tick = 0; tick < 1000; ++tick) {
    const Sample sample = Tick();
    if (sample.position >= kSixEightEnd - 0.5 || !stage.core->Engine().Player().Playing()) break;
    // Every new bar and every fifth tick between.
    const double bar = map.NextBarLineAfter(sample.position);
    if (bar == lastBar && tick % 5 != 0) continue;
    lastBar = bar;
    ExpectTheRoomOnTheSongsBeat(sample);
    if (sample.position < 8.0) {
      ++checkedAt120;
    } else if (sample.position < kOpenerEnd) {
      ++checkedAt150;
    } else {
      ++checkedIn68;
    }
    if (HasFailure()) break;
  }
  EXPECT_GE(checkedAt120, 5);
  EXPECT_GE(checkedAt150, 5);
  EXPECT_GE(checkedIn68, 5) << "the chain into the 6/8 song was played";
  EXPECT_NEAR(RoomTempo(), 200.0, 1e-3) << "eighths per minute in 6/8";
}

TEST_F(RoomBeat, NothingIsPublishedWhileStoppedInPractiseOrOnAFollowingRig) {
  Meet();
  const auto roomKeeps = [&](double bpm) {
    // Long enough for a lead of the core to reach the peer.
    std::this_thread::sleep_for(100ms);
    return std::abs(RoomTempo() - bpm) < 1e-3;
  };
  PeerLeads(90.0);
  stage.Run(1000);
  EXPECT_TRUE(roomKeeps(90.0)) << "stopped";

  ASSERT_TRUE(stage.core->Practise().SelectPractiseSong(1));
  ASSERT_TRUE(stage.core->Operations().StartPractise().applied);
  stage.Run(3000);
  EXPECT_TRUE(stage.host.Transport() == sim::TransportState::kPlaying);
  EXPECT_TRUE(roomKeeps(90.0)) << "in practise";
  stage.core->Operations().StopPractise();

  // A song of the show leads the room, and leads it back when another peer moves it.
  ASSERT_TRUE(stage.core->Operations().StartShow());
  stage.Run(200);
  EXPECT_TRUE(WaitFor([&] { return std::abs(RoomTempo() - 120.0) < 1e-3; }, 1s));
  PeerLeads(90.0);
  stage.Run(100);
  EXPECT_TRUE(WaitFor([&] { return std::abs(RoomTempo() - 120.0) < 1e-3; }, 1s))
      << "the room's beat stays the song's while it plays";
  EXPECT_EQ(stage.core->Host().TimeMap_GetDividedBpmAtTime(1.0), 120.0)
      << "the session's tempo never goes into the project";

  // A backup following the main joins the room but leaves the beat to the main.
  stage.core->Ui().rig.role = "backup";
  stage.core->Ui().rig.leading = false;
  PeerLeads(90.0);
  stage.Run(1000);
  EXPECT_TRUE(stage.core->Engine().Player().Playing());
  EXPECT_TRUE(roomKeeps(90.0)) << "following";

  stage.core->Operations().Stop();
  stage.core->Ui().rig = {};
  stage.Run(500);
  EXPECT_TRUE(roomKeeps(90.0)) << "stopped again";
}

TEST_F(RoomBeat, TheRoomNeverSeesASingleRigWithoutTheOption) {
  ASSERT_TRUE(stage.core->Operations().StartShow());
  stage.Run(1500);
  std::this_thread::sleep_for(1500ms);  // several of Link's announcements
  EXPECT_EQ(peer.Peers(), 0u);
  EXPECT_FALSE(stage.core->Link().Joined());
  EXPECT_NEAR(RoomTempo(), 120.0, 1e-3) << "the peer's own starting tempo";

  // The same peer finds it at once when the option is on: the silence above was the option's.
  Meet();
}

}  // namespace
}  // namespace quorvane::link_tests
