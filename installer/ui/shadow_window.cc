#include "installer/ui/shadow_window.h"

#include <memory>

#include "installer/lite_util/logging/log.h"
#include "installer/ui/gdiplus_flat.h"

namespace lite_installer {

void ShadowPieceRects(int w, int h, int m, int a, RECT rects[8]) {
  int c = 2 * m + a;
  rects[0] = {0, 0, c, c};                          // top-left
  rects[1] = {w - a, 0, w + 2 * m, c};              // top-right
  rects[2] = {w - a, h - a, w + 2 * m, h + 2 * m};  // bottom-right
  rects[3] = {0, h - a, c, h + 2 * m};              // bottom-left
  rects[4] = {0, c, a + m, h - a};                  // left
  rects[5] = {c, 0, w - a, a + m};                  // top
  rects[6] = {m + w - a, c, w + 2 * m, h - a};      // right
  rects[7] = {c, h + m - a, w - a, h + 2 * m};      // bottom
}

bool ShadowWindow::Create(HWND owner, const ShadowPictures& pictures,
                          int margin, int overlap) {
  RECT rect;
  if (!::GetWindowRect(owner, &rect)) {
    PLOG(ERROR) << "No window rectangle for the shadow";
    return false;
  }
  int w = rect.right - rect.left;
  int h = rect.bottom - rect.top;
  int width = w + 2 * margin;
  int height = h + 2 * margin;
  window_.Set(::CreateWindowExW(
      WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE, L"STATIC",
      nullptr, WS_POPUPWINDOW, rect.left - margin, rect.top - margin, width,
      height, owner, nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (!window_.IsValid()) {
    PLOG(ERROR) << "Failed to create the shadow window";
    return false;
  }
  margin_ = margin;

  // A 32-bpp top-down DIB section with premultiplied alpha: a bitmap
  // compatible with the screen has no alpha channel on many displays.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  lite_util::ScopedGetDC screen(nullptr);
  lite_util::ScopedBitmap dib(::CreateDIBSection(screen.Get(), &info,
                                                 DIB_RGB_COLORS, &bits,
                                                 nullptr, 0));
  lite_util::ScopedMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  if (!dib.IsValid() || !bits || !memory.IsValid()) {
    PLOG(ERROR) << "Failed to create the shadow bitmap";
    window_.Close();
    return false;
  }
  {
    // GDI+ draws straight into the DIB's memory, alpha included.
    void* image = nullptr;
    void* graphics = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, width * 4,
                                  gdiplus::kPixelFormat32bppPARGB,
                                  static_cast<BYTE*>(bits), &image) ==
            gdiplus::kOk &&
        GdipGetImageGraphicsContext(image, &graphics) == gdiplus::kOk) {
      GdipSetInterpolationMode(graphics, gdiplus::kInterpolationNearestNeighbor);
      GdipSetPixelOffsetMode(graphics, gdiplus::kPixelOffsetHalf);
      RECT rects[8];
      ShadowPieceRects(w, h, margin, overlap, rects);
      for (int i = 0; i < 8; ++i) {
        const ResourceBitmap& piece = pictures.pieces[i];
        piece.DrawInto(graphics, rects[i]);
      }
    }
    if (graphics) GdipDeleteGraphics(graphics);
    if (image) GdipDisposeImage(image);
  }
  lite_util::ScopedSelectObject select(memory.Get(), dib.Get());
  POINT origin = {rect.left - margin, rect.top - margin};
  SIZE size = {width, height};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!::UpdateLayeredWindow(window_.Get(), screen.Get(), &origin, &size,
                             memory.Get(), &source, 0, &blend, ULW_ALPHA)) {
    PLOG(ERROR) << "Failed to draw the shadow";
  }
  ::ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
  return true;
}

void ShadowWindow::Follow(HWND owner) {
  RECT rect;
  if (!window_.IsValid() || !::GetWindowRect(owner, &rect)) return;
  ::SetWindowPos(window_.Get(), nullptr, rect.left - margin_,
                 rect.top - margin_, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShadowWindow::Show(bool show) {
  if (window_.IsValid())
    ::ShowWindow(window_.Get(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

}  // namespace lite_installer
