// Loading and unloading the extension through its real entry point, against the simulator.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "host/actions.h"
#include "host/failure_reports.h"
#include "host/host_api.h"
#include "host/host_functions.h"
#include "host/reaper_api.h"
#include "platform/main_thread_wake.h"
#include "sim/demo_project.h"
#include "sim/sim_host.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace {

using quorvane::host::HostFunctionNeed;
using quorvane::host::kHostFunctions;
using quorvane::sim::Host;

// The names of the host functions with the given need, in binding order.
std::vector<std::string> FunctionsThatAre(std::initializer_list<HostFunctionNeed> needs) {
  std::vector<std::string> names;
  for (const auto& function : kHostFunctions) {
    for (HostFunctionNeed need : needs) {
      if (function.need == need) names.push_back(function.name);
    }
  }
  return names;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

int Load(Host& host) {
  return ReaperPluginEntry(nullptr, host.Info());
}
int Unload() {
  return ReaperPluginEntry(nullptr, nullptr);
}

// Registration keys in the order they were made, with the action or description they carried.
std::vector<std::string> RegistrationsMade(const Host& host) {
  std::vector<std::string> made;
  for (const auto& call : host.Registrations()) {
    made.push_back(call.what.empty() ? call.name : call.name + ":" + call.what);
  }
  return made;
}

int RegisteredHooks(const Host& host) {
  return host.RegisteredCount("timer") + host.RegisteredCount("hookcommand") +
         host.RegisteredCount("toggleaction") + host.RegisteredCount("hookcustommenu") +
         host.RegisteredCount("gaccel");
}

class EntryPoint : public ::testing::Test {
 protected:
  void TearDown() override { Unload(); }
  Host host;
};

TEST_F(EntryPoint, RegistersTimerActionsMenuHookAndCommandHookInOrder) {
  ASSERT_EQ(Load(host), 1);

  std::vector<std::string> expected = {"timer"};
  const auto addAction = [&](size_t i) {
    expected.push_back(std::string("command_id:") + quorvane::host::kActions[i].commandName);
    expected.push_back(std::string("gaccel:") + quorvane::host::kActions[i].description);
  };
  addAction(0);
  expected.push_back("hookcustommenu");
  for (size_t i = 1; i < quorvane::host::kActions.size(); ++i)
    addAction(i);
  expected.push_back("hookcommand");
  expected.push_back("toggleaction");
  EXPECT_EQ(RegistrationsMade(host), expected);

  for (const auto& action : quorvane::host::kActions) {
    EXPECT_GT(host.CommandId(action.commandName), 0) << action.commandName;
  }
  EXPECT_EQ(host.AcceleratorDescriptions().size(), 12u);
}

TEST_F(EntryPoint, UnloadLeavesNothingRegistered) {
  ASSERT_EQ(Load(host), 1);
  EXPECT_EQ(Unload(), 0);
  EXPECT_EQ(RegisteredHooks(host), 0);
  // Every hook we registered was unregistered with its own "-" form.
  int removals = 0;
  for (const auto& call : host.Registrations())
    removals += call.name[0] == '-' ? 1 : 0;
  // Timer, menu hook, command hook, toggle state and twelve accelerators.
  EXPECT_EQ(removals, 16);
}

TEST_F(EntryPoint, UnloadWithoutLoadTouchesNothing) {
  EXPECT_EQ(Unload(), 0);
  EXPECT_TRUE(host.Registrations().empty());
  EXPECT_TRUE(host.FunctionLookups().empty());
}

TEST_F(EntryPoint, RefusesAnotherInterfaceVersionWithoutLookingAnythingUp) {
  for (int version : {0x20D, 0x20F}) {
    Host other;
    other.SetCallerVersion(version);
    EXPECT_EQ(Load(other), 0);
    EXPECT_TRUE(other.FunctionLookups().empty());
    EXPECT_TRUE(other.Registrations().empty());
  }
}

TEST_F(EntryPoint, RefusesARecordWithoutRegisterOrGetFunc) {
  {
    Host other;
    other.RemoveRegisterFunction();
    EXPECT_EQ(Load(other), 0);
    EXPECT_TRUE(other.FunctionLookups().empty());
  }
  {
    Host other;
    other.RemoveGetFuncFunction();
    EXPECT_EQ(Load(other), 0);
    EXPECT_TRUE(other.Registrations().empty());
  }
}

class MissingRequiredFunction : public ::testing::TestWithParam<std::string> {
 protected:
  void TearDown() override { Unload(); }
};

// The user is told which function the host lacks, as hosts tell of a plug-in that cannot load.
TEST_P(MissingRequiredFunction, FailsTheLoadWithNothingRegisteredAndSaysWhich) {
  Host host;
  host.RemoveFunction(GetParam());
  EXPECT_EQ(Load(host), 0);
  EXPECT_EQ(RegisteredHooks(host), 0);
  for (const auto& call : host.Registrations())
    EXPECT_NE(call.name, "command_id");
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].title, "Quorvane");
  EXPECT_EQ(host.Messages()[0].icon, quorvane::platform::MessageIcon::kError);
  EXPECT_NE(host.Messages()[0].text.find("\"" + GetParam() + "\""), std::string::npos)
      << host.Messages()[0].text;
}

