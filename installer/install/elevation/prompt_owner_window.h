// The window the elevation prompt is shown over: a 0 x 0 tool window at the
// centre of the nearest monitor, so that the prompt appears centred and in
// front.
#ifndef INSTALLER_INSTALL_ELEVATION_PROMPT_OWNER_WINDOW_H_
#define INSTALLER_INSTALL_ELEVATION_PROMPT_OWNER_WINDOW_H_

#include <windows.h>

namespace lite_installer {

// Null when the window cannot be made. |visible| shows it and brings it to
// the foreground. It belongs to the calling thread, which alone can destroy
// it.
HWND CreatePromptOwnerWindow(bool visible);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATION_PROMPT_OWNER_WINDOW_H_
