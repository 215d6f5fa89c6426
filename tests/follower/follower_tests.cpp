// A backup rig following a main: the main's samples as a main sends them, the backup's transport
// on the main's through starts, jumps, stops, songs, a vamp and minutes of clock drift, its show
// mirrored from the main's state documents, and the failover when the main goes quiet.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <variant>

#include "follower/follower_stage.h"
#include "show/setlist.h"

namespace quorvane::rig::test {
namespace {

using nlohmann::json;

// The main's state document with what a backup reads of it.
struct MainDocument {
  std::string status = "LIVE";
  double elapsed = 0.0;
  int current = 0;
  json setlist = json::array();
  bool vamp = false;
  int queuedSection = -1;
  double queuedAt = 0.0;

  MainDocument& Song(int region, bool autoStart = false, bool played = false,
                     const std::string& note = "") {
    setlist.push_back({{"index", setlist.size()},
                       {"regionId", region},
                       {"pause", false},
                       {"autoStart", autoStart},
                       {"played", played},
                       {"note", note}});
    return *this;
  }
  MainDocument& Pause() {
    setlist.push_back({{"index", setlist.size()},
                       {"regionId", -1},
                       {"pause", true},
                       {"autoStart", false},
                       {"played", false},
                       {"note", ""}});
    return *this;
  }
  MainState State() const {
    json document = {{"type", "STATE"},
                     {"showStatus", status},
                     {"showElapsed", elapsed},
                     {"currentIndex", current},
                     {"setlist", setlist},
                     {"vamp", vamp},
                     {"queuedSection", queuedSection},
                     {"queuedAt", queuedAt}};
    return MainState{document.dump()};
  }
};

class FollowerTest : public FollowerStage {
 protected:
  // What the backup's own clients see.
  json BackupDocument() { return json::parse(core.StateDocument()); }
  double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
  }
};

TEST_F(FollowerTest, MainSendsItsTransportAgainstTheSharedBeatEveryTickPlayingOrNot) {
  core.Setlist().Append(show::SetlistItem::Song(1));
  core.Setlist().MakeCurrent(0);
  std::unique_ptr<Follower> follower = MakeFollower(Role::kMain);
  CollectingBackups backups;
  const auto tick = [&] {
    host.Advance(kTickMs);
    core.Tick();
    follower->Tick(&backups, nullptr);
  };
  for (int i = 0; i < 4; ++i)
    tick();  // stopped: still one a tick, the backups' heartbeat
  ASSERT_TRUE(core.Engine().PlayCurrent());
  for (int i = 0; i < 4; ++i)
    tick();
  ASSERT_EQ(backups.sent.size(), 8u);
  for (std::size_t i = 0; i < backups.sent.size(); ++i) {
    const auto* sample = std::get_if<TimelineSample>(&backups.sent[i]);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->sequence, i + 1);
    EXPECT_EQ(sample->playing, i >= 4);
    EXPECT_EQ(sample->regionId, i >= 4 ? 1 : -1);
  }
  const auto& last = std::get<TimelineSample>(backups.sent.back());
  EXPECT_DOUBLE_EQ(last.position, host.PlayPosition());
  EXPECT_DOUBLE_EQ(last.linkBeat, timeline.BeatAt(timeline.Now()));

  // A main that follows its leading backup (it came back after the backup took over), and a
  // single rig, send nothing; its pages say the show is on the backup.
  follower->FollowTheOther();
  EXPECT_FALSE(core.Ui().rig.leading);
  EXPECT_TRUE(core.Ui().rig.onBackupRig);
  tick();
  std::unique_ptr<Follower> single = MakeFollower(Role::kSingle);
  single->Tick(&backups, nullptr);
  EXPECT_EQ(backups.sent.size(), 8u);
  // Handed the lead back, it leads and sends again.
  follower->TakeTheLead();
  EXPECT_TRUE(core.Ui().rig.leading);
  EXPECT_FALSE(core.Ui().rig.onBackupRig);
  tick();
  EXPECT_EQ(backups.sent.size(), 9u);
}

TEST_F(FollowerTest, BackupPlaysWhereTheMainPlaysThroughStartsJumpsStopsAndSongs) {
  host.SetStartLatency(5, 40, 7);
  core.Setlist().Append(show::SetlistItem::Song(1));
  core.Setlist().Append(show::SetlistItem::Song(2));
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  RunAndMeasure(*follower, 300);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 0);  // the main stands still: so does the backup

  main.Play(1, 0.0, NowUs());
  EXPECT_LT(RunAndMeasure(*follower, 3000, 700), 0.002);
  EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);
  EXPECT_GT(follower->StartLatency(), 0.004);
  EXPECT_LT(follower->StartLatency(), 0.041);
  EXPECT_EQ(BackupDocument()["currentIndex"], 0);

  main.Seek(8.5, NowUs());  // a jump to the chorus
  EXPECT_LT(RunAndMeasure(*follower, 1000, 200), 0.002);

  main.Stop(NowUs());
  RunAndMeasure(*follower, 200);
  EXPECT_EQ(host.Transport(), sim::TransportState::kStopped);

  main.Play(2, 20.0, NowUs());  // the next song, with a start latency learnt on the first
  EXPECT_LT(RunAndMeasure(*follower, 3000, 700), 0.002);
  EXPECT_GE(host.PlayPosition(), 22.0);
  EXPECT_EQ(BackupDocument()["currentIndex"], 1);
}

