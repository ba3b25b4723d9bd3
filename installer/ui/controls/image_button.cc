#include "installer/ui/controls/image_button.h"

#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/controls/control_background.h"

namespace lite_installer {

ImageButton::ImageButton(HWND window, ImageButtonParams params)
    : window_(window),
      params_(std::move(params)),
      accessibility_(std::make_unique<ControlAccessibility>(window)) {}

SIZE ImageButton::PictureSize() const {
  return {params_.strip.Width() / 3, params_.strip.Height()};
}

LRESULT ImageButton::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  if (draw.dwDrawStage != CDDS_PREERASE && draw.dwDrawStage != CDDS_PREPAINT)
    return CDRF_DODEFAULT;
  if ((draw.uItemState & CDIS_SHOWKEYBOARDCUES) &&
      !(draw.uItemState & CDIS_FOCUS))
    keyboard_cues_ = true;
  Draw(draw.hdc, draw.rc, draw.uItemState);
  return CDRF_SKIPDEFAULT;
}

void ImageButton::Draw(HDC dc, const RECT& rect, UINT item_state) {
  DrawBackgroundSlice(dc, window_, params_.background,
                      params_.background_offset);
  bool pressed = (item_state & CDIS_SELECTED) != 0;
  int state = pressed ? 2 : (item_state & CDIS_HOT) ? 1 : 0;
  SIZE size = PictureSize();
  params_.strip.Draw(dc, 0, 0, size.cx, size.cy, state * size.cx, 0, size.cx,
                     size.cy);
  if (params_.font) {
    wchar_t text[256];
    int length = ::GetWindowTextW(window_, text, 256);
    if (length > 0) {
      RECT text_rect = {rect.left + params_.text_insets.left,
                        rect.top + params_.text_insets.top,
                        rect.right - params_.text_insets.right,
                        rect.bottom - params_.text_insets.bottom};
      if (pressed)
        ::OffsetRect(&text_rect, params_.pressed_text_offset.x,
                     params_.pressed_text_offset.y);
      lite_util::ScopedSelectObject select_font(dc, params_.font);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, params_.text_color);
      ::DrawTextW(dc, text, length, &text_rect,
                  DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
  }
  if ((item_state & CDIS_FOCUS) && keyboard_cues_) {
    RECT focus = rect;
    ::InflateRect(&focus, -params_.focus_inset, -params_.focus_inset);
    ::DrawFocusRect(dc, &focus);
  }
}

}  // namespace lite_installer