INSTANTIATE_TEST_SUITE_P(EveryRequiredFunction, MissingRequiredFunction,
                         ::testing::ValuesIn(FunctionsThatAre({HostFunctionNeed::kRequired})));

TEST_F(EntryPoint, SeveralMissingFunctionsAreNamedInOneMessage) {
  host.RemoveFunction("OnPlayButton");
  host.RemoveFunction("GetProjExtState");
  EXPECT_EQ(Load(host), 0);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].text.find("\"OnPlayButton\", \"GetProjExtState\""),
            std::string::npos)
      << host.Messages()[0].text;
}

TEST_F(EntryPoint, LoadsWithEveryOptionalFunctionMissing) {
  for (const std::string& name :
       FunctionsThatAre({HostFunctionNeed::kOptional, HostFunctionNeed::kFallback})) {
    host.RemoveFunction(name);
  }
  EXPECT_EQ(Load(host), 1);
  host.Run(200);  // ticks run without the optional functions
  EXPECT_EQ(host.RegisteredCount("timer"), 1);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(EntryPoint, ATickThatKeepsFailingIsReportedOnceToTheConsole) {
  host.AddRegion(1, "Song", 0.0, 4.0);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  ASSERT_EQ(Load(host), 1);
  host.ThrowFrom("EnumProjects", "project list unreadable");
  host.Run(3000);  // about ninety failing ticks
  EXPECT_EQ(host.RegisteredCount("timer"), 1);
  const std::string console = host.ConsoleText();
  EXPECT_EQ(Occurrences(console, "project list unreadable"), 1u) << console;
  EXPECT_NE(console.find("timer tick"), std::string::npos) << console;

  host.ThrowFrom("EnumProjects", "");  // the cause goes away: the ticks work again
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(5000);
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "FINISHED");
}

TEST_F(EntryPoint, AFailingActionIsStillOursAndReportedOnce) {
  ASSERT_EQ(Load(host), 1);
  host.ThrowFrom("OnStopButton", "transport gone");
  EXPECT_TRUE(host.RunAction("Quorvane_EngineStop"));
  EXPECT_TRUE(host.RunAction("Quorvane_EngineStop"));
  const std::string console = host.ConsoleText();
  EXPECT_EQ(Occurrences(console, "transport gone"), 1u) << console;
  EXPECT_NE(console.find("Quorvane_EngineStop"), std::string::npos) << console;
}

