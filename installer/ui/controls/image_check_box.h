// A check box drawn from a strip of six box pictures (unchecked normal,
// hot, pressed, then checked normal, hot, pressed) with word-wrapped text
// of a given opacity over the window's background. With visual themes off
// the control is owner-drawn and the object keeps the checked state.
#ifndef INSTALLER_UI_CONTROLS_IMAGE_CHECK_BOX_H_
#define INSTALLER_UI_CONTROLS_IMAGE_CHECK_BOX_H_

#include <windows.h>
#include <commctrl.h>

#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

struct ImageCheckBoxParams {
  ResourceBitmap box_strip;
  ResourceBitmap background;
  POINT background_offset = {0, 0};
  HFONT font = nullptr;
  COLORREF text_color = RGB(0, 0, 0);
  BYTE text_opacity = 255;
  int text_gap = 8;  // Device pixels between the box and the text.
  bool checked = false;
};

class ImageCheckBox {
 public:
  static constexpr int kBoxInset = 4;

  ImageCheckBox(HWND window, ImageCheckBoxParams params);
  ImageCheckBox(const ImageCheckBox&) = delete;
  ImageCheckBox& operator=(const ImageCheckBox&) = delete;

  bool IsChecked() const;
  bool owner_draw() const { return owner_draw_; }
  // The window calls this for every click command of the control.
  void OnClicked();
  // 4 + the larger of the box height and the wrapped text's height in
  // |rect| less the text indent.
  int RequiredHeight(const RECT& rect) const;
  int TextIndent() const;
  SIZE BoxSize() const;

  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  void OnDrawItem(const DRAWITEMSTRUCT& draw);

  HWND hwnd() const { return window_; }

 private:
  void Draw(HDC dc, const RECT& rect, bool selected, bool hot, bool focused);

  HWND window_;
  ImageCheckBoxParams params_;
  bool owner_draw_ = false;
  bool checked_ = false;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_IMAGE_CHECK_BOX_H_
