// The tab and z-order of the installer window's controls.
#ifndef INSTALLER_UI_CONTROLS_CONTROL_ORDER_H_
#define INSTALLER_UI_CONTROLS_CONTROL_ORDER_H_

#include <windows.h>

#include <initializer_list>

namespace lite_installer {

// Gives every child of |parent| WS_CLIPSIBLINGS (no control paints over
// another), then puts the children with the ids of |chain|, in that order,
// on top, each directly after the one before (all windows of an id).
void StackControls(HWND parent, std::initializer_list<int> chain);

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_CONTROL_ORDER_H_