TEST_F(EntryPoint, AFailingWakeIsReportedOnceAndTheTickCarriesOn) {
  ASSERT_EQ(Load(host), 1);
  host.ThrowFrom("EnumProjects", "tabs unreadable");
  const quorvane::platform::WakeSource* wake = host.WakeSource();
  for (int i = 0; i < 3; ++i) {
    wake->post(wake->context);  // as a server's thread does when it queues a command
    EXPECT_TRUE(host.DeliverMessages());
  }
  const std::string console = host.ConsoleText();
  EXPECT_EQ(Occurrences(console, "tabs unreadable"), 1u) << console;
  EXPECT_NE(console.find("the wake"), std::string::npos) << console;
  host.ThrowFrom("EnumProjects", "");
  host.Run(100);
  EXPECT_EQ(host.RegisteredCount("timer"), 1);
}

// Failures on a server's thread are kept until the main thread writes them, once each.
TEST(FailureReports, ReportsFromOtherThreadsReachTheConsoleOnceFromTheMainThread) {
  Host host;
  quorvane::host::HostApi api;
  ASSERT_TRUE(api.Bind(host.Info()->GetFunc));
  quorvane::host::FailureReports reports(api);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&reports] {
      for (int i = 0; i < 100; ++i)
        reports.Report("the web server", i % 2 ? "socket gone" : "handshake garbled");
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(host.ConsoleText(), "");  // nothing written off the main thread
  reports.Flush();
  const std::string console = host.ConsoleText();
  EXPECT_EQ(Occurrences(console, "socket gone"), 1u) << console;
  EXPECT_EQ(Occurrences(console, "handshake garbled"), 1u) << console;
  reports.Flush();
  EXPECT_EQ(host.ConsoleText(), console);
}

TEST_F(EntryPoint, BindsHostFunctionsInTableOrder) {
  ASSERT_EQ(Load(host), 1);
  const std::vector<std::string> table = FunctionsThatAre(
      {HostFunctionNeed::kRequired, HostFunctionNeed::kOptional, HostFunctionNeed::kFallback});
  // Each looked up once, in list order, and nothing looked up by name elsewhere.
  std::vector<std::string> hostLookups;
  for (const auto& name : host.FunctionLookups()) {
    if (name.rfind("QuorvaneSim_", 0) != 0) hostLookups.push_back(name);
  }
  EXPECT_EQ(hostLookups, table);
}

TEST_F(EntryPoint, FunctionsAreLookedUpAtLoadOnly) {
  ASSERT_EQ(Load(host), 1);
  const size_t atLoad = host.FunctionLookups().size();
  host.Run(1000);
  host.RunAction("Quorvane_ShowState");
  EXPECT_EQ(host.FunctionLookups().size(), atLoad);
}

struct FailingStep {
  const char* key;
  const char* what;
};

class FailingRegistration : public ::testing::TestWithParam<FailingStep> {
 protected:
  void TearDown() override { Unload(); }
};

// Whatever step fails, the host is told 0 and nothing of ours stays registered: the host unloads
// the library at once, so a hook left behind would point into unloaded code.
TEST_P(FailingRegistration, RollsBackEverythingAlreadyRegistered) {
  Host host;
  host.FailRegistration(GetParam().key, GetParam().what);
  EXPECT_EQ(Load(host), 0);
  EXPECT_EQ(RegisteredHooks(host), 0);
  host.Tick();  // no timer left to call
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FailingRegistration,
    ::testing::Values(FailingStep{"timer", ""}, FailingStep{"command_id", "Quorvane_ShowWindow"},
                      FailingStep{"gaccel", "KALVERN LIVE PLAYBACK SYSTEM: Show/Hide Window"},
                      FailingStep{"hookcustommenu", ""},
                      FailingStep{"command_id", "Quorvane_EnginePlayNext"},
                      FailingStep{"gaccel", "Quorvane: Start Show"},
                      FailingStep{"command_id", "Quorvane_ShowState"},
                      FailingStep{"gaccel", "Quorvane: Show State"},
                      FailingStep{"hookcommand", ""}));

TEST_F(EntryPoint, MissingMenuFunctionFailsAndRollsBack) {
  Host other;
  other.RemoveFunction("AddExtensionsMainMenu");
  EXPECT_EQ(Load(other), 0);
  EXPECT_EQ(RegisteredHooks(other), 0);
}

