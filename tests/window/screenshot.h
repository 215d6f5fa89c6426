// What the window shows, as pixels: a capture of its client area that a test can sample and save
// as a PNG (GDI+'s own encoder).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace quorvane::window_tests {

class Capture {
 public:
  // Repaints the window and its controls, then copies the client area.
  explicit Capture(HWND window);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  bool Valid() const { return bitmap_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  COLORREF Pixel(int x, int y) const;
  // Whether any pixel of the rectangle differs between the two captures.
  bool DiffersFrom(const Capture& other, const RECT& area) const;
  // Writes <screenshot folder>/<name>.png; false when it could not.
  bool SavePng(const std::string& name) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Whether `colour` is within `tolerance` of `expected` in every channel.
bool NearColour(COLORREF colour, COLORREF expected, int tolerance = 8);

}  // namespace quorvane::window_tests
