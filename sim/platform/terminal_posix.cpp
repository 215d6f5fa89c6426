#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "sim/platform/terminal.h"

namespace quorvane::platform {

struct RawKeyboard::Saved {
  termios settings;
};

bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kInput ? STDIN_FILENO : STDOUT_FILENO) == 1;
}

bool EnableTerminalEscapes() {
  return IsTerminal(StandardStream::kOutput);
}

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

RawKeyboard::RawKeyboard() = default;

RawKeyboard::~RawKeyboard() {
  Restore();
}

bool RawKeyboard::Enter() {
  if (saved_) return true;
  if (!IsTerminal(StandardStream::kInput)) return false;
  auto saved = std::make_unique<Saved>();
  if (tcgetattr(STDIN_FILENO, &saved->settings) != 0) return false;
  termios raw = saved->settings;
  // No line editing and no echo; signals (ISIG) stay, so Ctrl+C still interrupts.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
  saved_ = std::move(saved);
  return true;
}

void RawKeyboard::Restore() {
  if (!saved_) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
  saved_.reset();
}

std::optional<char> RawKeyboard::ReadKey(int timeoutMilliseconds) {
  if (!saved_) return std::nullopt;
  pollfd entry{STDIN_FILENO, POLLIN, 0};
  if (poll(&entry, 1, timeoutMilliseconds) <= 0 || (entry.revents & POLLIN) == 0) {
    return std::nullopt;
  }
  char key = 0;
  if (read(STDIN_FILENO, &key, 1) != 1) return std::nullopt;
  return key;
}

}  // namespace quorvane::platform
