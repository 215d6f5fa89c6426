// quorvane-sim killed mid-show (SIGKILL: nothing is unloaded, nothing saved) and started again on
// the same project file and settings file, as a technician restarts a crashed host: the show goes
// on where it was, with nothing playing. The second run is read as a remote app reads it, from the
// state document its server sends over loopback.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "remote/loopback_client.h"

extern char** environ;

namespace {

using nlohmann::json;
using quorvane::remote::testing::LineClient;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// Four four-second songs at 120 BPM (two bars each); the second follows the first by itself, the
// third waits for the band.
constexpr const char* kProject = R"(name "Restart Rehearsal"
song 1 "One" 0 4
song 2 "Two" 4 8
song 3 "Three" 10 14
song 4 "Four" 16 20
setlist 1 2+ 3 4
)";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The simulator as a child process: its output read line by line, its input kept open (it reads
// keys from it), killed and reaped on the way out whatever happened.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& options) {
    int output[2] = {-1, -1};
    int input[2] = {-1, -1};
    if (pipe(output) != 0 || pipe(input) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    for (const int fd : {output[0], output[1], input[0], input[1]})
      posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<std::string> args{QUORVANE_SIM_PROGRAM, "--library", QUORVANE_LIBRARY, "--plain"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(input[0]);
    output_ = output[0];
    input_ = input[1];
  }
  ~SimProcess() {
    Signal(SIGKILL);
    Reap(5s);
    if (output_ >= 0) close(output_);
    if (input_ >= 0) close(input_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  void Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }
  // The exit status once it ended within `patience`; -1 otherwise.
  int Reap(std::chrono::milliseconds patience) {
    const auto deadline = SteadyClock::now() + patience;
    while (pid_ > 0) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      if (SteadyClock::now() >= deadline) return -1;
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  // Reads what the program wrote until a line matches `pattern` or `patience` passed; the match.
  std::optional<std::smatch> WaitForLine(const std::regex& pattern,
                                         std::chrono::milliseconds patience) {
    const auto deadline = SteadyClock::now() + patience;
    while (true) {
      for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
        std::smatch match;
        if (std::regex_search(lines_.back(), match, pattern)) return match;
      }
      if (!Drain(deadline)) return std::nullopt;
    }
  }
  // Keeps reading for a while, so that the program never blocks on a full pipe.
  void DrainFor(std::chrono::milliseconds time) {
    const auto deadline = SteadyClock::now() + time;
    while (SteadyClock::now() < deadline)
      Drain(deadline);
  }
  std::string Transcript() const {
    std::string text;
    for (const std::string& line : lines_)
      text += line + "\n";
    return text + pending_;
  }

 private:
  bool Drain(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0 || output_ < 0) return false;
    pollfd entry{output_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(output_, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int output_ = -1;
  int input_ = -1;
  std::string pending_;
  std::vector<std::string> lines_;
};

class SimRestart : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("quorvane-restart-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "rehearsal.txt") << kProject;
    std::filesystem::remove(Settings());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path Settings() const { return folder_ / "host-settings.ini"; }
  std::vector<std::string> Options(std::vector<std::string> more = {}) const {
    std::vector<std::string> options{"--project", (folder_ / "rehearsal.txt").string(),
                                     "--settings", Settings().string()};
    options.insert(options.end(), more.begin(), more.end());
    return options;
  }
  // Polls the settings file until it holds `text`, reading the program's output meanwhile.
  bool SettingsHold(SimProcess& sim, const std::string& text, std::chrono::seconds patience) {
    const auto deadline = SteadyClock::now() + patience;
    while (SteadyClock::now() < deadline) {
      if (ReadFile(Settings()).find(text) != std::string::npos) return true;
      sim.DrainFor(50ms);
    }
    return false;
  }

 private:
  std::filesystem::path folder_;
};

TEST_F(SimRestart, AKilledSimulatorStartedAgainGoesOnWithTheShowStopped) {
  {
    SimProcess first(Options({"--action", "Quorvane_StartShow"}));
    ASSERT_TRUE(first.Running());
    // One and Two played (Two followed on by itself); the show waits before Three.
    ASSERT_TRUE(SettingsHold(first, "played=1,2", 20s)) << first.Transcript();
    first.Signal(SIGKILL);
    ASSERT_NE(first.Reap(5s), -1);
  }
  const std::string kept = ReadFile(Settings());
  std::smatch start;
  ASSERT_TRUE(std::regex_search(kept, start, std::regex("status=LIVE;start=([0-9]+);"))) << kept;
  const int64_t startedAt = std::stoll(start[1].str());

  SimProcess second(Options());
  ASSERT_TRUE(second.Running());
  const auto announced = second.WaitForLine(std::regex("Remote server on port ([0-9]+)"), 15s);
  ASSERT_TRUE(announced) << second.Transcript();
  LineClient client(static_cast<uint16_t>(std::stoi((*announced)[1].str())));
  ASSERT_TRUE(client.IsConnected());
  std::optional<json> state;
  for (int lines = 0; lines < 20 && !state; ++lines) {
    const auto line = client.ReadLine(5s);
    ASSERT_TRUE(line) << second.Transcript();
    json document = json::parse(*line);
    if (document["type"] == "STATE") state = std::move(document);
  }
  ASSERT_TRUE(state);
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();

  EXPECT_EQ((*state)["showStatus"], "LIVE");
  EXPECT_EQ((*state)["page"], "LIVE");
  EXPECT_FALSE((*state)["playing"].get<bool>());
  EXPECT_EQ((*state)["currentIndex"], 1);
  EXPECT_EQ((*state)["liveTransport"], "NEXT");  // Two had finished: Three comes next
  EXPECT_TRUE((*state)["resumed"].get<bool>());
  ASSERT_EQ((*state)["setlist"].size(), 4u);
  EXPECT_TRUE((*state)["setlist"][0]["played"].get<bool>());
  EXPECT_TRUE((*state)["setlist"][1]["played"].get<bool>());
  EXPECT_FALSE((*state)["setlist"][2]["played"].get<bool>());
  // The show's clock counts from the first run's start, across the restart.
  EXPECT_NEAR((*state)["showElapsed"].get<double>(), static_cast<double>(now - startedAt) / 1000.0,
              1.0);
  second.DrainFor(300ms);
  EXPECT_EQ(second.Transcript().find("playing \""), std::string::npos) << second.Transcript();

  second.Signal(SIGTERM);
  const int status = second.Reap(10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << second.Transcript();
}

}  // namespace
