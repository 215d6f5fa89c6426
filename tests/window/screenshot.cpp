#include "window/screenshot.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace quorvane::window_tests {
namespace {

namespace gp = Gdiplus::DllExports;

// GDI+ for the encoder, started once for the test program.
struct GdiplusForTests {
  GdiplusForTests() {
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }
  ULONG_PTR token = 0;
  bool started = false;
};

bool PngEncoder(CLSID* clsid) {
  UINT count = 0;
  UINT bytes = 0;
  if (gp::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gp::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

Capture::Capture(HWND window) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  Pump();
  RECT client;
  GetClientRect(window, &client);
  width_ = client.right;
  height_ = client.bottom;
  HDC screen = GetDC(window);
  dc_ = CreateCompatibleDC(screen);
  bitmap_ = CreateCompatibleBitmap(screen, width_, height_);
  previous_ = SelectObject(dc_, bitmap_);
  BitBlt(dc_, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  ReleaseDC(window, screen);
}

Capture::~Capture() {
  if (dc_) {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

COLORREF Capture::Pixel(int x, int y) const {
  return GetPixel(dc_, x, y);
}

bool Capture::DiffersFrom(const Capture& other, const RECT& area) const {
  for (int y = area.top; y < area.bottom; y += 2) {
    for (int x = area.left; x < area.right; x += 2) {
      if (Pixel(x, y) != other.Pixel(x, y)) return true;
    }
  }
  return false;
}

bool Capture::SavePng(const std::string& name) const {
  static GdiplusForTests gdiplus;
  if (!gdiplus.started || !bitmap_) return false;
  const std::filesystem::path folder(QUORVANE_SCREENSHOT_DIR);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  CLSID png;
  if (!PngEncoder(&png)) return false;
  // The bitmap must not be selected into a context while GDI+ copies it.
  SelectObject(dc_, previous_);
  Gdiplus::GpBitmap* image = nullptr;
  bool saved = false;
  if (gp::GdipCreateBitmapFromHBITMAP(bitmap_, nullptr, &image) == Gdiplus::Ok && image) {
    const std::wstring file = (folder / (name + ".png")).wstring();
    saved = gp::GdipSaveImageToFile(image, file.c_str(), &png, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(image);
  }
  SelectObject(dc_, bitmap_);
  return saved;
}

bool NearColour(COLORREF colour, COLORREF expected, int tolerance) {
  const auto channel = [](COLORREF c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  for (int shift : {0, 8, 16}) {
    if (std::abs(channel(colour, shift) - channel(expected, shift)) > tolerance) return false;
  }
  return true;
}

}  // namespace quorvane::window_tests
