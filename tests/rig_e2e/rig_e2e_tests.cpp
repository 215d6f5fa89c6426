// Two rigs, each a quorvane-sim process with the real extension, on loopback: the backup dials the
// main, both show what differs between their projects, the backup takes the main's web keys, and
// a command given to the backup's web remote changes the main's show; when the main dies mid-song,
// the backup plays on and leads; a main that comes back follows it until the backup hands the
// show back between songs, or plays on and leads when the backup dies in its turn.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "web/web_client.h"

namespace quorvane {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;
using web::testing::WebSocketClient;

constexpr auto kPatience = 30s;  // the machine is shared

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// One quorvane-sim, its output collected by a thread; killed (if still running) when it goes.
class Sim {
 public:
  explicit Sim(const std::vector<std::string>& extra) {
    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) return;
    std::vector<std::string> args = {Env("QUORVANE_SIM"), "--library", Env("QUORVANE_LIBRARY"),
                                     "--plain",           "--seconds", "120"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(in[0], STDIN_FILENO);  // typed lines run the simulator's keys
      close(out[0]);
      close(in[1]);
      std::vector<char*> argv;
      for (std::string& arg : args)
        argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(in[0]);
    keys_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      char buffer[4096];
      for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        std::lock_guard lock(mutex_);
        output_.append(buffer, static_cast<std::size_t>(got));
      }
      close(fd);
    });
  }
  ~Sim() {
    if (keys_ >= 0) close(keys_);
    Kill(SIGTERM);
    if (reader_.joinable()) reader_.join();
  }
  void Kill(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // The web remote's port and control key, as the simulator prints them.
  bool ReadAddress() {
    const std::regex line(R"(Web remote: http://[^:/]+:(\d+)/\?key=(\w+))");
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end) {
      std::smatch found;
      const std::string text = Output();
      if (std::regex_search(text, found, line)) {
        port = static_cast<uint16_t>(std::stoi(found[1]));
        key = found[2];
        return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // Types a key (or its word) and Enter, as at the simulator's terminal.
  bool Type(const std::string& typed) {
    const std::string line = typed + "\n";
    return keys_ >= 0 &&
           write(keys_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  }
  std::string ControlAddress() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/?key=" + key;
  }
  std::string Output() {
    std::lock_guard lock(mutex_);
    return output_;
  }

  uint16_t port = 0;
  std::string key;

 private:
  pid_t pid_ = -1;
  int keys_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::string output_;
};

// A web remote client of one rig that keeps the state document as the patches leave it.
class Page {
 public:
  bool Open(uint16_t port, const std::string& key) {
    // A client's socket serves one connection: a refused attempt needs a new one.
    client_ = std::make_unique<WebSocketClient>();
    if (client_->Connect(port, "/ws?key=" + key) != 101) return false;
    document_ = Json();
    return WaitFor([](const Json& d) { return d.is_object(); });
  }
  // Reads until `condition` holds for the document, within the patience.
  bool WaitFor(const std::function<bool(const Json&)>& condition) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (!condition(document_)) {
      if (std::chrono::steady_clock::now() > end) return false;
      const std::optional<std::string> message = client_->Read(2s);
      if (!message) {
        if (!client_->IsOpen()) return false;
        continue;
      }
      // A whole document, or a patch on the last one; other messages are not the state.
      const Json patch = Json::parse(*message, nullptr, false);
      if (!patch.is_object()) continue;
      if (patch.value("type", "") == "REFUSED") refusals_.push_back(patch.value("reason", ""));
      if (patch.value("type", "") == "STATE") {
        document_ = patch;
      } else if (!patch.contains("type") && document_.is_object()) {
        document_.merge_patch(patch);
      }
    }
    return true;
  }
  // A backup answers to the main's key only once it has adopted it.
  bool OpenOnceAdopted(uint16_t port, const std::string& key) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end) {
      if (Open(port, key)) return true;
      std::this_thread::sleep_for(250ms);
    }
    return false;
  }
  bool Send(const std::string& command) { return client_ && client_->Send(command); }
  const Json& Document() const { return document_; }
  // Why the commands of this page were refused, in order.
  const std::vector<std::string>& Refusals() const { return refusals_; }

 private:
  std::unique_ptr<WebSocketClient> client_;
  Json document_;
  std::vector<std::string> refusals_;
};

