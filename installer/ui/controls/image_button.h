// A push button drawn from a strip of three pictures (normal, hot,
// pressed) over the window's background, with optional text.
#ifndef INSTALLER_UI_CONTROLS_IMAGE_BUTTON_H_
#define INSTALLER_UI_CONTROLS_IMAGE_BUTTON_H_

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "installer/ui/controls/control_accessibility.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

struct ImageButtonParams {
  ResourceBitmap strip;
  ResourceBitmap background;
  POINT background_offset = {0, 0};
  HFONT font = nullptr;  // Null: no text is drawn.
  COLORREF text_color = RGB(0, 0, 0);
  RECT text_insets = {0, 0, 0, 0};
  POINT pressed_text_offset = {0, 0};
  int focus_inset = 0;
};

class ImageButton {
 public:
  ImageButton(HWND window, ImageButtonParams params);
  ImageButton(const ImageButton&) = delete;
  ImageButton& operator=(const ImageButton&) = delete;

  // One state of the strip: width / 3 × height.
  SIZE PictureSize() const;
  // NM_CUSTOMDRAW from the button: draws it at the first stage and answers
  // CDRF_SKIPDEFAULT.
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  // The window clears the keyboard-cue flag when it is activated.
  void ClearKeyboardCues() { keyboard_cues_ = false; }

  HWND hwnd() const { return window_; }
  ControlAccessibility& accessibility() { return *accessibility_; }

 private:
  void Draw(HDC dc, const RECT& rect, UINT item_state);

  HWND window_;
  ImageButtonParams params_;
  bool keyboard_cues_ = false;
  std::unique_ptr<ControlAccessibility> accessibility_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_IMAGE_BUTTON_H_
