// The part of a window's background picture under one of its controls, so
// that custom-drawn controls look transparent.
#ifndef INSTALLER_UI_CONTROLS_CONTROL_BACKGROUND_H_
#define INSTALLER_UI_CONTROLS_CONTROL_BACKGROUND_H_

#include <windows.h>

#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

// Draws into |dc| at (0, 0), the control's client size, the part of
// |background| at the control's position in its parent plus |offset|.
void DrawBackgroundSlice(HDC dc, HWND control, const ResourceBitmap& background,
                         POINT offset);

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_CONTROL_BACKGROUND_H_
