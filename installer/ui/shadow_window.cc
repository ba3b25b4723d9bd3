#include "installer/ui/shadow_window.h"

#include <algorithm>
#include <cstring>
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
  grow_ = {margin, margin, margin, margin};
  RECT bounds = {rect.left - margin, rect.top - margin, rect.right + margin,
                 rect.bottom + margin};
  return CreateLayered(
      owner, bounds, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE,
      [&](void* graphics, BYTE*) {
        if (!graphics) return;
        RECT rects[8];
        ShadowPieceRects(w, h, margin, overlap, rects);
        for (int i = 0; i < 8; ++i) pictures.pieces[i].DrawInto(graphics, rects[i]);
      });
}

bool ShadowWindow::CreateFromPicture(HWND owner, const ResourceBitmap& picture,
                                     const RECT& grow) {
  RECT rect;
  if (!::GetWindowRect(owner, &rect)) {
    PLOG(ERROR) << "No window rectangle for the shadow";
    return false;
  }
  {
    lite_util::ScopedGetDC screen(nullptr);
    if (::GetDeviceCaps(screen.Get(), BITSPIXEL) < 32) return false;
  }
  RECT bounds = {rect.left - grow.left, rect.top - grow.top,
                 rect.right + grow.right, rect.bottom + grow.bottom};
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int owner_width = rect.right - rect.left;
  const int owner_height = rect.bottom - rect.top;
  grow_ = grow;
  return CreateLayered(
      owner, bounds, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE,
      [&](void* graphics, BYTE* bits) {
        if (graphics) {
          // Quadrants: each corner of the picture goes to the same corner
          // of the shadow, so a shadow of another size keeps its corners.
          const int half_w = width / 2, half_h = height / 2;
          const int pw = picture.Width(), ph = picture.Height();
          const int right_w = width - half_w, bottom_h = height - half_h;
          struct Quadrant {
            RECT target;
            int source_x, source_y;
          } quadrants[4] = {
              {{0, 0, half_w, half_h}, 0, 0},
              {{half_w, 0, width, half_h}, pw - right_w, 0},
              {{0, half_h, half_w, height}, 0, ph - bottom_h},
              {{half_w, half_h, width, height}, pw - right_w, ph - bottom_h},
          };
          for (const Quadrant& q : quadrants)
            picture.DrawPartInto(graphics, q.target, q.source_x, q.source_y);
        }
        if (bits) {
          // The box itself is the owner's; only the rim stays.
          const int x0 = grow.left;
          const int x1 = std::min<int>(grow.left + owner_width - 1, width);
          const int y1 = std::min<int>(grow.top + owner_height - 1, height);
          for (int y = grow.top; y < y1 && x1 > x0; ++y) {
            BYTE* row = bits + static_cast<size_t>(y) * width * 4;
            std::memset(row + x0 * 4, 0, static_cast<size_t>(x1 - x0) * 4);
          }
        }
      });
}

bool ShadowWindow::CreateLayered(
    HWND owner, const RECT& bounds, DWORD ex_style,
    const std::function<void(void* graphics, BYTE* bits)>& draw) {
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return false;
  window_.Set(::CreateWindowExW(ex_style, L"STATIC", nullptr, WS_POPUPWINDOW,
                                bounds.left, bounds.top, width, height, owner,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (!window_.IsValid()) {
    PLOG(ERROR) << "Failed to create the shadow window";
    return false;
  }

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
      draw(graphics, nullptr);
    }
    if (graphics) GdipDeleteGraphics(graphics);
    if (image) GdipDisposeImage(image);
    // Direct pixel work after GDI+ has let go of the bits.
    draw(nullptr, static_cast<BYTE*>(bits));
  }
  lite_util::ScopedSelectObject select(memory.Get(), dib.Get());
  POINT origin = {bounds.left, bounds.top};
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
  ::SetWindowPos(window_.Get(), nullptr, rect.left - grow_.left,
                 rect.top - grow_.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShadowWindow::Show(bool show) {
  if (window_.IsValid())
    ::ShowWindow(window_.Get(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

}  // namespace lite_installer
