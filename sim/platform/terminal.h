// The console quorvane-sim draws its status on and reads its keys from: whether a stream is a
// terminal, its width, escape sequences, and single keys without Enter where the system allows.
#pragma once

#include <memory>
#include <optional>

namespace quorvane::platform {

enum class StandardStream { kInput, kOutput };

// True when the stream is an interactive terminal (a console on Windows), not a file or a pipe.
bool IsTerminal(StandardStream stream);

// Makes the console interpret ANSI escape sequences (on Windows it has to be asked to); false when
// it cannot, and the caller then writes plain lines.
bool EnableTerminalEscapes();

// The output terminal's width in columns; 0 when unknown.
int TerminalColumns();

// The input terminal in raw mode: keys arrive one by one, unechoed, without waiting for Enter.
// Ctrl+C still raises SIGINT. The terminal's settings are put back by Restore and by the
// destructor, so that every way out of the program leaves a usable shell behind.
class RawKeyboard {
 public:
  RawKeyboard();
  ~RawKeyboard();
  RawKeyboard(const RawKeyboard&) = delete;
  RawKeyboard& operator=(const RawKeyboard&) = delete;

  // False when the input is not a terminal or the system offers no raw mode here (Windows: the
  // caller reads lines instead).
  bool Enter();
  void Restore();
  bool IsActive() const { return saved_ != nullptr; }

  // The next key, waiting at most `timeoutMilliseconds`; nothing when none came or not active.
  std::optional<char> ReadKey(int timeoutMilliseconds);

 private:
  struct Saved;  // the terminal's settings before Enter
  std::unique_ptr<Saved> saved_;
};

}  // namespace quorvane::platform
