// The soft shadow around a borderless window: a layered popup owned by the
// window, a margin wider on every side, drawn from eight pictures.
#ifndef INSTALLER_UI_SHADOW_WINDOW_H_
#define INSTALLER_UI_SHADOW_WINDOW_H_

#include <windows.h>

#include <functional>

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
  // Creates a click-through shadow of |owner| from one picture whose
  // interior is the owner's box: the window rectangle grown by |grow| (left,
  // top, right, bottom widths); each quadrant takes the same-sized area from
  // the matching corner of |picture|, and the area under the owner is
  // cleared. Needs a screen of at least 32 bits per pixel; false leaves no
  // shadow.
  bool CreateFromPicture(HWND owner, const ResourceBitmap& picture,
                         const RECT& grow);
  // Places the shadow around |owner|'s window rectangle again.
  void Follow(HWND owner);
  void Show(bool show);
  void Destroy() { window_.Close(); }
  HWND hwnd() const { return window_.Get(); }

 private:
  // Creates the layered window at |bounds| and shows what |draw| paints
  // into its 32-bpp premultiplied bitmap (a GDI+ graphics object and the
  // bitmap's pixels).
  bool CreateLayered(HWND owner, const RECT& bounds, DWORD ex_style,
                     const std::function<void(void* graphics, BYTE* bits)>&
                         draw);

  lite_util::ScopedWindow window_;
  // How far the shadow reaches beyond the owner on each side.
  RECT grow_ = {0, 0, 0, 0};
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SHADOW_WINDOW_H_
