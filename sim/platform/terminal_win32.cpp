#include <windows.h>

#include "sim/platform/terminal.h"

namespace quorvane::platform {
namespace {

HANDLE StandardHandle(StandardStream stream) {
  return GetStdHandle(stream == StandardStream::kInput ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
}

}  // namespace

// Keys come as lines on Windows; nothing is ever saved.
struct RawKeyboard::Saved {};

bool IsTerminal(StandardStream stream) {
  DWORD mode = 0;
  HANDLE handle = StandardHandle(stream);
  return handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

bool EnableTerminalEscapes() {
  HANDLE output = StandardHandle(StandardStream::kOutput);
  DWORD mode = 0;
  if (output == nullptr || GetConsoleMode(output, &mode) == 0) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(StandardHandle(StandardStream::kOutput), &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

RawKeyboard::RawKeyboard() = default;
RawKeyboard::~RawKeyboard() = default;

bool RawKeyboard::Enter() {
  return false;
}

void RawKeyboard::Restore() {}

std::optional<char> RawKeyboard::ReadKey(int /*timeoutMilliseconds*/) {
  return std::nullopt;
}

}  // namespace quorvane::platform
