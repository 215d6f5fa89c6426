// The fixture of the window suites: the stage with its window opened through the Show/Hide action.
#pragma once

#include <gtest/gtest.h>

#include "window/window_stage.h"

namespace quorvane::window_tests {

constexpr COLORREF Rgb(int r, int g, int b) {
  return static_cast<COLORREF>(r | (g << 8) | (b << 16));
}

class OpenWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stage.loaded);
    window = stage.ShowHide();
    ASSERT_NE(window, nullptr);
  }
  HWND C(int id) const { return stage.Control(id); }
  int ClientWidth() const { return ClientRect().right; }
  int ClientHeight() const { return ClientRect().bottom; }

  WindowStage stage;
  HWND window = nullptr;

 private:
  RECT ClientRect() const {
    RECT client{};
    GetClientRect(window, &client);
    return client;
  }
};

}  // namespace quorvane::window_tests
