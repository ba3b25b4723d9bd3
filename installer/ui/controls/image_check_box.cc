#include "installer/ui/controls/image_check_box.h"

#include <uxtheme.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/controls/control_background.h"
#include "installer/ui/text_drawing.h"

namespace lite_installer {
namespace {

std::wstring WindowText(HWND window) {
  wchar_t text[1024];
  int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? length : 0);
}

}  // namespace

ImageCheckBox::ImageCheckBox(HWND window, ImageCheckBoxParams params)
    : window_(window), params_(std::move(params)), checked_(params_.checked) {
  ::SendMessageW(window_, BM_SETCHECK,
                 checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!::IsAppThemed()) {
    // Without themes the button draws itself unless it is owner-drawn, and
    // an owner-drawn button keeps no checked state of its own.
    owner_draw_ = true;
    LONG_PTR style = ::GetWindowLongPtrW(window_, GWL_STYLE);
    ::SetWindowLongPtrW(window_, GWL_STYLE,
                        (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) |
                            BS_OWNERDRAW);
    ::InvalidateRect(window_, nullptr, TRUE);
  }
}

bool ImageCheckBox::IsChecked() const {
  if (owner_draw_) return checked_;
  return ::SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ImageCheckBox::OnClicked() {
  if (!owner_draw_) return;
  checked_ = !checked_;
  ::InvalidateRect(window_, nullptr, FALSE);
}

SIZE ImageCheckBox::BoxSize() const {
  return {params_.box_strip.Width() / 6, params_.box_strip.Height()};
}

int ImageCheckBox::TextIndent() const {
  return params_.text_gap + BoxSize().cx + kBoxInset;
}

int ImageCheckBox::RequiredHeight(const RECT& rect) const {
  RECT text_rect = rect;
  text_rect.left += kBoxInset + BoxSize().cx + params_.text_gap;
  std::wstring text = WindowText(window_);
  int text_height = 0;
  if (!text.empty()) {
    lite_util::ScopedGetDC dc(window_);
    lite_util::ScopedSelectObject select_font(dc.Get(), params_.font);
    ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()),
                &text_rect, DT_CALCRECT | DT_WORDBREAK);
    text_height = text_rect.bottom - text_rect.top;
  }
  int box_height = BoxSize().cy;
  return kBoxInset + (box_height > text_height ? box_height : text_height);
}

LRESULT ImageCheckBox::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  if (draw.dwDrawStage != CDDS_PREERASE && draw.dwDrawStage != CDDS_PREPAINT)
    return CDRF_DODEFAULT;
  Draw(draw.hdc, draw.rc, (draw.uItemState & CDIS_SELECTED) != 0,
       (draw.uItemState & CDIS_HOT) != 0,
       (draw.uItemState & CDIS_FOCUS) != 0);
  return CDRF_SKIPDEFAULT;
}

void ImageCheckBox::OnDrawItem(const DRAWITEMSTRUCT& draw) {
  Draw(draw.hDC, draw.rcItem, (draw.itemState & ODS_SELECTED) != 0,
       (draw.itemState & ODS_HOTLIGHT) != 0,
       (draw.itemState & ODS_FOCUS) != 0);
}

void ImageCheckBox::Draw(HDC dc, const RECT& rect, bool selected, bool hot,
                         bool focused) {
  int column = selected ? 2 : hot ? 1 : 0;
  if (IsChecked()) column += 3;
  DrawBackgroundSlice(dc, window_, params_.background,
                      params_.background_offset);
  SIZE box = BoxSize();
  params_.box_strip.Draw(dc, kBoxInset, kBoxInset, box.cx, box.cy,
                         column * box.cx, 0, box.cx, box.cy);
  RECT text_rect = {kBoxInset + box.cx + params_.text_gap, kBoxInset,
                    rect.right, rect.bottom};
  DrawAlphaText(dc, text_rect, WindowText(window_), params_.font,
                params_.text_color, params_.text_opacity, 0);
  if (focused) ::DrawFocusRect(dc, &rect);
}

}  // namespace lite_installer
