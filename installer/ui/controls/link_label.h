// A link: an owner-drawn button showing its text with the link font and
// opacity over the window's background, with the hand cursor.
#ifndef INSTALLER_UI_CONTROLS_LINK_LABEL_H_
#define INSTALLER_UI_CONTROLS_LINK_LABEL_H_

#include <windows.h>

#include <memory>

#include "installer/ui/controls/control_accessibility.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

class LinkLabel : public DialogWindow {
 public:
  LinkLabel(HWND window, ResourceBitmap background, HFONT font,
            COLORREF color, BYTE opacity);
  ~LinkLabel() override;

  bool HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) override;
  // WM_DRAWITEM of the control, forwarded by its parent.
  void OnDrawItem(const DRAWITEMSTRUCT& draw);
  ControlAccessibility& accessibility() { return *accessibility_; }

 private:
  ResourceBitmap background_;
  HFONT font_;
  COLORREF color_;
  BYTE opacity_;
  std::unique_ptr<ControlAccessibility> accessibility_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_LINK_LABEL_H_
