// The soft shadow around a borderless window: a layered popup owned by the
// window, a margin wider on every side, drawn from eight pictures.
#ifndef INSTALLER_UI_SHADOW_WINDOW_H_
#define INSTALLER_UI_SHADOW_WINDOW_H_

#include <windows.h>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

// Corners (top-left, top-right, bottom-right, bottom-left), then edges
// (left, top, right, bottom).
struct ShadowPictures {
  ResourceBitmap pieces[8];
};

// The eight destination rectangles for a window of |width| × |height|, a
// margin |margin| and a corner overlap |overlap|, in the shadow window's
// coordinates, in the order of ShadowPictures.
void ShadowPieceRects(int width, int height, int margin, int overlap,
                      RECT rects[8]);

class ShadowWindow {
 public:
  ShadowWindow() = default;
  ShadowWindow(const ShadowWindow&) = delete;
  ShadowWindow& operator=(const ShadowWindow&) = delete;

  // Creates the shadow of |owner| (already at its place and size); false
  // leaves no shadow.
  bool Create(HWND owner, const ShadowPictures& pictures, int margin,
              int overlap);
  // Places the shadow around |owner|'s window rectangle again.
  void Follow(HWND owner);
  void Show(bool show);
  HWND hwnd() const { return window_.Get(); }

 private:
  lite_util::ScopedWindow window_;
  int margin_ = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SHADOW_WINDOW_H_