bool RigSays(const Json& document, const char* member, const Json& value) {
  return document.contains("rig") && document["rig"].value(member, Json()) == value;
}

bool Differs(const Json& document, const std::string& line) {
  if (!document.contains("rig")) return false;
  for (const Json& difference : document["rig"]["projectDifferences"]) {
    if (difference.is_string() && difference.get<std::string>() == line) return true;
  }
  return false;
}

std::string WriteProject(const std::filesystem::path& folder, const std::string& name,
                         const std::string& secondSong) {
  const std::filesystem::path file = folder / name;
  std::ofstream(file) << "name \"Two rigs\"\nduration 20\ntempo bar 1 120 4/4\n"
                      << "song 1 \"Opener\" 0 60\n"
                      << "song 2 \"" << secondSong << "\" 60 120\n"
                      << "song 3 \"Closer\" 120 180\n"
                      << "setlist 1 2 3\n";
  return file.string();
}

class TwoRigs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("QUORVANE_SIM").empty()) << "QUORVANE_SIM names the simulator";
    folder_ =
        std::filesystem::temp_directory_path() / ("quorvane-rigs-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    mainProject_ = WriteProject(folder_, "main.txt", "Outro (long)");
    backupProject_ = WriteProject(folder_, "backup.txt", "Outro");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A main and the backup that follows it, each with a page open; the backup's answers to the
  // main's key once it adopted it (the same phone address works on both rigs).
  struct Rigs {
    std::unique_ptr<Sim> main;
    std::unique_ptr<Sim> backup;
    Page onMain;
    Page onBackup;
  };
  void StartBoth(Rigs& rigs, const std::vector<std::string>& mainArgs) {
    rigs.main = std::make_unique<Sim>(mainArgs);
    ASSERT_TRUE(rigs.main->ReadAddress()) << rigs.main->Output();
    rigs.backup = std::make_unique<Sim>(std::vector<std::string>{
        "--project", backupProject_, "--follow", rigs.main->ControlAddress()});
    ASSERT_TRUE(rigs.backup->ReadAddress()) << rigs.backup->Output();
    ASSERT_TRUE(rigs.onMain.Open(rigs.main->port, rigs.main->key));
    ASSERT_TRUE(rigs.onBackup.OpenOnceAdopted(rigs.backup->port, rigs.main->key))
        << "the backup never took the main's key";
  }
  void StartBoth(Rigs& rigs) { StartBoth(rigs, {"--project", mainProject_, "--rig", "main"}); }

  // The show started on the main, the main killed mid-song and started again: the backup leads,
  // the main follows it.
  void MainDiesMidSongAndComesBack(Rigs& rigs) {
    // The main's settings file keeps its port and keys across its restart.
    const std::string settings = (folder_ / "main-settings.txt").string();
    const std::vector<std::string> mainArgs = {"--project", mainProject_, "--rig",
                                               "main",      "--settings", settings};
    ASSERT_NO_FATAL_FAILURE(StartBoth(rigs, mainArgs));
    const uint16_t mainPort = rigs.main->port;
    const std::string mainKey = rigs.main->key;
    Page& onBackup = rigs.onBackup;
    ASSERT_TRUE(onBackup.WaitFor([](const Json& d) { return RigSays(d, "connected", true); }));
    ASSERT_TRUE(rigs.onMain.Send(R"({"cmd":"MODE_LIVE"})"));
    ASSERT_TRUE(rigs.onMain.Send(R"({"cmd":"LIVE_START_SHOW"})"));
    ASSERT_TRUE(onBackup.WaitFor([](const Json& d) {
      return d.value("playing", false) && d.value("position", 0.0) > 2.0;
    })) << onBackup.Document().dump();

    rigs.main->Kill(SIGKILL);
    rigs.main.reset();
    ASSERT_TRUE(onBackup.WaitFor([](const Json& d) { return RigSays(d, "leading", true); }));

    // The main comes back mid-song and plays the backup's show with it, without taking the lead.
    rigs.main = std::make_unique<Sim>(mainArgs);
    ASSERT_TRUE(rigs.main->ReadAddress()) << rigs.main->Output();
    ASSERT_EQ(rigs.main->port, mainPort);
    ASSERT_EQ(rigs.main->key, mainKey);
    Page& onMain = rigs.onMain;
    ASSERT_TRUE(onMain.Open(rigs.main->port, rigs.main->key));
    ASSERT_TRUE(onMain.WaitFor([](const Json& d) {
      return RigSays(d, "leading", false) && RigSays(d, "onBackupRig", true) &&
             d.value("showStatus", "") == "LIVE" && d.value("currentIndex", -1) == 0 &&
             d.value("playing", false);
    })) << onMain.Document().dump();
  }

  std::filesystem::path folder_;
  std::string mainProject_;
  std::string backupProject_;
};

