#include "installer/main/elevation.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

int ExecuteAsAdmin() {
  // The elevated child needs the delayed parameters and the parent's go
  // event, which come with the elevation work; without them it cannot run.
  LOG(ERROR) << "Elevated installation is not available in this build";
  return -1;
}

}  // namespace lite_installer
