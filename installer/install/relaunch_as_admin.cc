// The elevated relaunch: whether this process needs an elevated copy, and
// starting it.
#include "installer/install/installer.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

bool Installer::NeedStartThisProcessAsAdmin() {
  // The elevated copy comes with the elevation work; until then this
  // process installs without it.
  LOG(INFO) << "Elevated relaunch is not available in this build";
  return false;
}

bool Installer::RelaunchAsAdmin() { return false; }

}  // namespace lite_installer