// The vamp action is a toggle whose state the host can light on a controller; the section
// actions work the show as the remote's commands do. A host that cannot ask for the state still
// runs them.
TEST_F(EntryPoint, SectionActionsWorkTheSongAndTheVampIsAToggleTheHostCanShow) {
  for (const bool withToggle : {true, false}) {
    Host sim;
    if (!withToggle) sim.FailRegistration("toggleaction", "");
    quorvane::sim::BuildDemoProject(sim);  // "Opening Lights": Intro, Verse 1 at 8 s, ...
    ASSERT_EQ(Load(sim), 1);
    sim.RunAction("Quorvane_StartShow");
    sim.Run(1000);
    const int vamp = sim.CommandId("Quorvane_VampSection");
    const auto toggleState = reinterpret_cast<hostfn::GetToggleCommandState>(
        sim.Info()->GetFunc("GetToggleCommandState"));
    EXPECT_EQ(toggleState(vamp), withToggle ? 0 : -1);
    EXPECT_TRUE(sim.RunAction("Quorvane_VampSection"));
    EXPECT_TRUE(sim.RepeatOn());  // the host loops the section
    EXPECT_EQ(toggleState(vamp), withToggle ? 1 : -1);
    EXPECT_TRUE(sim.RunAction("Quorvane_VampSection"));
    EXPECT_FALSE(sim.RepeatOn());
    EXPECT_EQ(toggleState(vamp), withToggle ? 0 : -1);

    EXPECT_TRUE(sim.RunAction("Quorvane_NextSection"));  // the verse, on the next bar line
    sim.Run(1500);
    EXPECT_GE(sim.PlayPosition(), 8.0);
    EXPECT_TRUE(sim.RunAction("Quorvane_PreviousSection"));  // in its first bar: the intro
    EXPECT_TRUE(sim.RunAction("Quorvane_CancelJump"));
    sim.Run(1000);
    EXPECT_GE(sim.PlayPosition(), 9.0);  // the jump back was cancelled
    EXPECT_EQ(Unload(), 0);
    EXPECT_EQ(RegisteredHooks(sim), 0);
  }
}

TEST_F(EntryPoint, AnswersOnlyItsOwnCommands) {
  ASSERT_EQ(Load(host), 1);
  for (const auto& action : quorvane::host::kActions) {
    if (std::string(action.commandName) == "Quorvane_ShowWindow") continue;
    EXPECT_TRUE(host.RunAction(action.commandName)) << action.commandName;
  }
  EXPECT_FALSE(host.RunCommand(40044));
  EXPECT_FALSE(host.RunCommand(0));
}

TEST_F(EntryPoint, AddsItsMenuItemOnceToTheExtensionsMenu) {
  ASSERT_EQ(Load(host), 1);
  const int showWindow = host.CommandId("Quorvane_ShowWindow");

  const auto built = host.BuildMenu("Main extensions", 0, 2);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].id, showWindow);
  EXPECT_EQ(built[0].text, "KALVERN LIVE PLAYBACK SYSTEM");

  EXPECT_EQ(host.BuildMenu("MAIN extensions", 0).size(), 1u);
  EXPECT_TRUE(host.BuildMenu("Main extensions", 1).empty());
  EXPECT_TRUE(host.BuildMenu("Main file", 0).empty());
}

TEST_F(EntryPoint, ReportsArePrintedToTheHostConsole) {
  ASSERT_EQ(Load(host), 1);
  host.RunAction("Quorvane_ShowSetlist");
  host.RunAction("Quorvane_ShowState");
  const auto printed = host.CallsTo("ShowConsoleMsg");
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].text.rfind("\n=== QUORVANE ===\nSETLIST\n", 0), 0u);
  EXPECT_EQ(printed[1].text.rfind("\n=== SHOW STATE ===\nStatus: PREPARED\n", 0), 0u);
}

}  // namespace
