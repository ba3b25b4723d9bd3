#include "installer/ui/controls/control_background.h"

namespace lite_installer {

void DrawBackgroundSlice(HDC dc, HWND control, const ResourceBitmap& background,
                         POINT offset) {
  RECT rect;
  if (!::GetWindowRect(control, &rect)) return;
  ::MapWindowPoints(nullptr, ::GetParent(control),
                    reinterpret_cast<POINT*>(&rect), 2);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  background.Draw(dc, 0, 0, width, height, rect.left + offset.x,
                  rect.top + offset.y, width, height);
}

}  // namespace lite_installer
