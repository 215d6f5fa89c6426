// The two pictures through GDI+: the library session, decoding from the embedded bytes, and
// drawing scaled to fit. Pictures are decoded once per window lifetime, never per paint.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "window/gdi.h"

namespace Gdiplus {
class GpImage;
}

namespace quorvane::window {

struct ImageDeleter {
  void operator()(Gdiplus::GpImage* image) const;
};
using OwnedImage = std::unique_ptr<Gdiplus::GpImage, ImageDeleter>;

// GDI+ started once and shut down when asked or when the session ends.
class GdiplusSession {
 public:
  GdiplusSession() = default;
  ~GdiplusSession() { Shutdown(); }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  bool Start();  // true when started now or before
  void Shutdown();
  bool Started() const { return token_ != 0; }

 private:
  uintptr_t token_ = 0;
};

// Null for no bytes or bytes GDI+ cannot decode. The image owns its pixels: the bytes and the
// stream they were read through are released before it is returned.
OwnedImage LoadImageFromMemory(std::span<const unsigned char> bytes);

// Scales the image to fit the rectangle without changing its proportions, centred.
void DrawImageFit(HDC dc, Gdiplus::GpImage* image, const RECT& rect);

// Where DrawImageFit puts an image of `imageWidth` x `imageHeight` in the rectangle; zero width
// when nothing would be drawn.
struct ImagePlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
ImagePlace FitImageRect(int imageWidth, int imageHeight, const RECT& rect);

}  // namespace quorvane::window
