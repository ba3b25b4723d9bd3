// Brings the first top-level window of another process to the foreground.
#ifndef INSTALLER_MAIN_PROCESS_WINDOW_H_
#define INSTALLER_MAIN_PROCESS_WINDOW_H_

#include <cstdint>

namespace lite_installer {

void BringProcessWindowToTop(uint32_t process_id);

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_PROCESS_WINDOW_H_
