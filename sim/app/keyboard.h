// quorvane-sim's keyboard: one key per action (s start, n next, x stop, e end, p play current,
// q quit), typed as single keys on a POSIX terminal and as lines (a key or a word, then Enter)
// everywhere else.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/platform/terminal.h"

namespace quorvane::sim {

enum class KeyCommand { kNone, kStart, kNext, kStop, kEnd, kPlayCurrent, kWindow, kQuit };

KeyCommand CommandForKey(char key);
// A typed line: a key ("n") or a word ("next", "start", "play"...), any case, spaces ignored.
KeyCommand CommandForLine(std::string_view line);
// The host action a command runs; null for quit and none.
const char* ActionForCommand(KeyCommand command);
// What the command does, for the status display: "n: play next".
std::string DescribeCommand(KeyCommand command);

class KeyboardInput {
 public:
  enum class Mode { kKeys, kLines };

  KeyboardInput();
  // Puts the terminal back; a line reader still waiting for input is left to end with the
  // program.
  ~KeyboardInput();
  KeyboardInput(const KeyboardInput&) = delete;
  KeyboardInput& operator=(const KeyboardInput&) = delete;

  // Single keys when the input is a terminal that allows it, else lines read on a thread of their
  // own (a console line cannot be waited for portably).
  Mode Start();
  // Puts the terminal back at once (also done on destruction).
  void Stop();
  // The commands typed since the last call, waiting at most `waitMs` for the first.
  std::vector<KeyCommand> Take(int waitMs);
  // True once the input has ended (lines mode: end of file); keys can no longer come.
  bool Ended() const;

 private:
  struct Lines;  // shared with the reading thread, which may outlive this object
  Mode mode_ = Mode::kLines;
  platform::RawKeyboard raw_;
  std::shared_ptr<Lines> lines_;
};

}  // namespace quorvane::sim
