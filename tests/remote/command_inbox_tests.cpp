// The one command inbox the transports share: the order commands run in, what one run of the main
// thread may spend on them, the one cap, and where refusals and failures go.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "inbox/command_inbox.h"

namespace quorvane::inbox {
namespace {

using ::testing::ElementsAre;

constexpr int64_t kMillisecond = 1'000'000;

class CommandInboxTest : public ::testing::Test {
 protected:
  // Runs what is queued; every command costs `cost` of the inbox's clock and is refused with
  // `refusals[line]` when listed.
  void Run(int64_t cost = 0) {
    inbox.Run([this, cost](const std::string& line) {
      now += cost;
      ran.push_back(line);
      if (line == "THROWS") throw std::runtime_error("disk full");
      return line == "REFUSED" ? std::string("not now") : std::string();
    });
  }
  InboxCommand FromWeb(std::string line) {
    return {Origin::kWeb, std::move(line),
            [this](std::string_view reason) { answers.emplace_back(reason); }};
  }

  int64_t now = 1'000 * kMillisecond;
  CommandInbox inbox{[this] { return now; }};
  std::vector<std::string> ran;
  std::vector<std::string> answers;
};

TEST_F(CommandInboxTest, CommandsRunInArrivalOrderAcrossTransportsWithinTheBudgetOfARun) {
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"t1"}));
  ASSERT_TRUE(inbox.Push(FromWeb("w1")));
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"t2", "t3"}));
  ASSERT_TRUE(inbox.Push(FromWeb("w2")));
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"t4"}));

  // 1.5 ms each: the budget of 4 ms is spent after the third.
  Run(3 * kMillisecond / 2);
  EXPECT_THAT(ran, ElementsAre("t1", "w1", "t2"));
  EXPECT_EQ(inbox.QueuedCount(), 3u);
  EXPECT_EQ(inbox.QueuedCount(Origin::kWeb), 1u);

  // A command dearer than the whole budget still runs, one per run: a flood never stalls.
  Run(10 * kMillisecond);
  EXPECT_THAT(ran, ElementsAre("t1", "w1", "t2", "t3"));
  Run(0);
  EXPECT_THAT(ran, ElementsAre("t1", "w1", "t2", "t3", "w2", "t4"));
  EXPECT_EQ(inbox.QueuedCount(), 0u);
}

TEST_F(CommandInboxTest, OneCapHoldsForEveryTransportTogether) {
  std::vector<std::string> flood(CommandInbox::kMaxQueued - 1, "{}");
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, flood));
  // Two lines where one place is left: the first is kept, the sender is told to go.
  EXPECT_FALSE(inbox.PushLines(Origin::kTcp, {"last", "over"}));
  EXPECT_EQ(inbox.QueuedCount(), CommandInbox::kMaxQueued);
  EXPECT_FALSE(inbox.Push(FromWeb("web")));
  EXPECT_EQ(inbox.QueuedCount(Origin::kWeb), 0u);

  Run(0);
  ASSERT_EQ(ran.size(), CommandInbox::kMaxQueued);
  EXPECT_EQ(ran.back(), "last");
  EXPECT_TRUE(inbox.Push(FromWeb("web")));
}

TEST_F(CommandInboxTest, ARefusalGoesBackToItsSenderAndAFailureCostsOnlyItsOwnCommand) {
  std::vector<std::string> failures;
  inbox.SetFailureSink([&](std::string_view where, std::string_view what) {
    failures.push_back(std::string(where) + ": " + std::string(what));
  });
  ASSERT_TRUE(inbox.Push(FromWeb("REFUSED")));
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"THROWS", "REFUSED"}));  // TCP is never answered
  ASSERT_TRUE(inbox.Push(FromWeb("THROWS")));
  ASSERT_TRUE(inbox.Push(FromWeb("fine")));
  Run(0);
  EXPECT_THAT(ran, ElementsAre("REFUSED", "THROWS", "REFUSED", "THROWS", "fine"));
  EXPECT_THAT(answers, ElementsAre("not now", "failed"));
  EXPECT_THAT(failures,
              ElementsAre("remote server: command: disk full", "web remote: command: disk full"));
}

TEST_F(CommandInboxTest, AStoppedTransportsCommandsGoAndTheOthersKeepTheirOrder) {
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"t1"}));
  ASSERT_TRUE(inbox.Push(FromWeb("w1")));
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"t2"}));
  ASSERT_TRUE(inbox.Push(FromWeb("w2")));
  inbox.Discard(Origin::kWeb);
  Run(0);
  EXPECT_THAT(ran, ElementsAre("t1", "t2"));
  EXPECT_TRUE(answers.empty());

  // Without a runner nothing runs and nothing stays.
  ASSERT_TRUE(inbox.Push(FromWeb("REFUSED")));
  inbox.Run({});
  EXPECT_EQ(inbox.QueuedCount(), 0u);
  EXPECT_TRUE(answers.empty());
}

TEST_F(CommandInboxTest, ArrivalsWakeTheMainThreadOncePerPushAndNeverWhenRefused) {
  int wakes = 0;
  inbox.SetArrivalNotifier([&] { ++wakes; });
  ASSERT_TRUE(inbox.PushLines(Origin::kTcp, {"a", "b", "c"}));
  EXPECT_EQ(wakes, 1);
  ASSERT_TRUE(inbox.Push(FromWeb("w")));
  EXPECT_EQ(wakes, 2);
  ASSERT_TRUE(
      inbox.PushLines(Origin::kTcp, std::vector<std::string>(CommandInbox::kMaxQueued - 4)));
  EXPECT_EQ(wakes, 3);
  EXPECT_FALSE(inbox.PushLines(Origin::kTcp, {"full"}));
  EXPECT_FALSE(inbox.Push(FromWeb("full")));
  EXPECT_EQ(wakes, 3);
}

// Both transports' threads push at once while the main thread runs: nothing is lost, and each
// sender's commands keep their order.
TEST(CommandInbox, TransportsPushingFromTheirThreadsKeepEachSendersOrder) {
  CommandInbox inbox;
  constexpr int kEach = 500;
  std::vector<std::string> ran;
  const auto push = [&inbox](Origin origin, const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      const std::string line = prefix + std::to_string(i);
      if (origin == Origin::kWeb) {
        ASSERT_TRUE(inbox.Push({origin, line, {}}));
      } else {
        ASSERT_TRUE(inbox.PushLines(origin, {line}));
      }
    }
  };
  std::thread tcp(push, Origin::kTcp, "t");
  std::thread web(push, Origin::kWeb, "w");
  const auto run = [&] {
    inbox.Run([&](const std::string& line) {
      ran.push_back(line);
      return std::string();
    });
  };
  for (int i = 0; i < 100; ++i)
    run();
  tcp.join();
  web.join();
  for (int i = 0; i < 10'000 && inbox.QueuedCount() > 0; ++i)
    run();
  ASSERT_EQ(ran.size(), 2u * kEach);
  int nextTcp = 0;
  int nextWeb = 0;
  for (const std::string& line : ran) {
    int& next = line[0] == 't' ? nextTcp : nextWeb;
    EXPECT_EQ(line.substr(1), std::to_string(next));
    ++next;
  }
}

}  // namespace
}  // namespace quorvane::inbox
