#include "installer/ui/controls/link_label.h"

#include <string>

#include "installer/ui/controls/control_background.h"
#include "installer/ui/text_drawing.h"

namespace lite_installer {

LinkLabel::LinkLabel(HWND window, ResourceBitmap background, HFONT font,
                     COLORREF color, BYTE opacity)
    : background_(std::move(background)),
      font_(font),
      color_(color),
      opacity_(opacity) {
  Attach(window);
  accessibility_ = std::make_unique<ControlAccessibility>(window);
  accessibility_->SetRole(kRoleLink);
}

LinkLabel::~LinkLabel() {
  // Before the base detaches: the accessibility subclass sits on top.
  accessibility_.reset();
}

bool LinkLabel::HandleMessage(HWND, UINT message, WPARAM, LPARAM,
                              LRESULT* result) {
  if (message == WM_SETCURSOR) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    *result = TRUE;
    return true;
  }
  return false;
}

void LinkLabel::OnDrawItem(const DRAWITEMSTRUCT& draw) {
  DrawBackgroundSlice(draw.hDC, draw.hwndItem, background_, {0, 0});
  wchar_t text[512];
  int length = ::GetWindowTextW(draw.hwndItem, text, 512);
  DrawAlphaText(draw.hDC, draw.rcItem,
                std::wstring(text, length > 0 ? length : 0), font_, color_,
                opacity_, 0);
  if (draw.itemState & ODS_FOCUS) ::DrawFocusRect(draw.hDC, &draw.rcItem);
}

}  // namespace lite_installer
