#include "window/images.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>

namespace quorvane::window {

namespace gp = Gdiplus::DllExports;

void ImageDeleter::operator()(Gdiplus::GpImage* image) const {
  if (image) gp::GdipDisposeImage(image);
}

bool GdiplusSession::Start() {
  if (token_ != 0) return true;
  Gdiplus::GdiplusStartupInput input;
  input.GdiplusVersion = 1;
  input.DebugEventCallback = nullptr;
  input.SuppressBackgroundThread = FALSE;
  input.SuppressExternalCodecs = FALSE;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  token_ = token;
  return true;
}

void GdiplusSession::Shutdown() {
  if (token_ == 0) return;
  Gdiplus::GdiplusShutdown(token_);
  token_ = 0;
}

OwnedImage LoadImageFromMemory(std::span<const unsigned char> bytes) {
  if (bytes.empty()) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  void* data = GlobalLock(block);
  if (!data) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  GlobalUnlock(block);

  IStream* stream = nullptr;
  // The stream frees the block when it is released.
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
    GlobalFree(block);
    return nullptr;
  }
  Gdiplus::GpImage* decoded = nullptr;
  if (gp::GdipLoadImageFromStreamICM(stream, &decoded) != Gdiplus::Ok || !decoded) {
    if (decoded) gp::GdipDisposeImage(decoded);
    stream->Release();
    return nullptr;
  }
  // GDI+ may read the stream lazily; a clone holds its own pixels.
  Gdiplus::GpImage* clone = nullptr;
  const Gdiplus::GpStatus cloned = gp::GdipCloneImage(decoded, &clone);
  gp::GdipDisposeImage(decoded);
  stream->Release();
  if (cloned != Gdiplus::Ok) {
    if (clone) gp::GdipDisposeImage(clone);
    return nullptr;
  }
  return OwnedImage(clone);
}

ImagePlace FitImageRect(int imageWidth, int imageHeight, const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || imageWidth <= 0 || imageHeight <= 0) return ImagePlace{};
  const double scale =
      std::min(static_cast<double>(width) / imageWidth, static_cast<double>(height) / imageHeight);
  const int drawnWidth = std::max(static_cast<int>(scale * imageWidth + 0.5), 1);
  const int drawnHeight = std::max(static_cast<int>(scale * imageHeight + 0.5), 1);
  return ImagePlace{rect.left + (width - drawnWidth) / 2, rect.top + (height - drawnHeight) / 2,
                    drawnWidth, drawnHeight};
}

void DrawImageFit(HDC dc, Gdiplus::GpImage* image, const RECT& rect) {
  if (!dc || !image) return;
  UINT imageWidth = 0;
  UINT imageHeight = 0;
  if (gp::GdipGetImageWidth(image, &imageWidth) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(image, &imageHeight) != Gdiplus::Ok) {
    return;
  }
  const ImagePlace place =
      FitImageRect(static_cast<int>(imageWidth), static_cast<int>(imageHeight), rect);
  if (place.width <= 0) return;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (gp::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok || !graphics) return;
  gp::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
  gp::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);
  gp::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
  gp::GdipDrawImageRectI(graphics, image, place.left, place.top, place.width, place.height);
  gp::GdipDeleteGraphics(graphics);
}

}  // namespace quorvane::window