TEST_F(FollowerTest, ADriftingBackupStaysOnTheMainForMinutesWithTinyRateTrims) {
  host.SetClockSkewPpm(150.0);
  host.SetStartLatency(5, 40, 11);
  main.SetSkewPpm(-20.0);
  core.Setlist().Append(show::SetlistItem::Song(3));
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  main.Play(3, 40.0, NowUs());
  RunAndMeasure(*follower, 2000);
  const int seeksAfterStart = static_cast<int>(host.CallsTo("SetEditCurPos").size());
  std::vector<double> errors;
  RunAndMeasure(*follower, 5 * 60 * 1000, 0, &errors);
  EXPECT_LT(Percentile(errors, 0.5), 0.0005);
  EXPECT_LT(Percentile(errors, 0.99), 0.002);
  // Drift is trimmed, not seeked: no seek after the start, every rate within 0.2% of normal, and
  // the pitch kept while the rate is off.
  EXPECT_EQ(static_cast<int>(host.CallsTo("SetEditCurPos").size()), seeksAfterStart);
  const std::vector<sim::HostCall> rates = host.CallsTo("CSurf_OnPlayRateChange");
  ASSERT_FALSE(rates.empty());
  for (const sim::HostCall& rate : rates) {
    EXPECT_GE(rate.time, 0.998);
    EXPECT_LE(rate.time, 1.002);
  }
  EXPECT_NEAR(host.PlayRate(), 1.0 - 0.00017, 0.00003);
  EXPECT_NE(host.ConfigVar("audioprshift"), 0);
}

TEST_F(FollowerTest, BackupMirrorsTheMainsShowWithoutMovingItsTransport) {
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  MainDocument shown;
  shown.elapsed = 75.0;
  shown.current = 2;
  shown.Song(1, false, true, "capo 2").Pause().Song(2).Song(3, true);
  follower->OnMainMessage(shown.State());
  core.Tick();
  json backup = BackupDocument();
  EXPECT_EQ(backup["showStatus"], "LIVE");
  EXPECT_NEAR(backup["showElapsed"].get<double>(), 75.0, 0.1);
  EXPECT_EQ(backup["currentIndex"], 2);
  ASSERT_EQ(backup["setlist"].size(), 4u);
  EXPECT_EQ(backup["setlist"][0]["note"], "capo 2");
  EXPECT_EQ(backup["setlist"][0]["played"], true);
  EXPECT_EQ(backup["setlist"][1]["pause"], true);
  EXPECT_EQ(backup["setlist"][3]["autoStart"], true);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 0);
  EXPECT_EQ(host.CountCalls("SetEditCurPos"), 0);

  // The clock runs on here; a document a moment late does not move it.
  host.Advance(10'000);
  shown.elapsed = 85.02;
  follower->OnMainMessage(shown.State());
  core.Tick();
  EXPECT_NEAR(BackupDocument()["showElapsed"].get<double>(), 85.0, 0.01);

  // The setlist edited on the main: the pause removed, a song played.
  MainDocument edited;
  edited.elapsed = 90.0;
  edited.current = 1;
  edited.Song(1, false, true, "capo 2").Song(2, false, true).Song(3, true);
  follower->OnMainMessage(edited.State());
  // What is no state document changes nothing.
  follower->OnMainMessage(MainState{"not json"});
  follower->OnMainMessage(MainState{R"({"type":"PATCH","setlist":[]})"});
  core.Tick();
  backup = BackupDocument();
  ASSERT_EQ(backup["setlist"].size(), 3u);
  EXPECT_EQ(backup["setlist"][1]["regionId"], 2);
  EXPECT_EQ(backup["setlist"][1]["played"], true);
  EXPECT_EQ(backup["currentIndex"], 1);

  // A backup started long after the show (its host restarted mid-show) shows the main's clock.
  edited.elapsed = 12'000.0;
  follower->OnMainMessage(edited.State());
  core.Tick();
  EXPECT_NEAR(BackupDocument()["showElapsed"].get<double>(), 12'000.0, 0.1);

  edited.status = "FINISHED";
  follower->OnMainMessage(edited.State());
  core.Tick();
  EXPECT_EQ(BackupDocument()["showStatus"], "FINISHED");
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 0);
}

