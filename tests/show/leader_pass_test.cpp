// A rig that follows another one runs no show of its own: what its window and actions do goes to
// the leading rig as that rig's remote commands, and a refusal comes back as the outcome.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/command_scanner.h"
#include "show_fixture.h"

namespace quorvane::show {
namespace {

class FollowingRig : public test::ShowTest {
 protected:
  void SetUp() override {
    test::ShowTest::SetUp();
    host.AddRegion(1, "Opener", 0.0, 8.0);
    host.AddRegion(2, "Second", 10.0, 16.0);
    UseSetlist({1, 2});
    core.Operations().SetLeaderPass([this](const std::string& line) -> std::optional<std::string> {
      passed.push_back(line);
      return refusal;
    });
    host.ClearCalls();
  }

  // The command the leading rig would run for `line`, as its scanner reads it.
  static protocol::DecodedCommand Read(const std::string& line) {
    std::optional<protocol::DecodedCommand> command = protocol::DecodeCommand(line);
    EXPECT_TRUE(command.has_value()) << line;
    return command.value_or(*protocol::DecodeCommand(R"({"cmd":"PING"})"));
  }

  std::vector<std::string> passed;
  std::optional<std::string> refusal = std::string();  // "": went to the leading rig
};

TEST_F(FollowingRig, LiveControlsAndSetlistEditsGoToTheLeaderAndLeaveThisShowAlone) {
  operations::UserOperations& operations = core.Operations();
  EXPECT_TRUE(operations.StartShow());
  EXPECT_TRUE(operations.SelectItem(1).applied);
  EXPECT_TRUE(operations.JumpToSection(3, JumpWhen::kSectionEnd).applied);
  EXPECT_TRUE(operations.AddSong(2));
  EXPECT_TRUE(operations.SetNote(0, "capo 2, \"quiet\" intro"));
  EXPECT_TRUE(operations.SetShowDuration(75));

  ASSERT_EQ(passed.size(), 6u);
  EXPECT_EQ(Read(passed[0]).Name(), "LIVE_START_SHOW");
  EXPECT_EQ(Read(passed[1]).Name(), "LIVE_SELECT");
  EXPECT_EQ(Read(passed[1]).Int("index"), 1);
  EXPECT_EQ(Read(passed[2]).Name(), "LIVE_JUMP_SECTION");
  EXPECT_EQ(Read(passed[2]).Int("index"), 3);
  EXPECT_EQ(Read(passed[2]).Int("when"), static_cast<int>(JumpWhen::kSectionEnd));
  EXPECT_EQ(Read(passed[3]).Name(), "SETUP_ADD_REGION");
  EXPECT_EQ(Read(passed[3]).Int("regionId"), 2);
  EXPECT_EQ(Read(passed[4]).Name(), "SETUP_NOTE");
  EXPECT_EQ(Read(passed[4]).Text("note").value, "capo 2, \"quiet\" intro");
  EXPECT_EQ(Read(passed[5]).Int("minutes"), 75);

  // This rig's show, setlist and transport are the leader's to change, through the mirror.
  EXPECT_EQ(engine.Status(), ShowStatus::kPrepared);
  EXPECT_EQ(setlist.Count(), 2);
  EXPECT_EQ(setlist.At(0).note, "");
  EXPECT_TRUE(host.CallsTo("OnPlayButton").empty());
  EXPECT_TRUE(host.CallsTo("SetEditCurPos").empty());
}

TEST_F(FollowingRig, AnUnreachableLeaderIsTheOutcomeAndALeadingRigRunsItsOwnShow) {
  refusal = "The main rig is not reachable.";
  const host::Outcome refused = core.Operations().SelectItem(1);
  EXPECT_FALSE(refused.applied);
  EXPECT_EQ(refused.reason, "The main rig is not reachable.");
  EXPECT_FALSE(core.Operations().AddPause());
  EXPECT_EQ(setlist.Count(), 2);

  // Once this rig leads (the pass answers that it runs the command), it does so itself.
  refusal = std::nullopt;
  EXPECT_TRUE(core.Operations().StartShow());
  EXPECT_EQ(engine.Status(), ShowStatus::kLive);
  EXPECT_TRUE(core.Operations().AddPause());
  EXPECT_EQ(setlist.Count(), 3);
}

}  // namespace
}  // namespace quorvane::show