TEST_F(TwoRigs, TheBackupFollowsTheMainTakesItsKeysAndPassesCommandsOn) {
  Rigs rigs;
  ASSERT_NO_FATAL_FAILURE(StartBoth(rigs));
  Page& onMain = rigs.onMain;
  Page& onBackup = rigs.onBackup;

  // The main sees its backup connected, where its pages would go, and how the projects differ.
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) {
    return RigSays(d, "role", "main") && RigSays(d, "connected", true) &&
           d["rig"]["backupAddress"].get<std::string>().rfind("http://", 0) == 0;
  })) << onMain.Document().value("rig", Json()).dump();
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) {
    return Differs(d, "Region 2: name 'Outro (long)' here, 'Outro' on the backup");
  })) << onMain.Document().value("rig", Json()).dump();

  // The backup shows the same difference from its side.
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) {
    return RigSays(d, "role", "backup") && RigSays(d, "connected", true) &&
           RigSays(d, "leading", false) &&
           Differs(d, "Region 2: name 'Outro' here, 'Outro (long)' on the main");
  })) << onBackup.Document().value("rig", Json()).dump();

  // A command given to the backup's page runs on the main.
  const std::string before = onMain.Document().value("showStatus", "");
  EXPECT_NE(before, "LIVE");
  ASSERT_TRUE(onBackup.Send(R"({"cmd":"MODE_LIVE"})"));
  ASSERT_TRUE(onBackup.Send(R"({"cmd":"LIVE_START_SHOW"})"));
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) { return d.value("showStatus", "") == "LIVE"; }))
      << onMain.Document().value("showStatus", "");

  // So does a key pressed at the backup (the host's action): the main stops.
  ASSERT_TRUE(onMain.WaitFor([](const Json& d) { return d.value("playing", false); }));
  ASSERT_TRUE(rigs.backup->Type("x"));
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) { return !d.value("playing", true); }))
      << rigs.backup->Output();
}

TEST_F(TwoRigs, WhenTheMainDiesMidSongTheBackupPlaysOnLeadsAndTakesCommands) {
  Rigs rigs;
  ASSERT_NO_FATAL_FAILURE(StartBoth(rigs));
  Page& onMain = rigs.onMain;
  Page& onBackup = rigs.onBackup;
  ASSERT_TRUE(onBackup.WaitFor([](const Json& d) { return RigSays(d, "connected", true); }));

  ASSERT_TRUE(onMain.Send(R"({"cmd":"MODE_LIVE"})"));
  ASSERT_TRUE(onMain.Send(R"({"cmd":"LIVE_START_SHOW"})"));
  // The backup plays the main's first song with it, a few seconds in.
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) {
    return d.value("showStatus", "") == "LIVE" && d.value("playing", false) &&
           d.value("currentIndex", -1) == 0 && d.value("position", 0.0) > 3.0;
  })) << onBackup.Document().dump();
  ASSERT_TRUE(onMain.WaitFor([](const Json& d) { return d.value("playing", false); }));

  rigs.main->Kill(SIGKILL);
  bool stopped = false;
  EXPECT_TRUE(onBackup.WaitFor([&](const Json& d) {
    stopped = stopped || !d.value("playing", false);
    return RigSays(d, "leading", true) && RigSays(d, "onBackupRig", true);
  })) << onBackup.Document().value("rig", Json()).dump();
  EXPECT_FALSE(stopped) << "the audience heard the main die";
  EXPECT_EQ(onBackup.Document().value("currentIndex", -1), 0);

  // Leading, the backup runs its commands itself.
  ASSERT_TRUE(onBackup.Send(R"({"cmd":"LIVE_STOP"})"));
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) { return !d.value("playing", true); }));
  EXPECT_TRUE(onBackup.Refusals().empty()) << onBackup.Refusals().front();
}