TEST_F(FollowerTest, BackupLoopsTheMainsVampAndKeepsItWhenTheMainDies) {
  core.Setlist().Append(show::SetlistItem::Song(1));
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  MainDocument document;
  document.Song(1);
  follower->OnMainMessage(document.State());
  main.Play(1, 8.0, NowUs());
  RunAndMeasure(*follower, 1500);
  // The main vamps the chorus (8 .. 12): its host loops, and so does the backup's.
  document.vamp = true;
  follower->OnMainMessage(document.State());
  std::vector<double> errors;
  for (int tick = 0; tick < 600; ++tick) {
    if (main.PositionAt(NowUs()) >= 12.0)
      main.Seek(8.0 + (main.PositionAt(NowUs()) - 12.0), NowUs());
    TickBackup(*follower);
    if (tick > 30) errors.push_back(std::fabs(host.PlayPosition() - main.PositionAt(NowUs())));
  }
  EXPECT_LT(Percentile(errors, 0.5), 0.001);
  EXPECT_LT(Percentile(errors, 0.95), 0.002);
  EXPECT_TRUE(host.RepeatOn());

  // The main dies: the backup plays on, vamping, and leads.
  for (int tick = 0; tick < 60; ++tick)
    TickBackup(*follower, false);
  EXPECT_TRUE(follower->TookOver());
  EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);
  RunCore(10'000);
  EXPECT_GE(host.PlayPosition(), 8.0);
  EXPECT_LT(host.PlayPosition(), 12.0);
  EXPECT_EQ(BackupDocument()["vamp"], true);
}

TEST_F(FollowerTest, BackupJumpsWithTheMainOnTheBarLineTheMainQueuedItFor) {
  core.Setlist().Append(show::SetlistItem::Song(1));
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  MainDocument document;
  document.Song(1);
  follower->OnMainMessage(document.State());
  main.Play(1, 0.0, NowUs());
  RunAndMeasure(*follower, 2500);  // into the second bar of the intro
  // The main queues the outro for the next bar line (4.0) and its host jumps there.
  document.queuedSection = 3;
  document.queuedAt = 4.0;
  follower->OnMainMessage(document.State());
  main.JumpAt(4.0, 12.0);
  std::vector<double> errors;
  RunAndMeasure(*follower, 3000, 0, &errors);
  EXPECT_LT(*std::max_element(errors.begin(), errors.end()), 0.002);
  EXPECT_GE(host.PlayPosition(), 13.0);
  // The main's next document says the jump is done: nothing is queued or jumped again.
  document.queuedSection = -1;
  follower->OnMainMessage(document.State());
  EXPECT_LT(RunAndMeasure(*follower, 2000), 0.002);
  EXPECT_EQ(BackupDocument()["queuedSection"], -1);
}

TEST_F(FollowerTest, WhenTheMainGoesQuietTheBackupPlaysOnLeadsAndRunsTheShow) {
  std::unique_ptr<Follower> follower = MakeFollower(Role::kBackup);
  EXPECT_FALSE(core.Ui().rig.leading);
  // Never heard a main: nothing to take over from.
  for (int tick = 0; tick < 60; ++tick)
    TickBackup(*follower, false);
  EXPECT_FALSE(follower->TookOver());

  MainDocument document;
  document.Song(1).Song(2, true);
  follower->OnMainMessage(document.State());
  host.SetClockSkewPpm(150.0);
  main.Play(1, 0.0, NowUs());
  RunAndMeasure(*follower, 4000);
  // The main stands still between songs for a long while: its samples still say it lives.
  main.Stop(NowUs());
  RunAndMeasure(*follower, 3000);
  EXPECT_FALSE(follower->TookOver());
  main.Play(1, 4.0, NowUs());
  RunAndMeasure(*follower, 3000);
  ASSERT_NE(host.PlayRate(), 1.0);  // trimming against the skew

  // Silence: within the failover time the backup waits, past it the backup leads.
  const int stopsBefore = host.CountCalls("OnStopButton");
  for (int tick = 0; tick < 12; ++tick)
    TickBackup(*follower, false);
  EXPECT_FALSE(core.Ui().rig.leading);
  for (int tick = 0; tick < 6; ++tick)
    TickBackup(*follower, false);
  EXPECT_TRUE(core.Ui().rig.leading);
  EXPECT_TRUE(core.Ui().rig.onBackupRig);
  EXPECT_EQ(host.CountCalls("OnStopButton"), stopsBefore);
  EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.0);

  // Its own engine runs the show: the auto-start song chained at the end of the first.
  RunCore(10'000);
  EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);
  EXPECT_GE(host.PlayPosition(), 20.0);
  EXPECT_EQ(BackupDocument()["currentIndex"], 1);
  // And takes commands itself.
  EXPECT_TRUE(core.RunRemoteCommand(R"({"cmd":"LIVE_STOP"})").applied);
  EXPECT_EQ(host.Transport(), sim::TransportState::kStopped);
}

}  // namespace
}  // namespace quorvane::rig::test
