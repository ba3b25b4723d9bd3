#include "installer/ui/controls/custom_progress_bar.h"

#include <commctrl.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/controls/control_background.h"
#include "installer/ui/text_drawing.h"

namespace lite_installer {

int ProgressFillWidth(int width, int low, int high, int position) {
  if (width <= 0 || high <= low) return 0;
  if (position < low) position = low;
  if (position > high) position = high;
  long long filled = static_cast<long long>(width) *
                     (static_cast<long long>(position) - low) /
                     (static_cast<long long>(high) - low);
  return static_cast<int>(filled);
}

CustomProgressBar::CustomProgressBar(HWND window, ResourceBitmap fill,
                                     ResourceBitmap track,
                                     ResourceBitmap background)
    : fill_(std::move(fill)),
      track_(std::move(track)),
      background_(std::move(background)) {
  // The progress-bar class gives itself a static edge; the pictures fill
  // the whole control, so the edge goes.
  LONG_PTR ex_style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  ::SetWindowLongPtrW(window, GWL_EXSTYLE,
                      ex_style & ~static_cast<LONG_PTR>(WS_EX_STATICEDGE |
                                                        WS_EX_CLIENTEDGE));
  ::SetWindowLongPtrW(window, GWL_STYLE,
                      style & ~static_cast<LONG_PTR>(WS_BORDER));
  ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                     SWP_FRAMECHANGED);
  Attach(window);
  accessibility_ = std::make_unique<ControlAccessibility>(window);
  accessibility_->SetRole(kRoleProgressBar);
}

CustomProgressBar::~CustomProgressBar() {
  // Before the base detaches: the accessibility subclass sits on top.
  accessibility_.reset();
}

bool CustomProgressBar::HandleMessage(HWND window, UINT message,
                                      WPARAM wparam, LPARAM lparam,
                                      LRESULT* result) {
  switch (message) {
    case WM_PAINT:
      OnPaint(window);
      *result = 0;
      return true;
    case WM_ERASEBKGND:
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
      *result = 0;
      return true;
    case PBM_SETPOS:
      *result = CallPreviousProc(window, message, wparam, lparam);
      OnPositionChanged(window);
      return true;
  }
  return false;
}

void CustomProgressBar::OnPaint(HWND window) {
  lite_util::ScopedPaint paint(window);
  RECT client;
  ::GetClientRect(window, &client);
  if (background_.IsEmpty()) {
    Paint(paint.Get(), client);
    return;
  }
  PaintDoubleBuffered(paint.Get(), client,
                      [this](HDC dc, const RECT& rect) { Paint(dc, rect); });
}

void CustomProgressBar::Paint(HDC dc, const RECT& rect) {
  HWND window = hwnd();
  DrawBackgroundSlice(dc, window, background_, {0, 0});
  PBRANGE range = {0, 0};
  ::SendMessageW(window, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  int position = static_cast<int>(::SendMessageW(window, PBM_GETPOS, 0, 0));
  int width = rect.right - rect.left;
  int filled = ProgressFillWidth(width, range.iLow, range.iHigh, position);
  if (filled > 0)
    fill_.Draw(dc, rect.left, rect.top, filled, fill_.Height(), 0, 0, filled,
               fill_.Height());
  if (width > filled)
    track_.Draw(dc, rect.left + filled, rect.top, width - filled,
                track_.Height(), filled, 0, width - filled, track_.Height());
}

void CustomProgressBar::OnPositionChanged(HWND window) {
  int position = static_cast<int>(::SendMessageW(window, PBM_GETPOS, 0, 0));
  accessibility_->SetValue(std::to_wstring(position) + L"%");
  ::InvalidateRect(window, nullptr, FALSE);
}

}  // namespace lite_installer
