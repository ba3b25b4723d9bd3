// Whether a process's user belongs to the built-in Administrators group.
#ifndef INSTALLER_INSTALL_ELEVATION_ADMIN_GROUP_H_
#define INSTALLER_INSTALL_ELEVATION_ADMIN_GROUP_H_

#include <windows.h>

namespace lite_installer {

// True when the token of |process| lists the Administrators group, whatever
// the group's attributes: a filtered administrator token (not elevated)
// counts, as its user can accept the elevation prompt. False, logged, when
// the token cannot be read. Test builds answer false with the seam
// "token-not-in-admin-group".
bool IsUserAnAdminGroup(HANDLE process);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATION_ADMIN_GROUP_H_
