// Registrations: every key and its "-" form, ids, failure injection, and the host calling back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/menu.h"
#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

int g_timerCalls = 0;
std::vector<int> g_commandsSeen;
int g_handledCommand = 0;

void CountingTimer() {
  ++g_timerCalls;
}
void OtherTimer() {}

bool CommandHook(int command, int) {
  g_commandsSeen.push_back(command);
  return command == g_handledCommand;
}

void MenuHook(const char* menuId, HMENU menu, int flag) {
  if (flag != 0 || std::string(menuId) != "Main extensions") return;
  const int count = platform::MenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (platform::MenuItemId(menu, i) == 40000) return;
  }
  platform::AppendMenuItem(menu, 40000, "KALVERN LIVE PLAYBACK SYSTEM");
}

class SimRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    g_timerCalls = 0;
    g_commandsSeen.clear();
    g_handledCommand = 0;
  }
  int Register(const char* name, void* info) { return host.Info()->Register(name, info); }
  template <typename Fn>
  void* Callback(Fn* function) {
    return reinterpret_cast<void*>(function);
  }
  Host host;
};

TEST_F(SimRegistration, TimersAreCalledOnTickUntilUnregistered) {
  EXPECT_EQ(Register("timer", Callback(&CountingTimer)), 1);
  EXPECT_EQ(Register("timer", Callback(&OtherTimer)), 1);
  EXPECT_EQ(host.RegisteredCount("timer"), 2);
  host.Tick();
  host.Run(1000, 100);  // ten ticks
  EXPECT_EQ(g_timerCalls, 11);
  EXPECT_EQ(host.NowMs(), Host::kStartMs + 1000);
  EXPECT_EQ(Register("-timer", Callback(&CountingTimer)), 1);
  EXPECT_EQ(Register("-timer", Callback(&CountingTimer)), 0);  // not registered any more
  host.Tick();
  EXPECT_EQ(g_timerCalls, 11);
  EXPECT_EQ(host.RegisteredCount("timer"), 1);
}

TEST_F(SimRegistration, CommandIdsAreNewSixteenBitIdsAndStablePerName) {
  char first[] = "Quorvane_ShowWindow";
  char second[] = "Quorvane_StartShow";
  const int a = Register("command_id", first);
  const int b = Register("command_id", second);
  EXPECT_GE(a, 1);
  EXPECT_LE(a, 0xFFFF);
  EXPECT_NE(a, b);
  EXPECT_EQ(Register("command_id", first), a);
  EXPECT_EQ(host.CommandId("Quorvane_StartShow"), b);
  EXPECT_EQ(host.CommandId("_Quorvane_StartShow"), b);
  EXPECT_EQ(host.CommandId("Quorvane_Nothing"), 0);
  EXPECT_EQ(Register("command_id", nullptr), 0);
  EXPECT_EQ(Register("nosuchkey", first), 0);
}

TEST_F(SimRegistration, FailedRegistrationsAnswerZeroAndRegisterNothing) {
  host.FailRegistration("timer");
  host.FailRegistration("command_id", "Quorvane_EndShow");
  host.FailRegistration("gaccel", "Quorvane: Start Show");
  char endShow[] = "Quorvane_EndShow";
  char startShow[] = "Quorvane_StartShow";
  gaccel_register_t start{{0, 0, 0}, "Quorvane: Start Show"};
  gaccel_register_t end{{0, 0, 0}, "Quorvane: End Show"};

  EXPECT_EQ(Register("timer", Callback(&CountingTimer)), 0);
  EXPECT_EQ(Register("command_id", endShow), 0);
  EXPECT_GT(Register("command_id", startShow), 0);
  EXPECT_EQ(Register("gaccel", &start), 0);
  EXPECT_EQ(Register("gaccel", &end), 1);
  EXPECT_EQ(Register("hookcommand", Callback(&CommandHook)), 1);

  EXPECT_EQ(host.RegisteredCount("timer"), 0);
  EXPECT_EQ(host.CommandId("Quorvane_EndShow"), 0);
  EXPECT_EQ(host.AcceleratorDescriptions(), std::vector<std::string>{"Quorvane: End Show"});
  host.Tick();
  EXPECT_EQ(g_timerCalls, 0);
  EXPECT_EQ(host.Registrations()[1].result, 0);
}

TEST_F(SimRegistration, CommandsGoThroughTheHooksFirstThenTheHost) {
  Register("hookcommand", Callback(&CommandHook));
  g_handledCommand = 40001;
  EXPECT_TRUE(host.RunCommand(40001));
  EXPECT_FALSE(host.RunCommand(kRepeatToggleCommand));  // not ours: the host toggles repeat
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_EQ(g_commandsSeen, (std::vector<int>{40001, kRepeatToggleCommand}));

  // The extension's Main_OnCommand takes the same road and is recorded.
  auto command = Bind<hostfn::Main_OnCommand>(host, "Main_OnCommand");
  auto toggle = Bind<hostfn::GetToggleCommandState>(host, "GetToggleCommandState");
  EXPECT_EQ(toggle(kRepeatToggleCommand), 1);
  command(kRepeatToggleCommand, 0);
  EXPECT_EQ(toggle(kRepeatToggleCommand), 0);
  EXPECT_EQ(toggle(40001), -1);
  ASSERT_EQ(host.CountCalls("Main_OnCommand"), 1);
  EXPECT_EQ(host.CallsTo("Main_OnCommand")[0].command, kRepeatToggleCommand);
  EXPECT_EQ(g_commandsSeen.back(), kRepeatToggleCommand);

  char name[] = "Quorvane_StartShow";
  g_handledCommand = Register("command_id", name);
  EXPECT_TRUE(host.RunAction("Quorvane_StartShow"));
  EXPECT_FALSE(host.RunAction("Quorvane_NotRegistered"));
}

TEST_F(SimRegistration, MenuHooksBuildAMenuTheHostCanRead) {
  EXPECT_TRUE(host.BuildMenu("Main extensions", 0).empty());
  Register("hookcustommenu", Callback(&MenuHook));
  const std::vector<MenuItem> items = host.BuildMenu("Main extensions", 0, 2);
  ASSERT_EQ(items.size(), 1u);  // the hook saw its own item the second time
  EXPECT_EQ(items[0].id, 40000);
  EXPECT_EQ(items[0].text, "KALVERN LIVE PLAYBACK SYSTEM");
  EXPECT_TRUE(host.BuildMenu("Main extensions", 1).empty());
  EXPECT_TRUE(host.BuildMenu("Main file", 0).empty());
  Register("-hookcustommenu", Callback(&MenuHook));
  EXPECT_TRUE(host.BuildMenu("Main extensions", 0).empty());
}

}  // namespace
}  // namespace quorvane::sim
