#include "installer/install/installer.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

Installer::Installer(InstallerDelegate* delegate, const BrandInfo* brand,
                     const DistribInfoParams* distrib, bool)
    : delegate_(delegate), brand_(brand), distrib_(distrib) {}

Installer::~Installer() = default;

void Installer::InstallSynchronously() {
  // The download and setup run come with the install-flow work; until then
  // the setup never runs and the exit code says so.
  LOG(WARNING) << "Installation flow is not available in this build";
}

}  // namespace lite_installer
