#include "installer/ui/main_window.h"

#include "installer/install/installer.h"
#include "installer/lite_util/logging/log.h"

namespace lite_installer {

MainWindow::MainWindow(const BrandInfo* brand, const DistribInfoParams* distrib,
                       bool with_installer) {
  if (with_installer)
    installer_.reset(new Installer(nullptr, brand, distrib, true));
}

MainWindow::~MainWindow() = default;

int MainWindow::RunModal() {
  // The window comes with the main-window work; until then the first
  // screen counts as closed by the user.
  LOG(WARNING) << "Main window is not available in this build";
  return 213;
}

}  // namespace lite_installer
