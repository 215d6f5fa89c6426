// `quorvane-sim --script demo` end to end: the real extension in this process, loaded through its
// entry point into the simulator, its remote server reached over loopback, the whole show run
// as fast as the machine goes. The summary's numbers are checked against the show's own arithmetic.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "host/reaper_api.h"
#include "sim/app/project_file.h"
#include "sim/app/session.h"
#include "sim/app/show_script.h"
#include "sim/app/state_link.h"
#include "sim/demo_project.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::sim {
namespace {

constexpr double kUnpaced = 0.0;

double MusicSeconds(const Host& host) {
  double seconds = 0.0;
  for (const SimRegion& region : host.Project().regions)
    seconds += region.end - region.start;
  return seconds;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// The loopback client the display and the script read the extension through.
TEST(SimStateLink, FindsTheServerOfThisProcessAndSeesItsCommandsTakeEffect) {
  Host host;
  BuildDemoProject(host);
  ShowSession session(host, &ReaperPluginEntry, nullptr);
  ASSERT_TRUE(session.Load());
  StateLink link;
  std::string detail;
  ASSERT_TRUE(link.Connect(ProjectName(host), &detail)) << detail;
  EXPECT_NE(link.Port(), 0);
  EXPECT_EQ(link.State(), nullptr);  // the greeting state comes with the next tick
  const auto waitFor = [&](const std::function<bool(const remote_cli::StateView&)>& wanted) {
    for (int i = 0; i < 200; ++i) {
      session.TickHeld();
      link.Poll(10);
      if (link.State() && wanted(*link.State())) return true;
    }
    return false;
  };
  ASSERT_TRUE(waitFor([](const remote_cli::StateView& s) { return s.showStatus == "PREPARED"; }));
  EXPECT_EQ(link.State()->projectName, "Quorvane Demo Show");
  EXPECT_EQ(link.State()->clients, 1);

  ASSERT_TRUE(link.Send(R"({"cmd":"LIVE_START_SHOW"})"));
  ASSERT_TRUE(waitFor([](const remote_cli::StateView& s) { return s.showStatus == "LIVE"; }));
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);

  session.Unload();  // the server closes every connection
  link.Poll(100);
  EXPECT_FALSE(link.IsConnected());
  EXPECT_NE(link.State(), nullptr);  // the last state stays readable
  EXPECT_FALSE(link.Send(R"({"cmd":"PING"})"));
}

TEST(SimDemoScript, TheDemoShowPlaysEverySongAndReportsTheExtensionsNumbers) {
  Host host;
  BuildDemoProject(host);
  ShowSession session(host, &ReaperPluginEntry, nullptr);
  ASSERT_TRUE(session.Load());
  StateLink link;
  std::ostringstream narration;
  const ScriptTimings timings;
  const ScriptSummary summary = RunDemoScript(session, link, kUnpaced, narration, {}, timings);
  const std::string told = narration.str();
  ASSERT_TRUE(summary.completed) << summary.failure << "\n" << told;

  EXPECT_EQ(summary.songsInSetlist, 7);
  EXPECT_EQ(summary.songsPlayed, 7);
  EXPECT_EQ(summary.songsStarted, 7);
  EXPECT_EQ(summary.chained, 2);  // Northbound after Opening Lights, Undertow after Paper Moons
  EXPECT_EQ(summary.practiseRuns, 2);  // once to its stop point, once looped
  EXPECT_EQ(summary.countInBeats, 4);
  EXPECT_EQ(summary.durationMinutes, 5);  // 3:57 of music: the shortest set

  // Every song once, three rounds of applause (after the songs nothing follows by itself but the
  // pause) and the talk at the pause; each wait starts at the first tick after a song's end. The
  // vamp on the first chorus (8 s, once round) and the jump back to the verse before it (about a
  // bar into the chorus again) add their music.
  EXPECT_GT(summary.liveControlSeconds, 8.0 + 8.0);
  EXPECT_LT(summary.liveControlSeconds, 8.0 + 8.0 + 2.0 + 1.0);
  EXPECT_EQ(CountOf(told, "the vamp holds"), 1u) << told;
  EXPECT_EQ(CountOf(told, "On the bar line the song goes back"), 1u) << told;
  const double expected = MusicSeconds(host) + summary.liveControlSeconds + 3 * 8.0 + 60.0;
  EXPECT_NEAR(summary.elapsed, expected, 0.3);
  // The last song started this late for a five-minute set, and nothing waited after it.
  EXPECT_NEAR(summary.delay, summary.elapsed - 300.0, 0.2);

  EXPECT_EQ(CountOf(told, "follows on by itself (auto-start)"), 2u) << told;
  EXPECT_EQ(CountOf(told, "n: play next"), 4u) << told;
  EXPECT_EQ(CountOf(told, "A pause: the band talks"), 1u) << told;
  EXPECT_NE(told.find("the count-in clicks 4 beats"), std::string::npos) << told;
  EXPECT_NE(told.find("\"Last Train Home\", the last song, ends, and with it the show."),
            std::string::npos)
      << told;

  const std::string text = FormatSummary(summary);
  EXPECT_NE(text.find("songs played   7 of 7 (2 followed on by auto-start)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("The demo show completed."), std::string::npos) << text;
}

TEST(SimDemoScript, AProjectFilesShowRunsOnItsOwnSetlistAndSetLength) {
  Host host;
  ProjectDescription project;
  std::string message;
  ASSERT_TRUE(LoadProjectFile(QUORVANE_EXAMPLE_PROJECT, &project, &message)) << message;
  BuildProject(host, project);
  ShowSession session(host, &ReaperPluginEntry, nullptr);
  ASSERT_TRUE(session.Load());
  StateLink link;
  std::ostringstream narration;
  ScriptTimings timings;
  timings.setMinutes = project.durationMinutes;
  timings.pauseTalkMs = 5'000;
  const ScriptSummary summary = RunDemoScript(session, link, kUnpaced, narration, {}, timings);
  ASSERT_TRUE(summary.completed) << summary.failure << "\n" << narration.str();
  EXPECT_EQ(summary.songsPlayed, 6);
  EXPECT_EQ(summary.chained, 2);
  EXPECT_EQ(summary.durationMinutes, 30);
  EXPECT_EQ(summary.delay, 0.0);  // well within half an hour
  EXPECT_NEAR(summary.elapsed, MusicSeconds(host) + summary.liveControlSeconds + 2 * 8.0 + 5.0,
              0.3);
}

TEST(SimDemoScript, AnInterruptedScriptSaysSoAndDoesNotClaimTheShow) {
  Host host;
  BuildDemoProject(host);
  ShowSession session(host, &ReaperPluginEntry, nullptr);
  ASSERT_TRUE(session.Load());
  StateLink link;
  std::ostringstream narration;
  int asked = 0;
  const ScriptSummary summary =
      RunDemoScript(session, link, kUnpaced, narration, [&] { return ++asked > 2000; });
  EXPECT_FALSE(summary.completed);
  EXPECT_EQ(summary.failure, "interrupted");
  EXPECT_NE(FormatSummary(summary).find("did not complete: interrupted"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::sim
