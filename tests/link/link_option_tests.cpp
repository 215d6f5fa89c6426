// The "Ableton Link" option and the rig's role decide whether the extension is on the Link network
// at all: the remote command, the setting kept across a restart, the state document's "link"
// member, and leaving on unload. Runs under Wine too (joining and leaving, without peers).
#include <gtest/gtest.h>

#include "link/link_session.h"
#include "link/link_stage.h"

namespace quorvane::link_tests {
namespace {

class LinkOption : public ::testing::Test {
 protected:
  bool Joined() const { return stage.core->Link().Joined(); }
  bool DocumentSaysJoined() const { return stage.Document()["link"]["enabled"].get<bool>(); }
  std::string Stored() const { return stage.host.GlobalExtState("Quorvane", "linkEnabled"); }

  LinkStage stage;
};

TEST_F(LinkOption, ASingleRigWithTheOptionOffStaysOffTheNetwork) {
  stage.host.AddRegion(1, "Opener", 0.0, 8.0);
  stage.core->Setlist().Append(show::SetlistItem::Song(1));
  ASSERT_TRUE(stage.core->Operations().StartShow());
  stage.Run(2000);
  EXPECT_TRUE(stage.core->Engine().Player().Playing());
  EXPECT_FALSE(Joined());
  EXPECT_EQ(stage.core->Link().Peers(), 0u);
  const nlohmann::json document = stage.Document();
  EXPECT_EQ(document["link"], (nlohmann::json{{"enabled", false}, {"peers", 0}}));
  EXPECT_EQ(stage.LastMember(), "link") << "appended after every older member";
  EXPECT_FALSE(stage.host.HasGlobalExtState("Quorvane", "linkEnabled")) << "nothing stored unasked";
}

TEST_F(LinkOption, TheCommandSwitchesLinkAndTheSettingOutlivesARestart) {
  EXPECT_TRUE(stage.Command(R"({"cmd":"OPTIONS_LINK","enabled":true})").applied);
  EXPECT_TRUE(Joined()) << "joined as soon as the command ran";
  EXPECT_TRUE(DocumentSaysJoined());
  EXPECT_EQ(Stored(), "1");
  EXPECT_TRUE(stage.host.GlobalExtStatePersists("Quorvane", "linkEnabled"));

  // Values the option cannot read keep it as it is, as for the live page's options.
  for (const char* unreadable :
       {R"({"cmd":"OPTIONS_LINK"})", R"({"cmd":"OPTIONS_LINK","enabled":null})",
        R"({"cmd":"OPTIONS_LINK","enabled":"on"})"}) {
    stage.Command(unreadable);
    stage.Run(33);
    EXPECT_TRUE(Joined()) << unreadable;
    EXPECT_EQ(Stored(), "1") << unreadable;
  }

  stage.Restart();
  EXPECT_TRUE(Joined()) << "the kept setting joins at load";
  EXPECT_TRUE(DocumentSaysJoined());

  EXPECT_TRUE(stage.Command(R"({"cmd":"OPTIONS_LINK","enabled":false})").applied);
  EXPECT_FALSE(Joined());
  EXPECT_FALSE(DocumentSaysJoined());
  EXPECT_EQ(Stored(), "0");
  stage.Restart();
  EXPECT_FALSE(Joined());
}

TEST_F(LinkOption, AMainOrBackupRigJoinsWithoutTheOptionAndEveryRigLeavesOnUnload) {
  for (const char* role : {"main", "backup"}) {
    stage.core->Ui().rig.role = role;
    stage.core->UpdateLinkMembership();
    EXPECT_TRUE(Joined()) << role;
    EXPECT_TRUE(DocumentSaysJoined()) << role;
  }
  stage.core->Ui().rig.role = "single";
  stage.core->UpdateLinkMembership();
  EXPECT_FALSE(Joined());

  stage.Command(R"({"cmd":"OPTIONS_LINK","enabled":true})");
  ASSERT_TRUE(Joined());
  stage.core->Shutdown();
  EXPECT_FALSE(Joined()) << "unloading leaves the session";
  EXPECT_FALSE(DocumentSaysJoined());
  stage.core->Tick();  // a tick the host still delivers after unload does not join again
  EXPECT_FALSE(Joined());
}

}  // namespace
}  // namespace quorvane::link_tests
