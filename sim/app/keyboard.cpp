#include "sim/app/keyboard.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

namespace quorvane::sim {

struct KeyboardInput::Lines {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> queue;
  bool ended = false;
};

KeyCommand CommandForKey(char key) {
  switch (key) {
    case 's':
    case 'S':
      return KeyCommand::kStart;
    case 'n':
    case 'N':
      return KeyCommand::kNext;
    case 'x':
    case 'X':
      return KeyCommand::kStop;
    case 'e':
    case 'E':
      return KeyCommand::kEnd;
    case 'p':
    case 'P':
      return KeyCommand::kPlayCurrent;
    case 'w':
    case 'W':
      return KeyCommand::kWindow;
    case 'q':
    case 'Q':
      return KeyCommand::kQuit;
    default:
      return KeyCommand::kNone;
  }
}

KeyCommand CommandForLine(std::string_view line) {
  std::string word;
  for (const char c : line) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    word += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  if (word.size() == 1) return CommandForKey(word[0]);
  if (word == "start") return KeyCommand::kStart;
  if (word == "next") return KeyCommand::kNext;
  if (word == "stop") return KeyCommand::kStop;
  if (word == "end") return KeyCommand::kEnd;
  if (word == "play" || word == "playcurrent") return KeyCommand::kPlayCurrent;
  if (word == "window") return KeyCommand::kWindow;
  if (word == "quit" || word == "exit") return KeyCommand::kQuit;
  return KeyCommand::kNone;
}

const char* ActionForCommand(KeyCommand command) {
  switch (command) {
    case KeyCommand::kStart:
      return "Quorvane_StartShow";
    case KeyCommand::kNext:
      return "Quorvane_EnginePlayNext";
    case KeyCommand::kStop:
      return "Quorvane_EngineStop";
    case KeyCommand::kEnd:
      return "Quorvane_EndShow";
    case KeyCommand::kPlayCurrent:
      return "Quorvane_EnginePlayCurrent";
    case KeyCommand::kWindow:
      return "Quorvane_ShowWindow";
    case KeyCommand::kQuit:
    case KeyCommand::kNone:
      break;
  }
  return nullptr;
}

std::string DescribeCommand(KeyCommand command) {
  switch (command) {
    case KeyCommand::kStart:
      return "s: start the show";
    case KeyCommand::kNext:
      return "n: play next";
    case KeyCommand::kStop:
      return "x: stop";
    case KeyCommand::kEnd:
      return "e: end the show";
    case KeyCommand::kPlayCurrent:
      return "p: play the current song";
    case KeyCommand::kWindow:
      return "w: show or hide the window";
    case KeyCommand::kQuit:
      return "q: quit";
    case KeyCommand::kNone:
      break;
  }
  return "?";
}

KeyboardInput::KeyboardInput() = default;

KeyboardInput::~KeyboardInput() {
  Stop();
}

KeyboardInput::Mode KeyboardInput::Start() {
  if (raw_.Enter()) {
    mode_ = Mode::kKeys;
    return mode_;
  }
  mode_ = Mode::kLines;
  lines_ = std::make_shared<Lines>();
  // The thread holds the shared record, so that it may finish after this object is gone.
  std::thread([shared = lines_] {
    std::string line;
    while (std::getline(std::cin, line)) {
      std::lock_guard lock(shared->mutex);
      shared->queue.push_back(line);
      shared->arrived.notify_one();
    }
    std::lock_guard lock(shared->mutex);
    shared->ended = true;
    shared->arrived.notify_one();
  }).detach();
  return mode_;
}

void KeyboardInput::Stop() {
  raw_.Restore();
}

bool KeyboardInput::Ended() const {
  if (mode_ == Mode::kKeys) return !raw_.IsActive();
  if (!lines_) return true;
  std::lock_guard lock(lines_->mutex);
  return lines_->ended && lines_->queue.empty();
}

std::vector<KeyCommand> KeyboardInput::Take(int waitMs) {
  std::vector<KeyCommand> commands;
  if (mode_ == Mode::kKeys) {
    for (std::optional<char> key = raw_.ReadKey(waitMs); key; key = raw_.ReadKey(0)) {
      const KeyCommand command = CommandForKey(*key);
      if (command != KeyCommand::kNone) commands.push_back(command);
    }
    return commands;
  }
  if (!lines_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return commands;
  }
  std::unique_lock lock(lines_->mutex);
  if (lines_->ended) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    lock.lock();
  } else {
    lines_->arrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [&] { return !lines_->queue.empty() || lines_->ended; });
  }
  for (; !lines_->queue.empty(); lines_->queue.pop_front()) {
    const KeyCommand command = CommandForLine(lines_->queue.front());
    if (command != KeyCommand::kNone) commands.push_back(command);
  }
  return commands;
}

}  // namespace quorvane::sim