TEST_F(TwoRigs, AMainThatComesBackFollowsTheLeadingBackupUntilTheShowIsHandedBack) {
  Rigs rigs;
  ASSERT_NO_FATAL_FAILURE(MainDiesMidSongAndComesBack(rigs));
  Page& onBackup = rigs.onBackup;
  Page& onMain = rigs.onMain;

  // Not while a song plays; once it stopped (given on the main, it stops on the backup, which
  // leads), the lead goes back.
  ASSERT_TRUE(onBackup.Send(R"({"cmd":"RIG_HAND_BACK"})"));
  EXPECT_TRUE(onBackup.WaitFor([&](const Json&) { return !onBackup.Refusals().empty(); }));
  ASSERT_FALSE(onBackup.Refusals().empty());
  EXPECT_EQ(onBackup.Refusals().front(), "Hand the show back between songs.");
  ASSERT_TRUE(onMain.Send(R"({"cmd":"LIVE_STOP"})"));
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) { return !d.value("playing", true); }));
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) { return !d.value("playing", true); }));
  ASSERT_TRUE(onBackup.Send(R"({"cmd":"RIG_HAND_BACK"})"));
  EXPECT_TRUE(onMain.WaitFor([](const Json& d) {
    return RigSays(d, "leading", true) && RigSays(d, "onBackupRig", false);
  })) << onMain.Document().value("rig", Json()).dump();
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) {
    return RigSays(d, "leading", false) && RigSays(d, "onBackupRig", false);
  })) << onBackup.Document().value("rig", Json()).dump();
  EXPECT_EQ(onBackup.Refusals().size(), 1u);

  // The main leads again: the next song it starts, the backup plays with it.
  ASSERT_TRUE(onMain.Send(R"({"cmd":"LIVE_PLAY_NEXT"})"));
  EXPECT_TRUE(onBackup.WaitFor([](const Json& d) {
    return d.value("playing", false) && d.value("currentIndex", -1) == 1;
  })) << onBackup.Document().dump();
}

TEST_F(TwoRigs, AMainFollowingTheBackupPlaysOnAndLeadsWhenTheBackupDies) {
  Rigs rigs;
  ASSERT_NO_FATAL_FAILURE(MainDiesMidSongAndComesBack(rigs));
  rigs.backup->Kill(SIGKILL);
  bool stopped = false;
  EXPECT_TRUE(rigs.onMain.WaitFor([&](const Json& d) {
    stopped = stopped || !d.value("playing", false);
    return RigSays(d, "leading", true);
  })) << rigs.onMain.Document().value("rig", Json()).dump();
  EXPECT_FALSE(stopped) << "the audience heard the backup die";
  EXPECT_EQ(rigs.onMain.Document().value("currentIndex", -1), 0);

  // Leading, the main runs its commands itself.
  ASSERT_TRUE(rigs.onMain.Send(R"({"cmd":"LIVE_STOP"})"));
  EXPECT_TRUE(rigs.onMain.WaitFor([](const Json& d) { return !d.value("playing", true); }));
  EXPECT_TRUE(rigs.onMain.Refusals().empty()) << rigs.onMain.Refusals().front();
}

TEST_F(TwoRigs, ABackupWithAMalformedAddressSaysWhy) {
  Sim backup({"--project", backupProject_, "--follow", "192.168.1.20:8470"});
  ASSERT_TRUE(backup.ReadAddress()) << backup.Output();
  Page page;
  ASSERT_TRUE(page.Open(backup.port, backup.key));
  EXPECT_TRUE(page.WaitFor([](const Json& d) {
    return d.contains("rig") && d["rig"].value("problem", "").find("http://") != std::string::npos;
  })) << page.Document().value("rig", Json()).dump();
}

}  // namespace
}  // namespace quorvane
