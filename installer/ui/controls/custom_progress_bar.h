// The progress bar: a subclassed progress-bar control that paints itself
// from a fill picture and a track picture, double-buffered.
#ifndef INSTALLER_UI_CONTROLS_CUSTOM_PROGRESS_BAR_H_
#define INSTALLER_UI_CONTROLS_CUSTOM_PROGRESS_BAR_H_

#include <windows.h>

#include <memory>

#include "installer/ui/controls/control_accessibility.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

// Columns of |width| that show the fill: width × (position − low) / (high −
// low) in 64-bit arithmetic with the position clamped into the range; 0 for
// an empty or inverted range.
int ProgressFillWidth(int width, int low, int high, int position);

class CustomProgressBar : public DialogWindow {
 public:
  CustomProgressBar(HWND window, ResourceBitmap fill, ResourceBitmap track,
                    ResourceBitmap background);
  ~CustomProgressBar() override;

  bool HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) override;
  // Paints the bar into |dc| over |rect| (the client area).
  void Paint(HDC dc, const RECT& rect);
  ControlAccessibility& accessibility() { return *accessibility_; }

 private:
  void OnPaint(HWND window);
  void OnPositionChanged(HWND window);

  ResourceBitmap fill_;
  ResourceBitmap track_;
  ResourceBitmap background_;
  std::unique_ptr<ControlAccessibility> accessibility_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_CUSTOM_PROGRESS_BAR_H_
